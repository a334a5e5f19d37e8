#include "win32ui/wnd.h"

#include <vector>

#include "platform/win32/utf16.h"

void CWnd::SetWindowText(const std::string& text) {
    ::SetWindowTextW(m_hWnd, Utf8ToWide(text).c_str());
}

std::string CWnd::GetWindowText() const {
    const int length = ::GetWindowTextLengthW(m_hWnd);
    if (length <= 0) {
        return std::string();
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const int copied = ::GetWindowTextW(m_hWnd, buffer.data(), static_cast<int>(buffer.size()));
    return WideToUtf8(std::wstring_view(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0)));
}
