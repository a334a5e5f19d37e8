#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/file_system.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_error.h"

namespace {

// Same wording as the POSIX side gives for EISDIR; Windows itself only says "Access is denied".
const char kIsDirectoryReason[] = "Is a directory";

// ReadFile and WriteFile take a DWORD count; larger requests go in pieces of this size.
constexpr std::size_t kLargestTransfer = 1u << 30;

// A virus scanner or indexer may hold the file being replaced for a moment after it was written.
constexpr int kReplaceAttempts = 5;
constexpr DWORD kReplaceRetryMilliseconds = 50;

// The longest name of one file or folder (NTFS, FAT32's long names, exFAT), and of a whole "\\?\" path, in UTF-16
// units.
constexpr std::size_t kLongestComponent = 255;
constexpr std::size_t kLongestPath = 32767;

// Opening or deleting a directory as a file fails with "Access is denied"; the user is told what the name really is.
Status PathError(const char* verb, const std::string& path, DWORD error) {
    if (error == ERROR_ACCESS_DENIED && IsDirectory(path)) {
        return FileError(Status::Code::kIoError, verb, path, kIsDirectoryReason);
    }
    return WindowsError(verb, path, error);
}

// Same wording and code as the POSIX side for a directory, device or pipe opened for reading.
Status NotRegularFile(const std::string& path) {
    return FileError(Status::Code::kNotRegularFile, "Cannot open", path, ReasonFor(Status::Code::kNotRegularFile));
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    FileIdentity identity;
    identity.device = info.dwVolumeSerialNumber;
    identity.file = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.links = info.nNumberOfLinks;
    return identity;
}

// Fills `buffer` with the FILE_RENAME_INFO that renames a file to `to`: its variable-size name must be a full path.
Status PrepareRename(const std::string& verb, const std::string& to, bool replace, std::vector<unsigned char>* buffer) {
    const std::wstring full = LongPath(to);
    if (full.empty()) {
        return WindowsError(verb.c_str(), to, ERROR_INVALID_NAME);
    }
    // FileName is declared as one WCHAR; the name runs on past the end of the struct, its terminator included.
    buffer->assign(offsetof(FILE_RENAME_INFO, FileName) + (full.size() + 1) * sizeof(WCHAR), 0);
    if (buffer->size() < sizeof(FILE_RENAME_INFO)) {
        buffer->resize(sizeof(FILE_RENAME_INFO), 0);
    }
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer->data());
    std::copy(full.begin(), full.end(), info->FileName);
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(full.size() * sizeof(WCHAR));
    return Status::OK();
}

class Handle {
  public:
    Handle(HANDLE handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}
    // Only files a run abandoned after a failure are still open here; a run closes the others itself and checks.
    ~Handle() { Close().IgnoreError(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return m_handle; }
    const std::string& path() const { return m_path; }

    Status Identify(FileIdentity* identity) const {
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(m_handle, &info)) {
            return WindowsError("Cannot read", m_path, GetLastError());
        }
        *identity = IdentityOf(info);
        return Status::OK();
    }

    Status RenameTo(const std::string& to, bool replace) {
        const std::string verb = "Cannot rename " + m_path + " to";
        std::vector<unsigned char> buffer;
        const Status status = PrepareRename(verb, to, replace, &buffer);
        if (!status.ok()) {
            return status;
        }
        for (int attempt = 1;; ++attempt) {
            if (SetFileInformationByHandle(m_handle, FileRenameInfo, buffer.data(),
                                           static_cast<DWORD>(buffer.size()))) {
                m_path = to;
                return Status::OK();
            }
            const DWORD error = GetLastError();
            // Windows answers ERROR_ALREADY_EXISTS, some versions of Wine a sharing violation: what counts is that the
            // name is taken.
            if (!replace && GetFileAttributesW(LongPath(to).c_str()) != INVALID_FILE_ATTRIBUTES) {
                return FileError(Status::Code::kExists, verb.c_str(), to, ReasonFor(Status::Code::kExists));
            }
            const bool held_by_another = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
            if (!replace || !held_by_another || IsDirectory(to) || attempt == kReplaceAttempts) {
                return PathError(verb.c_str(), to, error);
            }
            Sleep(kReplaceRetryMilliseconds);
        }
    }

