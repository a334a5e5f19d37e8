#pragma once

#include <algorithm>
#include <string>

#include "platform/file_system.h"

// Bytes in memory as a file, handed out at most `chunk` bytes per read (a pipe that trickles).
class MemoryReadableFile : public ReadableFile {
  public:
    explicit MemoryReadableFile(std::string content, std::size_t chunk = static_cast<std::size_t>(-1))
        : m_content(std::move(content)), m_chunk(chunk) {}
    Status Read(char* buffer, std::size_t capacity, std::size_t* got) override {
        *got = std::min({capacity, m_chunk, m_content.size() - m_position});
        std::copy_n(m_content.data() + m_position, *got, buffer);
        m_position += *got;
        return Status::OK();
    }
    Status Rewind() override {
        m_position = 0;
        return Status::OK();
    }
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
