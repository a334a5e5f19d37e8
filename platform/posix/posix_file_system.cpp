#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/background_writer.h"
#include "platform/file_system.h"
#include "platform/posix/posix_error.h"

namespace {

FileIdentity IdentityOf(const struct stat& info) {
    FileIdentity identity;
    identity.device = static_cast<std::uint64_t>(info.st_dev);
    identity.file = static_cast<std::uint64_t>(info.st_ino);
    identity.links = static_cast<std::uint64_t>(info.st_nlink);
    identity.size = static_cast<std::uint64_t>(info.st_size);
    identity.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    identity.access.owner = static_cast<std::uint32_t>(info.st_uid);
    identity.access.group = static_cast<std::uint32_t>(info.st_gid);
    identity.access.mode = static_cast<std::uint32_t>(info.st_mode & 07777);
    return identity;
}

// Renames `from` to `to` unless `to` exists, in one step that no file appearing at `to` meanwhile can slip through.
// Returns 0 or the errno value; EEXIST when `to` exists.
int RenameWithoutReplacing(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
#endif
    // File systems (and kernels) without RENAME_NOREPLACE: link() refuses an existing name just as atomically, and
    // the file has both names only until the old one is removed.
    if (link(from, to) != 0) {
        // EPERM, EOPNOTSUPP and ENOSYS: this file system has no hard links (FAT and exFAT, through the kernel or
        // FUSE); EMLINK: the file can take no further name. A plain rename needs neither, once `to` is known free.
        // The caller holds the run's locks on the files involved, so no other run can create `to` meanwhile; only a
        // program that does not lock can, in the microseconds between the check and the rename, and loses that file.
        const int error = errno;
        if (error != EPERM && error != EOPNOTSUPP && error != ENOTSUP && error != ENOSYS && error != EMLINK) {
            return error;
        }
        struct stat info;
        if (lstat(to, &info) == 0) {
            return EEXIST;
        }
        if (errno != ENOENT) {
            return errno;
        }
        return rename(from, to) == 0 ? 0 : errno;
    }
    if (unlink(from) != 0) {
        const int error = errno;
        unlink(to);  // names our own file, just linked
        return error;
    }
    return 0;
}

// Holds a descriptor and, for files of a run, the exclusive lock that keeps other cooperating programs out.
class Descriptor {
  public:
    Descriptor(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    // Only files a run abandoned after a failure are still open here; a run closes the others itself and checks.
    ~Descriptor() { Close().IgnoreError(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int fd() const { return m_fd; }
    const std::string& path() const { return m_path; }

    Status Identify(FileIdentity* identity) const {
        struct stat info;
        if (fstat(m_fd, &info) != 0) {
            return PosixError("Cannot read", m_path, errno);
        }
        *identity = IdentityOf(info);
        return Status::OK();
    }

    Status RenameTo(const std::string& to, bool replace) {
        // A rename goes by name: if another program has put a file of its own under our name (an editor that saves
        // by renaming a new file over the old one), the rename would move that file instead of ours.
        struct stat held;
        struct stat named;
        if (fstat(m_fd, &held) != 0 || stat(m_path.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
            held.st_ino != named.st_ino) {
            return FileError(Status::Code::kChanged, ("Cannot rename " + m_path + " to").c_str(), to,
                             ReasonFor(Status::Code::kChanged));
        }
        const int error = replace ? (rename(m_path.c_str(), to.c_str()) == 0 ? 0 : errno)
                                  : RenameWithoutReplacing(m_path.c_str(), to.c_str());
        if (error != 0) {
            return PosixError(("Cannot rename " + m_path + " to").c_str(), to, error);
        }
        m_path = to;
        return Status::OK();
    }

    Status Close() {
        if (m_fd < 0) {
            return Status::OK();
        }
        const int fd = m_fd;
        m_fd = -1;
        // The descriptor is gone after close() even when it reports EINTR, so it is never retried.
        if (close(fd) != 0 && errno != EINTR) {
            return PosixError("Cannot close", m_path, errno);
        }
        return Status::OK();
    }

  private:
    int m_fd;
    std::string m_path;
};

Status ReadFrom(int fd, const std::string& path, char* buffer, std::size_t capacity, std::size_t* got) {
    for (;;) {
        const ssize_t n = read(fd, buffer, capacity);
        if (n >= 0) {
            *got = static_cast<std::size_t>(n);
            return Status::OK();
        }
        if (errno != EINTR) {
            return PosixError("Cannot read", path, errno);
        }
    }
}

Status WriteTo(int fd, const std::string& path, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return PosixError("Cannot write", path, errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return Status::OK();
}

class PosixReadableFile : public ReadableFile {
  public:
    PosixReadableFile(int fd, std::string path) : m_descriptor(fd, std::move(path)) {}
    Status Read(char* buffer, std::size_t capacity, std::size_t* got) override {
        return ReadFrom(m_descriptor.fd(), m_descriptor.path(), buffer, capacity, got);
    }
    Status Rewind() override {
        if (lseek(m_descriptor.fd(), 0, SEEK_SET) != 0) {
            return PosixError("Cannot read", m_descriptor.path(), errno);
        }
        return Status::OK();
    }
    Status Close() override { return m_descriptor.Close(); }
    Status Identify(FileIdentity* identity) override { return m_descriptor.Identify(identity); }
    Status RenameTo(const std::string& to, bool replace) override { return m_descriptor.RenameTo(to, replace); }

  private:
    Descriptor m_descriptor;
};

// The writing of a file, for BackgroundWriter.
class DescriptorSink : public BackgroundWriter::Sink {
  public:
    explicit DescriptorSink(const Descriptor& descriptor) : m_descriptor(descriptor) {}
    Status WriteAll(const char* data, std::size_t size) override {
        return WriteTo(m_descriptor.fd(), m_descriptor.path(), data, size);
    }
    void StartWriteBack(std::uint64_t from, std::uint64_t size) override {
#ifdef SYNC_FILE_RANGE_WRITE
        sync_file_range(m_descriptor.fd(), static_cast<off_t>(from), static_cast<off_t>(size), SYNC_FILE_RANGE_WRITE);
#else
        static_cast<void>(from);
        static_cast<void>(size);
#endif
    }

  private:
    const Descriptor& m_descriptor;
};

class PosixWritableFile : public WritableFile {
  public:
    PosixWritableFile(int fd, std::string path)
        : m_descriptor(fd, std::move(path)), m_sink(m_descriptor), m_writer(m_sink) {}
    ~PosixWritableFile() override { m_writer.Finish().IgnoreError(); }
    Status Append(const char* data, std::size_t size) override { return m_writer.Append(data, size); }
    Status Sync() override {
        Status status = m_writer.Finish();
        if (status.ok() && fsync(m_descriptor.fd()) != 0) {
            status = PosixError("Cannot flush", m_descriptor.path(), errno);
        }
        return status;
    }
    void CopyAccess(const FileAccess& access) override {
        // The owner first, as a change of owner may clear the mode's set-id bits. Through the descriptor, so that
        // nobody who can write in the folder can point the change at another file by swapping the name.
        [[maybe_unused]] const int owner_copied = fchown(m_descriptor.fd(), access.owner, access.group);
        [[maybe_unused]] const int mode_copied = fchmod(m_descriptor.fd(), access.mode);
    }
    Status Close() override {
        Status written = m_writer.Finish();
        Status closed = m_descriptor.Close();
        return written.ok() ? closed : written;
    }
    Status Identify(FileIdentity* identity) override {
        // The size counts what was handed over too.
        Status status = m_writer.Finish();
        return status.ok() ? m_descriptor.Identify(identity) : status;
    }
    Status RenameTo(const std::string& to, bool replace) override { return m_descriptor.RenameTo(to, replace); }

  private:
    Descriptor m_descriptor;
    DescriptorSink m_sink;
    BackgroundWriter m_writer;  // last: gone before the descriptor closes
};

Status LockExclusively(int fd, const std::string& path, const char* verb) {
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) {
            return PosixError(verb, path, errno);
        }
    }
    return Status::OK();
}

Status NotRegularFile(const std::string& path, const char* reason = ReasonFor(Status::Code::kNotRegularFile)) {
    return FileError(Status::Code::kNotRegularFile, "Cannot open", path, reason);
}

// Opens `path` for reading and holds it (see FileSystem::OpenForReading); `extra_flags` may add O_NOFOLLOW.
Status OpenHeld(const std::string& path, int extra_flags, std::unique_ptr<ReadableFile>* file) {
    // O_NONBLOCK keeps open() from waiting for a writer when the name is a FIFO, and O_NOCTTY keeps a terminal
    // from becoming ours; whatever is not a regular file is turned away before a byte is read.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | extra_flags);
    if (fd < 0) {
        const int error = errno;
        struct stat entry;
        if (error == ELOOP && (extra_flags & O_NOFOLLOW) != 0 && lstat(path.c_str(), &entry) == 0 &&
            S_ISLNK(entry.st_mode)) {
            return NotRegularFile(path, "it is a symbolic link");
        }
        // A socket cannot be opened at all (ENXIO), which would read as "No such device or address".
        if (stat(path.c_str(), &entry) == 0 && !S_ISREG(entry.st_mode) && !S_ISDIR(entry.st_mode)) {
            return NotRegularFile(path);
        }
        return PosixError("Cannot open", path, error);
    }
    auto opened = std::make_unique<PosixReadableFile>(fd, path);
    struct stat info;
    if (fstat(fd, &info) != 0) {
        return PosixError("Cannot open", path, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return NotRegularFile(path, S_ISDIR(info.st_mode) ? kFolderReason : ReasonFor(Status::Code::kNotRegularFile));
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return PosixError("Cannot open", path, errno);
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    Status status = LockExclusively(fd, path, "Cannot open");
    if (!status.ok()) {
        return status;
    }
    // Another run may have renamed the file away between our open() and flock() and released it: the lock then
    // holds its backup, and `path` names a file of its making.
    struct stat named;
    if (stat(path.c_str(), &named) != 0 || named.st_dev != info.st_dev || named.st_ino != info.st_ino) {
        return FileError(Status::Code::kInUse, "Cannot open", path, ReasonFor(Status::Code::kInUse));
    }
    *file = std::move(opened);
    return Status::OK();
}

class PosixFileSystem : public FileSystem {
  public:
    Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
        return OpenHeld(path, 0, file);
    }

    Status OpenForReadingNoFollow(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
        return OpenHeld(path, O_NOFOLLOW, file);
    }

    Status CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) override {
        // O_EXCL refuses every existing entry, a symbolic link included, whether or not it leads anywhere.
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            return PosixError("Cannot create", path, errno);
        }
        auto created = std::make_unique<PosixWritableFile>(fd, path);
        Status status = LockExclusively(fd, path, "Cannot create");
        if (!status.ok()) {
            return status;
        }
        *file = std::move(created);
        return Status::OK();
    }

    bool Exists(const std::string& path) override {
        struct stat info;
        return lstat(path.c_str(), &info) == 0;
    }

    bool IsHeld(const std::string& path) override {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
        if (fd < 0) {
            return false;
        }
        struct stat info;
        const bool held =
            fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        close(fd);  // also lets go of the shared lock, if it was taken
        return held;
    }

    Status Remove(const std::string& path) override {
        if (unlink(path.c_str()) != 0) {
            return PosixError("Cannot remove", path, errno);
        }
        return Status::OK();
    }

    Status Identify(const std::string& path, FileIdentity* identity) override {
        struct stat info;
        if (stat(path.c_str(), &info) != 0) {
            return PosixError("Cannot open", path, errno);
        }
        *identity = IdentityOf(info);
        return Status::OK();
    }

    Status ResolveLinks(const std::string& path, std::string* target) override {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            *target = path;
            return Status::OK();
        }
        char* resolved = realpath(path.c_str(), /*resolved_path=*/nullptr);
        if (resolved == nullptr) {
            return PosixError("Cannot open", path, errno);
        }
        *target = resolved;
        std::free(resolved);
        return Status::OK();
    }

    Status SyncDirectory(const std::string& path) override {
        const std::size_t slash = path.rfind('/');
        const std::string directory =
            slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
        const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            return PosixError("Cannot flush", directory, errno);
        }
        Descriptor held(fd, directory);
        // Some file systems cannot flush a directory and say EINVAL: their renames are as durable as they make them.
        if (fsync(fd) != 0 && errno != EINVAL) {
            return PosixError("Cannot flush", directory, errno);
        }
        return held.Close();
    }