    Status Close() {
        if (m_handle == INVALID_HANDLE_VALUE) {
            return Status::OK();
        }
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        if (!CloseHandle(handle)) {
            return WindowsError("Cannot close", m_path, GetLastError());
        }
        return Status::OK();
    }

  private:
    HANDLE m_handle;
    std::string m_path;
};

Status ReadFrom(HANDLE handle, const std::string& name, char* buffer, std::size_t capacity, std::size_t* got) {
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(std::min(capacity, kLargestTransfer));
    if (!ReadFile(handle, buffer, wanted, &read, /*lpOverlapped=*/nullptr)) {
        const DWORD error = GetLastError();
        // A pipe whose writer has finished reports it as an error; for the reader it is the end of the input.
        if (error != ERROR_BROKEN_PIPE) {
            return WindowsError("Cannot read", name, error);
        }
        read = 0;
    }
    *got = read;
    return Status::OK();
}

Status WriteTo(HANDLE handle, const std::string& name, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD written = 0;
        const DWORD wanted = static_cast<DWORD>(std::min(size, kLargestTransfer));
        if (!WriteFile(handle, data, wanted, &written, /*lpOverlapped=*/nullptr)) {
            return WindowsError("Cannot write", name, GetLastError());
        }
        if (written == 0) {
            return WindowsError("Cannot write", name, ERROR_WRITE_FAULT);
        }
        data += written;
        size -= written;
    }
    return Status::OK();
}

class Win32ReadableFile : public ReadableFile {
  public:
    Win32ReadableFile(HANDLE handle, std::string path) : m_handle(handle, std::move(path)) {}
    Status Read(char* buffer, std::size_t capacity, std::size_t* got) override {
        return ReadFrom(m_handle.get(), m_handle.path(), buffer, capacity, got);
    }
    Status Close() override { return m_handle.Close(); }
    Status Identify(FileIdentity* identity) override { return m_handle.Identify(identity); }
    Status RenameTo(const std::string& to, bool replace) override { return m_handle.RenameTo(to, replace); }

  private:
    Handle m_handle;
};

class Win32WritableFile : public WritableFile {
  public:
    Win32WritableFile(HANDLE handle, std::string path) : m_handle(handle, std::move(path)) {}
    Status Append(const char* data, std::size_t size) override {
        return WriteTo(m_handle.get(), m_handle.path(), data, size);
    }
    Status Sync() override {
        if (!FlushFileBuffers(m_handle.get())) {
            return WindowsError("Cannot flush", m_handle.path(), GetLastError());
        }
        return Status::OK();
    }
    Status Close() override { return m_handle.Close(); }
    Status Identify(FileIdentity* identity) override { return m_handle.Identify(identity); }
    Status RenameTo(const std::string& to, bool replace) override { return m_handle.RenameTo(to, replace); }

  private:
    Handle m_handle;
};

