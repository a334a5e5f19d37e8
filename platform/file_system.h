#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/status.h"

// A file opened for reading. Bytes come as stored: no line-end translation happens here.
class ReadableFile {
public:
    virtual ~ReadableFile() = default;
    // Reads up to `capacity` bytes into `buffer`. On success sets `*got`, which is 0 only at the end of the file.
    virtual Status Read(char* buffer, std::size_t capacity, std::size_t* got) = 0;
    // Releases the file and its lock. Closing twice is harmless.
    virtual Status Close() = 0;
};

// A file opened for writing. Bytes are stored as given.
class WritableFile {
public:
    virtual ~WritableFile() = default;
    // Writes all `size` bytes or fails.
    virtual Status Append(const char* data, std::size_t size) = 0;
    // Forces what was written so far onto stable storage.
    virtual Status Sync() = 0;
    // Releases the file; a failure here may be the first sign of a full disk. Closing twice is harmless.
    virtual Status Close() = 0;
};

// The file operations a synchronization run relies on. Default() is the operating system's; tests wrap it to
// inject faults. Every error names the path and the reason.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    static FileSystem& Default();

    // Opens an existing file for reading, for exclusive use: while it is open no other program may open it, and if
    // another program has it open this fails with Status::Code::kInUse.
    virtual Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) = 0;
    // Creates the file, or empties an existing one, for exclusive writing (same rule as OpenForReading). A file held
    // by another program is refused before any of its bytes are lost.
    virtual Status CreateForWriting(const std::string& path, std::unique_ptr<WritableFile>* file) = 0;
    // True when a file or directory of that name exists.
    virtual bool Exists(const std::string& path) = 0;
    // Deletes a file; a directory is refused.
    virtual Status Remove(const std::string& path) = 0;
    // Gives the file `from` the name `to`, which must not exist.
    virtual Status Rename(const std::string& from, const std::string& to) = 0;
    // Gives `to` the permissions (and, where the system allows, the owner) of `from`, so that a file replaced by a
    // rewritten copy stays as private or as shared as it was. Best effort: where the system refuses, `to` keeps
    // what it has; no content is at stake.
    virtual void CopyPermissions(const std::string& from, const std::string& to) = 0;
    // Whether a file of this name can be created on this system (length limits); touches nothing.
    virtual Status CheckUsableName(const std::string& path) = 0;
};

// Standard input and output as files, in binary mode, without locks. The objects live for the whole process.
ReadableFile& StandardInput();
WritableFile& StandardOutput();
