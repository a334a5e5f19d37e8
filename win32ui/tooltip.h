#pragma once

#include <windows.h>

#include "win32ui/wnd.h"

// A tooltip control owned by a dialog. The owner passes mouse messages on with RelayEvent.
class CToolTipCtrl : public CWnd {
  public:
    ~CToolTipCtrl() override;

    BOOL Create(CWnd* owner, DWORD style = 0);
    // Shows `text` over the whole of `control`, a child of the owner.
    BOOL AddTool(HWND control, const char* text);
    void Activate(BOOL activate);
    void RelayEvent(MSG* msg);
};
