#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/console.h"
#include "platform/win32/utf16.h"
#include "platform/win32/win32_error.h"

namespace {

// stdio tells its failures in errno; a full disk is worded as every other full disk is.
Status StdioError(const char* name) {
    const int error = errno;
    return error == ENOSPC ? FileError(Status::Code::kNoSpace, "Cannot write", name, ReasonFor(Status::Code::kNoSpace))
                           : FileError(Status::Code::kIoError, "Cannot write", name, std::strerror(error));
}

// Where the last component of a FILE argument starts: after its last slash or backslash, or after a drive's "X:".
std::size_t LastComponent(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    if (slash != std::string::npos) {
        return slash + 1;
    }
    return path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

bool SameLetterAsideCase(wchar_t a, wchar_t b) {
    return CompareStringOrdinal(&a, 1, &b, 1, /*bIgnoreCase=*/TRUE) == CSTR_EQUAL;
}

// Whether `name` matches `pattern`, '*' standing for any characters and '?' for any one, letter case aside. The
// system's own search also matches the short 8.3 names, so that "*.srt" would find "film.srtx" (short name
// FILM~1.SRT): its results go through this check, which sees only the names the user sees.
bool Matches(const std::wstring& pattern, const std::wstring& name) {
    std::size_t p = 0, n = 0;
    std::size_t star = std::wstring::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == L'?' || (pattern[p] != L'*' && SameLetterAsideCase(pattern[p], name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = n;
        } else if (star != std::wstring::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') {
        ++p;
    }
    return p == pattern.size();
}

bool ComesBefore(const std::wstring& a, const std::wstring& b) {
    const int aside_case = CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                                static_cast<int>(b.size()), /*bIgnoreCase=*/TRUE);
    if (aside_case != CSTR_EQUAL) {
        return aside_case == CSTR_LESS_THAN;
    }
    // Names that differ in case only share a folder under Wine, from a Linux file system: keep one order for them.
    return a < b;
}

// The files whose names match the last component of `pattern`, appended to `*files` with its folder part.
Status AppendMatches(const std::string& pattern, std::vector<std::string>* files) {
    const std::size_t last = LastComponent(pattern);
    const std::wstring wanted = Utf8ToWide(pattern.substr(last));
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileExW(LongPath(pattern).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                           /*lpSearchFilter=*/nullptr, /*dwAdditionalFlags=*/0);
    std::vector<std::wstring> names;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && Matches(wanted, found.cFileName)) {
                names.emplace_back(found.cFileName);
            }
        } while (FindNextFileW(search, &found));
    }
    const DWORD error = GetLastError();
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    }
    if (error != ERROR_NO_MORE_FILES && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        return WindowsError("Cannot search for", pattern, error);
    }
    if (names.empty()) {
        return Status::Error(Status::Code::kNotFound, "no file matches " + pattern);
    }
    std::sort(names.begin(), names.end(), ComesBefore);
    for (const std::wstring& name : names) {
        files->push_back(pattern.substr(0, last) + WideToUtf8(name));
    }
    return Status::OK();
}

}  // namespace

Status ExpandWildcards(std::vector<std::string>* files) {
    std::vector<std::string> expanded;
    for (const std::string& file : *files) {
        if (file.find_first_of("*?", LastComponent(file)) == std::string::npos) {
            expanded.push_back(file);
            continue;
        }
        const Status matched = AppendMatches(file, &expanded);
        if (!matched.ok()) {
            return matched;
        }
    }
    files->swap(expanded);
    return Status::OK();
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(WideToUtf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

// Windows has no signal for a closed pipe: the write fails with ERROR_NO_DATA, which WriteText reports.
void KeepRunningWhenOutputCloses() {}

Status WriteText(ConsoleStream stream, std::string_view text) {
    std::FILE* file = stream == ConsoleStream::kOutput ? stdout : stderr;
    const char* const name = stream == ConsoleStream::kOutput ? "standard output" : "standard error";
    const HANDLE handle = GetStdHandle(stream == ConsoleStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        if (std::fwrite(text.data(), 1, text.size(), file) != text.size() || std::fflush(file) != 0) {
            return StdioError(name);
        }
        return Status::OK();
    }
    if (std::fflush(file) != 0) {
        return StdioError(name);
    }
    const std::wstring wide = Utf8ToWide(text);
    // A console takes a limited amount in one call; larger texts go in pieces.
    constexpr std::size_t kPiece = 8192;
    for (std::size_t start = 0; start < wide.size();) {
        DWORD written = 0;
        const DWORD wanted = static_cast<DWORD>(std::min(kPiece, wide.size() - start));
        if (!WriteConsoleW(handle, wide.data() + start, wanted, &written, /*lpReserved=*/nullptr)) {
            return WindowsError("Cannot write", name, GetLastError());
        }
        if (written == 0) {
            return WindowsError("Cannot write", name, ERROR_WRITE_FAULT);
        }
        start += written;
    }
    return Status::OK();
}
