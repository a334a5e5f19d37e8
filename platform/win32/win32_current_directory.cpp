#include <windows.h>

#include <vector>

#include "platform/current_directory.h"
#include "platform/win32/utf16.h"

std::string CurrentDirectory() {
    std::vector<wchar_t> buffer(MAX_PATH);
    // Another thread may change the directory between the calls, so the size is asked again until it fits.
    for (;;) {
        const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) {
            return std::string();
        }
        if (length < buffer.size()) {
            return WideToUtf8(std::wstring_view(buffer.data(), length));
        }
        buffer.resize(length);
    }
}

char PathSeparator() {
    return '\\';
}
