#include "platform/win32/utf16.h"

#include <windows.h>

// Long paths come from the "\\?\" prefix rather than from longPathAware in the manifest: that setting only takes
// effect where an administrator has also enabled long paths in the registry, and it does nothing for
// kelvaro-cli.exe, which has no manifest; the prefix works on every Windows version and under Wine.

std::wstring CodePageToWide(unsigned code_page, std::string_view text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(code_page, 0, text.data(), size, /*lpWideCharStr=*/nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(code_page, 0, text.data(), size, &wide[0], length);
    }
    return wide;
}

std::wstring Utf8ToWide(std::string_view text) {
    return CodePageToWide(CP_UTF8, text);
}

std::string WideToUtf8(std::wstring_view text) {
    if (text.empty()) {
        return std::string();
    }
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, /*lpMultiByteStr=*/nullptr, 0,
                                           /*lpDefaultChar=*/nullptr, /*lpUsedDefaultChar=*/nullptr);
    std::string narrow(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &narrow[0], length, /*lpDefaultChar=*/nullptr,
                            /*lpUsedDefaultChar=*/nullptr);
    }
    return narrow;
}

std::wstring LongPath(const std::string& path) {
    const std::wstring wide = Utf8ToWide(path);
    if (wide.empty() || wide.find(L'\0') != std::wstring::npos) {
        return wide;
    }
    std::wstring full(MAX_PATH, L'\0');
    // Another thread may change the working directory between the calls, so the size is asked again until it fits.
    for (;;) {
        const DWORD length =
            GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), &full[0], /*lpFilePart=*/nullptr);
        if (length == 0) {
            return wide;
        }
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
        return L"\\\\?\\" + full;
    }
    if (full.size() >= 3 && full[0] == L'\\' && full[1] == L'\\' && full[2] != L'?' && full[2] != L'.') {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return full;
}
