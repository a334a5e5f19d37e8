#include "win32ui/tooltip.h"

#include <commctrl.h>

#include "platform/win32/utf16.h"

CToolTipCtrl::~CToolTipCtrl() {
    if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
        DestroyWindow(m_hWnd);
    }
}

BOOL CToolTipCtrl::Create(CWnd* owner, DWORD style) {
    m_hWnd = CreateWindowExW(/*dwExStyle=*/0, TOOLTIPS_CLASSW, /*lpWindowName=*/nullptr, WS_POPUP | style,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner->m_hWnd,
                             /*hMenu=*/nullptr, GetModuleHandleW(nullptr), /*lpParam=*/nullptr);
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    // Without a width a tip is one line, and a long path runs off the screen.
    SendMessageW(m_hWnd, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN) / 2);
    return TRUE;
}

namespace {

// The size without the newest field, which every version of the common controls accepts. The control copies the
// text.
TOOLINFOW ToolFor(HWND control, std::wstring& text) {
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = GetParent(control);
    tool.uFlags = TTF_IDISHWND;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = &text[0];
    return tool;
}

}  // namespace

BOOL CToolTipCtrl::AddTool(HWND control, const std::string& text) {
    std::wstring wide = Utf8ToWide(text);
    TOOLINFOW tool = ToolFor(control, wide);
    return SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
}

void CToolTipCtrl::UpdateTipText(HWND control, const std::string& text) {
    std::wstring wide = Utf8ToWide(text);
    TOOLINFOW tool = ToolFor(control, wide);
    SendMessageW(m_hWnd, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CToolTipCtrl::Activate(BOOL activate) {
    SendMessageW(m_hWnd, TTM_ACTIVATE, static_cast<WPARAM>(activate), 0);
}

void CToolTipCtrl::RelayEvent(MSG* msg) {
    SendMessageW(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
}
