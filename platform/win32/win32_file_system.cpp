#include <windows.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/win32/win32_error.h"

namespace {

// Same wording as the POSIX side gives for EISDIR; Windows itself only says "Access is denied".
const char kIsDirectoryReason[] = "Is a directory";

// ReadFile and WriteFile take a DWORD count; larger requests go in pieces of this size.
constexpr std::size_t kLargestTransfer = 1u << 30;

constexpr int kRenameAttempts = 5;
constexpr DWORD kRenameRetryMilliseconds = 50;

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

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

class Handle {
public:
    Handle(HANDLE handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return m_handle; }
    const std::string& path() const { return m_path; }

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

private:
    Handle m_handle;
};

class Win32FileSystem : public FileSystem {
public:
    Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
        // Share mode 0: no other program can open the file while the run reads it.
        const HANDLE handle =
            CreateFileA(path.c_str(), GENERIC_READ, /*dwShareMode=*/0, /*lpSecurityAttributes=*/nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, /*hTemplateFile=*/nullptr);
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

    Status CreateForWriting(const std::string& path, std::unique_ptr<WritableFile>* file) override {
        // Not CREATE_ALWAYS: a file that another program holds must keep its bytes, so it is emptied only once the
        // handle is ours.
        const HANDLE handle =
            CreateFileA(path.c_str(), GENERIC_WRITE, /*dwShareMode=*/0, /*lpSecurityAttributes=*/nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, /*hTemplateFile=*/nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return PathError("Cannot create", path, GetLastError());
        }
        auto created = std::make_unique<Win32WritableFile>(handle, path);
        if (!SetEndOfFile(handle)) {
            return WindowsError("Cannot create", path, GetLastError());
        }
        *file = std::move(created);
        return Status::OK();
    }

    bool Exists(const std::string& path) override { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    Status Remove(const std::string& path) override {
        if (!DeleteFileA(path.c_str())) {
            return PathError("Cannot remove", path, GetLastError());
        }
        return Status::OK();
    }

    Status Rename(const std::string& from, const std::string& to) override {
        const std::string verb = "Cannot rename " + from + " to";
        // Without MOVEFILE_REPLACE_EXISTING an existing `to` is refused. A virus scanner or indexer may hold the
        // file just closed for a moment, hence the short retries.
        for (int attempt = 1;; ++attempt) {
            if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
                return Status::OK();
            }
            const DWORD error = GetLastError();
            if (error != ERROR_SHARING_VIOLATION || attempt == kRenameAttempts) {
                return WindowsError(verb.c_str(), to, error);
            }
            Sleep(kRenameRetryMilliseconds);
        }
    }

    // A new file takes the access rules of its folder, as every file saved there does; nothing to copy.
    void CopyPermissions(const std::string& /*from*/, const std::string& /*to*/) override {}

    Status CheckUsableName(const std::string& path) override {
        // The ANSI calls refuse a full path of MAX_PATH characters or more, and a relative name counts with the
        // current directory in front of it. `needed` includes the terminating NUL.
        const DWORD needed = GetFullPathNameA(path.c_str(), 0, /*lpBuffer=*/nullptr, /*lpFilePart=*/nullptr);
        if (needed == 0) {
            return WindowsError("Cannot use", path, GetLastError());
        }
        if (needed > MAX_PATH) {
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
