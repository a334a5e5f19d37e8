#include "win32ui/tooltip.h"

#include <commctrl.h>

CToolTipCtrl::~CToolTipCtrl() {
    if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
        DestroyWindow(m_hWnd);
    }
}

BOOL CToolTipCtrl::Create(CWnd* owner, DWORD style) {
    m_hWnd = CreateWindowExA(/*dwExStyle=*/0, TOOLTIPS_CLASSA, /*lpWindowName=*/nullptr, WS_POPUP | style,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner->m_hWnd,
                             /*hMenu=*/nullptr, GetModuleHandleA(nullptr), /*lpParam=*/nullptr);
    return m_hWnd != nullptr;
}

BOOL CToolTipCtrl::AddTool(HWND control, const char* text) {
    // The size without the newest field, which every version of the common controls accepts.
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = GetParent(control);
    tool.uFlags = TTF_IDISHWND;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<char*>(text);
    return SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
}

void CToolTipCtrl::Activate(BOOL activate) {
    SendMessageA(m_hWnd, TTM_ACTIVATE, static_cast<WPARAM>(activate), 0);
}

void CToolTipCtrl::RelayEvent(MSG* msg) {
    SendMessageA(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
}
