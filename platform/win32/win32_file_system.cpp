#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/background_writer.h"
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

// The attributes a user sets on a file, as FileAccess carries them.
constexpr DWORD kUserAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

const char kSymbolicLinkReason[] = "it is a symbolic link";
const char kDeviceNameReason[] =
    "it is the name of a device on Windows (CON, CONIN$, CONOUT$, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9), not of "
    "a file";

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

std::uint64_t Join(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
    FileIdentity identity;
    identity.device = info.dwVolumeSerialNumber;
    identity.file = Join(info.nFileIndexHigh, info.nFileIndexLow);
    identity.links = info.nNumberOfLinks;
    identity.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
    // 100-nanosecond ticks since 1601: far inside the signed range until the year 30828.
    identity.modified =
        static_cast<std::int64_t>(Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime));
    identity.access.mode = info.dwFileAttributes & kUserAttributes;
    return identity;
}

// Opens `name` (see LongPath) to ask about the file it leads to: no access asked, so a file that another program (or
// this run) holds with share mode 0 still answers; backup semantics let a directory answer too. `flags` may add
// FILE_FLAG_OPEN_REPARSE_POINT, to ask about a link itself.
HANDLE OpenToAsk(const std::wstring& name, DWORD flags = 0) {
    return CreateFileW(name.c_str(), /*dwDesiredAccess=*/0, kShareAll, /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | flags, /*hTemplateFile=*/nullptr);
}

bool SameFile(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first;
    BY_HANDLE_FILE_INFORMATION second;
    return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

// The path the file system itself gives for an open file ("\\?\C:\films\a.srt", "\\?\UNC\server\share\a.srt"),
// links resolved; empty where it cannot tell (some network and virtual drives).
std::wstring FinalPath(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle, &path[0], static_cast<DWORD>(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return std::wstring();
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length);  // the size needed, its terminator included
    }
}

// The same path as the user writes it: "C:\films\a.srt", "\\server\share\a.srt".
std::wstring WithoutLongPrefix(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        return L"\\\\" + path.substr(8);
    }
    if (path.rfind(L"\\\\?\\", 0) == 0) {
        return path.substr(4);
    }
    return path;
}

// The last name in `path`: what follows its last separator (or a drive's colon).
std::wstring_view LastComponent(std::wstring_view path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator != std::wstring_view::npos) {
        return path.substr(separator + 1);
    }
    return path.size() >= 2 && path[1] == L':' ? path.substr(2) : path;
}

bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                /*bIgnoreCase=*/TRUE) == CSTR_EQUAL;
}

// Whether the last name in `name` (see LongPath) is a link: the file open as `file` then has another path of its own
// than its folder's path and that name. Windows links count, and the Linux links that Wine follows without telling; a
// folder reached through a link, a mapped or a substituted drive do not. Sets `*final_path` to the file's own path.
bool ReachedThroughLink(HANDLE file, const std::wstring& name, std::wstring* final_path) {
    *final_path = FinalPath(file);
    const std::wstring_view last = LastComponent(name);
    if (final_path->empty() || last.empty()) {
        return false;  // the system cannot tell
    }
    const HANDLE folder = OpenToAsk(name.substr(0, name.size() - last.size()));
    std::wstring expected;
    if (folder != INVALID_HANDLE_VALUE) {
        expected = FinalPath(folder);
        CloseHandle(folder);
    }
    if (expected.empty()) {
        expected = name;
    } else {
        if (expected.back() != L'\\') {
            expected += L'\\';
        }
        expected.append(last);
    }
    return !EqualIgnoringCase(*final_path, expected);
}

