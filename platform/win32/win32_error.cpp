#include "platform/win32/win32_error.h"

#include "platform/win32/utf16.h"

namespace {

// ERROR_DISK_QUOTA_EXCEEDED in the Windows SDK's winerror.h, which MinGW-w64's lacks: a user's disk quota (NTFS) is
// used up.
constexpr DWORD kDiskQuotaExceeded = 1295;

Status::Code CodeFor(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return Status::Code::kNotFound;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return Status::Code::kExists;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return Status::Code::kInUse;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return Status::Code::kNoSpace;
        // Not ERROR_NOT_ENOUGH_QUOTA: that is a process running out of its share of memory, not of the disk.
        case kDiskQuotaExceeded:
            return Status::Code::kQuotaExceeded;
        case ERROR_FILENAME_EXCED_RANGE:
            return Status::Code::kNameTooLong;
        default:
            return Status::Code::kIoError;
    }
}

std::string SystemMessage(DWORD error) {
    wchar_t buffer[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, /*lpSource=*/nullptr,
                                  error, /*dwLanguageId=*/0, buffer, sizeof buffer / sizeof buffer[0],
                                  /*Arguments=*/nullptr);
    // System messages end in ".\r\n"; the reason goes inside a sentence of ours.
    while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L'.' ||
                          buffer[length - 1] == L' ')) {
        --length;
    }
    if (length == 0) {
        return "Windows error " + std::to_string(error);
    }
    // Localised messages are not ASCII; like every text of the program, the reason is UTF-8.
    return WideToUtf8(std::wstring_view(buffer, length));
}

}  // namespace

Status WindowsError(const char* verb, const std::string& path, DWORD error) {
    const Status::Code code = CodeFor(error);
    const char* reason = ReasonFor(code);
    return FileError(code, verb, path, *reason != '\0' ? std::string(reason) : SystemMessage(error));
}