class Win32FileSystem : public FileSystem {
  public:
    Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
        // Share mode 0: no other program can open the file while the run holds it; DELETE lets the run rename it
        // through this very handle.
        const HANDLE handle = CreateFileW(LongPath(path).c_str(), GENERIC_READ | DELETE, /*dwShareMode=*/0,
                                          /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, /*hTemplateFile=*/nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            return error == ERROR_ACCESS_DENIED && IsDirectory(path) ? NotRegularFile(path)
                                                                     : WindowsError("Cannot open", path, error);
        }
        auto opened = std::make_unique<Win32ReadableFile>(handle, path);
        // A device ("NUL", "CON", also "nul.srt" on older systems) or a pipe opens like a file; only disk files pass.
        if (GetFileType(handle) != FILE_TYPE_DISK) {
            return NotRegularFile(path);
        }
        *file = std::move(opened);
        return Status::OK();
    }

    Status CreateNew(const std::string& path, std::unique_ptr<WritableFile>* file) override {
        const HANDLE handle = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE | DELETE, /*dwShareMode=*/0,
                                          /*lpSecurityAttributes=*/nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                          /*hTemplateFile=*/nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            // Where a directory's name is answered with "Access is denied" rather than "already exists", the name is
            // still taken.
            if (error == ERROR_ACCESS_DENIED && IsDirectory(path)) {
                return FileError(Status::Code::kExists, "Cannot create", path, ReasonFor(Status::Code::kExists));
            }
            return WindowsError("Cannot create", path, error);
        }
        *file = std::make_unique<Win32WritableFile>(handle, path);
        return Status::OK();
    }

    bool Exists(const std::string& path) override {
        return GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    Status Remove(const std::string& path) override {
        if (!DeleteFileW(LongPath(path).c_str())) {
            return PathError("Cannot remove", path, GetLastError());
        }
        return Status::OK();
    }

    Status Identify(const std::string& path, FileIdentity* identity) override {
        // No access asked, so a file that another program (or this run) holds with share mode 0 still answers;
        // backup semantics let a directory answer too.
        const HANDLE handle = CreateFileW(LongPath(path).c_str(), /*dwDesiredAccess=*/0,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          /*hTemplateFile=*/nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return WindowsError("Cannot open", path, GetLastError());
        }
        Handle held(handle, path);
        const Status status = held.Identify(identity);
        return status.ok() ? held.Close() : status;
    }

    // A file opened through a symbolic link is the file it leads to, and a rename through its handle moves that
    // file's own entry; so the name needs no resolving before the run holds the file.
    Status ResolveLinks(const std::string& path, std::string* target) override {
        *target = path;
        return Status::OK();
    }

    // Nothing to do: Windows gives ordinary programs no call that flushes a directory (FlushFileBuffers reaches the
    // entries of a directory only through a handle to the whole volume, which needs an administrator). NTFS journals
    // every rename, so a crash may undo a recent one but never leaves it half done.
    Status SyncDirectory(const std::string& /*path*/) override { return Status::OK(); }

    // A new file takes the access rules of its folder, as every file saved there does; nothing to copy.
    void CopyPermissions(const std::string& /*from*/, const std::string& /*to*/) override {}

    Status CheckUsableName(const std::string& path) override {
        // With the "\\?\" prefix the whole path may run to 32,767 UTF-16 units; what file systems still refuse is
        // one name (a component) of more than 255.
        const std::wstring full = LongPath(path);
        if (full.empty()) {
            return WindowsError("Cannot use", path, ERROR_INVALID_NAME);
        }
        std::size_t component = 0;
        for (const wchar_t c : full) {
            component = c == L'\\' || c == L'/' ? 0 : component + 1;
            if (component > kLongestComponent) {
                break;
            }
        }
        if (component > kLongestComponent || full.size() >= kLongestPath) {
            return FileError(Status::Code::kNameTooLong, "Cannot use", path, ReasonFor(Status::Code::kNameTooLong));
        }
        return Status::OK();
    }
};

class StandardStream : public ReadableFile, public WritableFile {
  public:
    StandardStream(DWORD which, const char* name) : m_which(which), m_name(name) {}
    // Asked on each call: the handle may be replaced after start-up, and ReadFile/WriteFile never translate bytes.
    Status Read(char* buffer, std::size_t capacity, std::size_t* got) override {
        return ReadFrom(GetStdHandle(m_which), m_name, buffer, capacity, got);
    }
    Status Append(const char* data, std::size_t size) override {
        return WriteTo(GetStdHandle(m_which), m_name, data, size);
    }
    Status Sync() override { return Status::OK(); }
    Status Close() override { return Status::OK(); }

  private:
    DWORD m_which;
    std::string m_name;
};

}  // namespace

FileSystem& FileSystem::Default() {
    static Win32FileSystem file_system;
    return file_system;
}

ReadableFile& StandardInput() {
    static StandardStream input(STD_INPUT_HANDLE, "standard input");
    return input;
}

WritableFile& StandardOutput() {
    static StandardStream output(STD_OUTPUT_HANDLE, "standard output");
    return output;
}

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
