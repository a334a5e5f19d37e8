#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/file_system.h"

// A readable file that passes every call on to the file it owns. Tests derive from it and override only the calls
// they watch or fail.
class ForwardingReadableFile : public ReadableFile {
  public:
    explicit ForwardingReadableFile(std::unique_ptr<ReadableFile> target) : m_target(std::move(target)) {}

    Status Close() override;
    Status Identify(FileIdentity* identity) override;
    Status RenameTo(const std::string& to, bool replace) override;
    Status Read(char* buffer, std::size_t capacity, std::size_t* got) override;
    Status Rewind() override;

  private:
    std::unique_ptr<ReadableFile> m_target;
};

// A writable file that passes every call on to the file it owns; see ForwardingReadableFile.
class ForwardingWritableFile : public WritableFile {
  public:
    explicit ForwardingWritableFile(std::unique_ptr<WritableFile> target) : m_target(std::move(target)) {}

    Status Close() override;
    Status Identify(FileIdentity* identity) override;
    Status RenameTo(const std::string& to, bool replace) override;
    Status Append(const char* data, std::size_t size) override;
    Status Sync() override;
    void CopyAccess(const FileAccess& access) override;

  private:
    std::unique_ptr<WritableFile> m_target;
};

// A file system that passes every call on to `target`, which must outlive it; the files it opens are the target's,
// unwrapped. Tests derive from it, override the calls they watch or fail, and wrap the files they hand out in the
// forwarding files above to watch those too.
class ForwardingFileSystem : public FileSystem {
  public:
    explicit ForwardingFileSystem(FileSystem& target) : m_target(target) {}

    Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override;
    Status OpenForReadingNoFollow(const std::string& path, std::unique_ptr<ReadableFile>* file) override;
    Status CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) override;
    bool Exists(const std::string& path) override;
    Status Remove(const std::string& path) override;
    Status Identify(const std::string& path, FileIdentity* identity) override;
    Status ResolveLinks(const std::string& path, std::string* target) override;
    Status SyncDirectory(const std::string& path) override;
    bool IsHeld(const std::string& path) override;
    Status CheckUsableName(const std::string& path) override;

  private:
    FileSystem& m_target;
};
