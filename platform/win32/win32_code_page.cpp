#include <windows.h>

#include "platform/code_page.h"
#include "platform/win32/utf16.h"

std::string AnsiToUtf8(std::string_view text) {
    if (text.empty()) {
        return std::string();
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, /*lpWideCharStr=*/nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], length);
    }
    return WideToUtf8(wide);
}
