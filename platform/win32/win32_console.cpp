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

}  // namespace

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
