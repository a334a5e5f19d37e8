#pragma once

#include <windows.h>

#include "platform/win32/afx_wnd.h"

// A tooltip control owned by a dialog. The owner passes mouse messages on with RelayEvent.
class CToolTipCtrl : public CWnd {
  public:
    ~CToolTipCtrl() override;

    BOOL Create(CWnd* owner, DWORD style = 0);
    // Shows `text` over `control`, a child of the owner. With no rectangle and id 0 the tool is the whole control.
    BOOL AddTool(HWND control, const char* text, const RECT* rect = nullptr, UINT id = 0);
    void Activate(BOOL activate);
    void RelayEvent(MSG* msg);
};
