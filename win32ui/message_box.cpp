#include "win32ui/message_box.h"

#include <vector>

#include "platform/win32/utf16.h"
#include "win32ui/app.h"

namespace {

std::string ModulePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(/*hModule=*/nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return std::string();
        }
        if (length < buffer.size()) {
            return WideToUtf8(std::wstring_view(buffer.data(), length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

HWND Owner() {
    CWnd* main = AfxGetMainWnd();
    if (main != nullptr && main->m_hWnd != nullptr) {
        // The topmost window of the program, such as a file dialog over the main one.
        return GetLastActivePopup(main->m_hWnd);
    }
    return GetActiveWindow();
}

}  // namespace

std::string AfxGetAppName() {
    const std::string path = ModulePath();
    const std::size_t slash = path.find_last_of("\\/:");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.erase(dot);
    }
    return name;
}

int AfxMessageBox(const std::string& text, UINT type) {
    if ((type & MB_ICONMASK) == 0) {
        type |= MB_ICONEXCLAMATION;
    }
    return MessageBoxW(Owner(), Utf8ToWide(text).c_str(), Utf8ToWide(AfxGetAppName()).c_str(), type);
}