// Windows opens a device for these names, in any case, whatever extension follows and with blanks before it ("CON",
// "con.srt", "com1 .srt"); under Wine, also for CONIN$ and CONOUT$ with an extension.
bool IsDeviceName(std::wstring_view path) {
    std::wstring_view base = LastComponent(path);
    base = base.substr(0, std::min(base.find(L'.'), base.find(L':')));
    while (!base.empty() && base.back() == L' ') {
        base.remove_suffix(1);
    }
    for (const wchar_t* device : {L"CON", L"CONIN$", L"CONOUT$", L"PRN", L"AUX", L"NUL"}) {
        if (EqualIgnoringCase(base, device)) {
            return true;
        }
    }
    // COM1 to COM9 and LPT1 to LPT9, with the superscript digits Windows also takes for 1, 2 and 3.
    if (base.size() != 4 ||
        !(EqualIgnoringCase(base.substr(0, 3), L"COM") || EqualIgnoringCase(base.substr(0, 3), L"LPT"))) {
        return false;
    }
    const wchar_t digit = base[3];
    return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
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
        // A rename through the handle moves our own file on Windows, but Wine renames whatever the name leads to now,
        // and Linux programs there ignore share modes: one that saves by renaming a new file over ours, or moves our
        // folder away, would have its file renamed instead.
        Handle named(OpenToAsk(LongPath(m_path)), m_path);
        if (named.get() == INVALID_HANDLE_VALUE || !SameFile(named.get(), m_handle)) {
            return FileError(Status::Code::kChanged, verb.c_str(), to, ReasonFor(Status::Code::kChanged));
        }
        named.Close().IgnoreError();  // only asked about the file; nothing to lose
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
    Status Rewind() override {
        LARGE_INTEGER start = {};
        if (!SetFilePointerEx(m_handle.get(), start, nullptr, FILE_BEGIN)) {
            return WindowsError("Cannot read", m_handle.path(), GetLastError());
        }
        return Status::OK();
    }
    Status Close() override { return m_handle.Close(); }
    Status Identify(FileIdentity* identity) override { return m_handle.Identify(identity); }
    Status RenameTo(const std::string& to, bool replace) override { return m_handle.RenameTo(to, replace); }

  private:
    Handle m_handle;
};

// The writing of a file, for BackgroundWriter. Windows has no call that starts the write-back of a range.
class HandleSink : public BackgroundWriter::Sink {
  public:
    explicit HandleSink(const Handle& handle) : m_handle(handle) {}
    Status WriteAll(const char* data, std::size_t size) override {
        return WriteTo(m_handle.get(), m_handle.path(), data, size);
    }
    void StartWriteBack(std::uint64_t, std::uint64_t) override {}

  private:
    const Handle& m_handle;
};

class Win32WritableFile : public WritableFile {
  public:
    Win32WritableFile(HANDLE handle, std::string path)
        : m_handle(handle, std::move(path)), m_sink(m_handle), m_writer(m_sink) {}
    ~Win32WritableFile() override { m_writer.Finish().IgnoreError(); }
    Status Append(const char* data, std::size_t size) override { return m_writer.Append(data, size); }
    Status Sync() override {
        Status status = m_writer.Finish();
        if (status.ok() && !FlushFileBuffers(m_handle.get())) {
            status = WindowsError("Cannot flush", m_handle.path(), GetLastError());
        }
        return status;
    }
    void CopyAccess(const FileAccess& access) override {
        // Times of 0 are left as they are. Attributes of 0 would be left too: a file with none is "normal". A
        // read-only file still takes writes and a rename through this handle, which was opened before it was.
        FILE_BASIC_INFO info = {};
        info.FileAttributes = access.mode & kUserAttributes;
        if (info.FileAttributes == 0) {
            info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        }
        SetFileInformationByHandle(m_handle.get(), FileBasicInfo, &info, sizeof info);
    }
    Status Close() override {
        Status written = m_writer.Finish();
        Status closed = m_handle.Close();
        return written.ok() ? closed : written;
    }
    Status Identify(FileIdentity* identity) override {
        // The size counts what was handed over too.
        Status status = m_writer.Finish();
        return status.ok() ? m_handle.Identify(identity) : status;
    }
    Status RenameTo(const std::string& to, bool replace) override { return m_handle.RenameTo(to, replace); }

  private:
    Handle m_handle;
    HandleSink m_sink;
    BackgroundWriter m_writer;  // last: gone before the handle closes
};

// Opens `path` for reading and holds it (see FileSystem::OpenForReading); with `follow_links` false, a symbolic link
// is refused (see OpenForReadingNoFollow).
Status OpenHeld(const std::string& path, bool follow_links, std::unique_ptr<ReadableFile>* file) {
    // Share mode 0: no other program can open the file while the run holds it; DELETE lets the run rename it through
    // this very handle.
    const HANDLE handle = CreateFileW(
        LongPath(path).c_str(), GENERIC_READ | DELETE, /*dwShareMode=*/0, /*lpSecurityAttributes=*/nullptr,
        OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
        /*hTemplateFile=*/nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_ACCESS_DENIED && IsDirectory(path)
                   ? FileError(Status::Code::kNotRegularFile, "Cannot open", path, kFolderReason)
                   : WindowsError("Cannot open", path, error);
    }
    auto opened = std::make_unique<Win32ReadableFile>(handle, path);
    // A device ("NUL", "CON", also "nul.srt" on older systems) or a pipe opens like a file; only disk files pass.
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        return NotRegularFile(path);
    }
    if (!follow_links) {
        // Windows opens the link itself. Other reparse points (cloud placeholders, deduplicated files) are files the
        // user sees as any other: they are opened again, as the file system presents them.
        FILE_ATTRIBUTE_TAG_INFO tag = {};
        if (GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
            (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            if (IsReparseTagNameSurrogate(tag.ReparseTag)) {
                return FileError(Status::Code::kNotRegularFile, "Cannot open", path, kSymbolicLinkReason);
            }
            opened.reset();
            return OpenHeld(path, /*follow_links=*/true, file);
        }
        // Wine follows Linux links without a word (no reparse point).
        std::wstring final_path;
        if (ReachedThroughLink(handle, LongPath(path), &final_path)) {
            return FileError(Status::Code::kNotRegularFile, "Cannot open", path, kSymbolicLinkReason);
        }
    }
    *file = std::move(opened);
    return Status::OK();
}

