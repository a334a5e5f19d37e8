#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/status.h"

// Who may use a file and how: owner, group and mode bits on POSIX; the attributes a user sets (read-only, hidden,
// system, archive) on Windows, in `mode`.
struct FileAccess {
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::uint32_t mode = 0;
};

// Which file a name stands for, whatever name it is reached by: device and inode on POSIX, volume serial number and
// file index on Windows; how many names (hard links) it has; and its size, last modification and access as they
// are now.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::uint64_t links = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // in the system's own finest unit
    FileAccess access;

    bool SameFileAs(const FileIdentity& other) const { return device == other.device && file == other.file; }
    // The same file, and as far as its size and modification time tell, with the same content: what another
    // program that writes or truncates the file without locking it changes.
    bool UnchangedSince(const FileIdentity& earlier) const {
        return SameFileAs(earlier) && size == earlier.size && modified == earlier.modified;
    }
};

// A file opened by a run and held for exclusive use until it is closed: while it is open no other program may open
// it (Windows) or lock it (POSIX, where other runs and cooperating programs lock before they touch a file).
class HeldFile {
  public:
    virtual ~HeldFile() = default;
    // Releases the file and its lock. Closing twice is harmless.
    virtual Status Close() = 0;
    // Which file this is and how many names it has. Files that are not on a disk (standard streams, test doubles)
    // answer kUnsupported.
    virtual Status Identify(FileIdentity* identity);
    // Gives the file the name `to` while it stays open and held; later messages name it by `to`. First checks that
    // the name it was opened or last renamed by still leads to it, and fails with kChanged, renaming nothing, when
    // another program has put a file of its own there. With `replace`, a file already named `to` is replaced in one
    // atomic step, so that `to` always names one of the two. Without it, the rename fails with kExists when `to`
    // exists and never replaces a file, even one that appears meanwhile (where the file system has no such rename,
    // the name is checked while the run holds its files: only a program that does not lock can slip in between).
    // Files that are not on a disk answer kUnsupported.
    virtual Status RenameTo(const std::string& to, bool replace);
};

// A file opened for reading. Bytes come as stored: no line-end translation happens here.
class ReadableFile : public HeldFile {
  public:
    // Reads up to `capacity` bytes into `buffer`. On success sets `*got`, which is 0 only at the end of the file.
    virtual Status Read(char* buffer, std::size_t capacity, std::size_t* got) = 0;
    // Reads from the start again, for a run that reads the file once before rewriting it. Streams answer
    // kUnsupported.
    virtual Status Rewind();
};

// A file opened for writing. Bytes are stored as given.
class WritableFile : public HeldFile {
  public:
    // Writes all `size` bytes or fails.
    virtual Status Append(const char* data, std::size_t size) = 0;
    // Forces what was written so far onto stable storage.
    virtual Status Sync() = 0;
    // Gives this file the access of another (see FileAccess) through the open file, never by name, so that a file
    // replaced by a rewritten copy stays as private, as shared or as read-only as it was. Best effort: only root may
    // give a file away, and some file systems keep no owner or mode; no content is at stake. Files that are not on a
    // disk ignore it.
    virtual void CopyAccess(const FileAccess& access);
};

// The file operations a synchronization run relies on. Default() is the operating system's; tests wrap it (see
// ForwardingFileSystem) to inject faults or simulate a crash. Every error names the path and the reason.
class FileSystem {
  public:
    virtual ~FileSystem() = default;
    static FileSystem& Default();

    // Opens an existing regular file for reading and holds it (see HeldFile). Fails with kInUse when another program
    // holds it, kNotRegularFile for a directory, device or pipe, kNotFound when it is missing.
    virtual Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) = 0;
    // As OpenForReading, but a symbolic link at `path` is refused with kNotRegularFile ("it is a symbolic link")
    // rather than followed: for names the run made itself, where a link can only be somebody else's.
    virtual Status OpenForReadingNoFollow(const std::string& path, std::unique_ptr<ReadableFile>* file) = 0;
    // Creates a new file for writing and holds it. Fails with kExists, touching nothing, when any entry of that name
    // exists, a symbolic link included (which is never followed).
    virtual Status CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) = 0;
    // True when an entry of that name exists (a file, a directory, or a symbolic link, even a dangling one).
    virtual bool Exists(const std::string& path) = 0;
    // True when another program holds the file `path` names (see HeldFile) at this moment; false when it is free,
    // missing or not a file.
    virtual bool IsHeld(const std::string& path) = 0;
    // Deletes a file; a directory is refused.
    virtual Status Remove(const std::string& path) = 0;
    // Which file `path` names, following symbolic links; kNotFound when there is none.
    virtual Status Identify(const std::string& path, FileIdentity* identity) = 0;
    // When `path` is a symbolic link, sets `*target` to the path of the file it finally leads to; otherwise to `path`
    // itself. Fails with kNotFound for a link that leads nowhere. (Windows asks the file system through a handle,
    // which also sees through links that Wine keeps as POSIX links.)
    virtual Status ResolveLinks(const std::string& path, std::string* target) = 0;
    // Puts the directory that holds `path` on stable storage, so that the renames made in it survive a crash.
    virtual Status SyncDirectory(const std::string& path) = 0;
    // Whether a file of this name can be created on this system (length limits); touches nothing.
    virtual Status CheckUsableName(const std::string& path) = 0;
};

// OK when `name` still leads to `file`; kChanged (the message names `name`) when it leads to another file or to none,
// as when another program saved a file of its own under that name; the error when either cannot be asked.
Status CheckNameLeadsTo(FileSystem& file_system, const std::string& name, HeldFile& file);

// A file that takes every write and keeps nothing: where a preview writes.
class DiscardingFile : public WritableFile {
  public:
    Status Append(const char*, std::size_t) override { return Status::OK(); }
    Status Sync() override { return Status::OK(); }
    Status Close() override { return Status::OK(); }
};

// Standard input and output as files, in binary mode, without locks. The objects live for the whole process.
ReadableFile& StandardInput();
WritableFile& StandardOutput();

// True when `path` names a directory, reached through symbolic links; false for anything else or nothing.
bool IsDirectory(const std::string& path);