    Status CheckUsableName(const std::string& path) override {
        const std::size_t slash = path.rfind('/');
        const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        const std::size_t name_length = slash == std::string::npos ? path.size() : path.size() - slash - 1;
        long name_max = pathconf(directory.c_str(), _PC_NAME_MAX);
        if (name_max <= 0) {
            name_max = NAME_MAX;
        }
        if (path.size() >= PATH_MAX || name_length > static_cast<std::size_t>(name_max)) {
            return FileError(Status::Code::kNameTooLong, "Cannot use", path, ReasonFor(Status::Code::kNameTooLong));
        }
        return Status::OK();
    }
};

class StandardStream : public ReadableFile, public WritableFile {
  public:
    StandardStream(int fd, const char* name) : m_fd(fd), m_name(name) {}
    Status Read(char* buffer, std::size_t capacity, std::size_t* got) override {
        return ReadFrom(m_fd, m_name, buffer, capacity, got);
    }
    Status Append(const char* data, std::size_t size) override { return WriteTo(m_fd, m_name, data, size); }
    Status Sync() override { return Status::OK(); }
    Status Close() override { return Status::OK(); }

  private:
    int m_fd;
    std::string m_name;
};

}  // namespace

FileSystem& FileSystem::Default() {
    static PosixFileSystem file_system;
    return file_system;
}

ReadableFile& StandardInput() {
    static StandardStream input(STDIN_FILENO, "standard input");
    return input;
}

WritableFile& StandardOutput() {
    static StandardStream output(STDOUT_FILENO, "standard output");
    return output;
}

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