class Win32FileSystem : public FileSystem {
  public:
    Status OpenForReading(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
        return OpenHeld(path, /*follow_links=*/true, file);
    }

    Status OpenForReadingNoFollow(const std::string& path, std::unique_ptr<ReadableFile>* file) override {
        return OpenHeld(path, /*follow_links=*/false, file);
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

    bool IsHeld(const std::string& path) override {
        // Any program may read a file that is not held; only share mode 0 (or one without FILE_SHARE_READ) refuses.
        const HANDLE handle = CreateFileW(LongPath(path).c_str(), GENERIC_READ, kShareAll,
                                          /*lpSecurityAttributes=*/nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                          /*hTemplateFile=*/nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
            return false;
        }
        return GetLastError() == ERROR_SHARING_VIOLATION;
    }

    Status Remove(const std::string& path) override {
        const std::wstring name = LongPath(path);
        if (DeleteFileW(name.c_str())) {
            return Status::OK();
        }
        DWORD error = GetLastError();
        // Windows will not delete a read-only file, where POSIX lets whoever may change the folder remove any file in
        // it: a result that took the input's read-only attribute must still go when its run fails.
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == FILE_ATTRIBUTE_READONLY &&
            SetFileAttributesW(name.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
            if (DeleteFileW(name.c_str())) {
                return Status::OK();
            }
            error = GetLastError();
            SetFileAttributesW(name.c_str(), attributes);
        }
        return PathError("Cannot remove", path, error);
    }

    Status Identify(const std::string& path, FileIdentity* identity) override {
        const HANDLE handle = OpenToAsk(LongPath(path));
        if (handle == INVALID_HANDLE_VALUE) {
            return WindowsError("Cannot open", path, GetLastError());
        }
        Handle held(handle, path);
        const Status status = held.Identify(identity);
        return status.ok() ? held.Close() : status;
    }

    // Asks the file system where the name leads, through a handle (see ReachedThroughLink). Only a link in the last
    // name counts, as on POSIX: a folder reached through a link keeps the name the user gave.
    Status ResolveLinks(const std::string& path, std::string* target) override {
        *target = path;
        const std::wstring name = LongPath(path);
        Handle file(OpenToAsk(name), path);
        if (file.get() == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            // A link that leads nowhere can itself be opened. (Under Wine such a link looks like a missing file, and
            // the run reports it missing.)
            Handle link(OpenToAsk(name, FILE_FLAG_OPEN_REPARSE_POINT), path);
            const bool leads_nowhere =
                (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) && link.get() != INVALID_HANDLE_VALUE;
            // Otherwise the run says what is wrong when it opens the file.
            return leads_nowhere ? WindowsError("Cannot open", path, error) : Status::OK();
        }
        std::wstring final_path;
        if (ReachedThroughLink(file.get(), name, &final_path)) {
            *target = WideToUtf8(WithoutLongPrefix(final_path));
        }
        return Status::OK();
    }

    // Nothing to do: Windows gives ordinary programs no call that flushes a directory (FlushFileBuffers reaches the
    // entries of a directory only through a handle to the whole volume, which needs an administrator). NTFS journals
    // every rename, so a crash may undo a recent one but never leaves it half done.
    Status SyncDirectory(const std::string& /*path*/) override { return Status::OK(); }

    Status CheckUsableName(const std::string& path) override {
        // With the "\\?\" prefix the whole path may run to 32,767 UTF-16 units; what file systems still refuse is
        // one name (a component) of more than 255.
        const std::wstring full = LongPath(path);
        if (full.empty()) {
            return WindowsError("Cannot use", path, ERROR_INVALID_NAME);
        }
        // Opening "CON.srt" opens the console: no file of such a name can be read or made by its name.
        if (IsDeviceName(Utf8ToWide(path))) {
            return FileError(Status::Code::kNotRegularFile, "Cannot use", path, kDeviceNameReason);
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
