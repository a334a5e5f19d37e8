#pragma once

#include <string>
#include <vector>

#include "engine/run_reporter.h"
#include "tests/memory_files.h"

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

// Paths here are UTF-8 and may be long (past MAX_PATH on Windows).
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);

// A path in `dir` of exactly `length` characters (code points) that ends in `name`: folders named with `word`
// repeated, created, and `word` again in front of `name`. The file itself is not created. Uses the Windows separator.
std::string PathOfLength(const TempDir& dir, const std::string& word, const std::string& name, std::size_t length);

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
