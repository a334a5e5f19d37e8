#pragma once

#include <string>
#include <vector>

#include "engine/run_reporter.h"
#include "platform/file_system.h"

// A fresh directory for one test, removed with everything in it when the test ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string File(const std::string& name) const;
    // The names of the entries, sorted.
    std::vector<std::string> List() const;

private:
    std::string m_path;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);

// Remembers what a run reported.
class RecordingReporter : public RunReporter {
public:
    void Succeeded(const std::string& text) override { successes.push_back(text); }
    void Refused(const std::string& text) override { refusals.push_back(text); }
    void FileFailed(const std::string& text) override { failures.push_back(text); }

    std::vector<std::string> successes;
    std::vector<std::string> refusals;
    std::vector<std::string> failures;
};

// Bytes in memory as a file, handed out at most `chunk` bytes per read.
class MemoryReadableFile : public ReadableFile {
public:
    explicit MemoryReadableFile(std::string content, std::size_t chunk = static_cast<std::size_t>(-1))
        : m_content(std::move(content)), m_chunk(chunk) {}
    Status Read(char* buffer, std::size_t capacity, std::size_t* got) override;
    Status Close() override { return Status::OK(); }

private:
    std::string m_content;
    std::size_t m_chunk;
    std::size_t m_position = 0;
};

class MemoryWritableFile : public WritableFile {
public:
    Status Append(const char* data, std::size_t size) override {
        content.append(data, size);
        return Status::OK();
    }
    Status Sync() override { return Status::OK(); }
    Status Close() override { return Status::OK(); }

    std::string content;
};
