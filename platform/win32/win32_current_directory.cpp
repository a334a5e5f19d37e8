#include <windows.h>

#include <vector>

#include "platform/current_directory.h"

std::string CurrentDirectory() {
    std::vector<char> buffer(MAX_PATH);
    // Another thread may change the directory between the calls, so the size is asked again until it fits.
    for (;;) {
        const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) {
            return std::string();
        }
        if (length < buffer.size()) {
            return std::string(buffer.data(), length);
        }
        buffer.resize(length);
    }
}

char PathSeparator() {
    return '\\';
}
