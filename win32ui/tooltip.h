#pragma once

#include <windows.h>

#include <string>

#include "win32ui/wnd.h"

// A tooltip control owned by a dialog. The owner passes mouse messages on with RelayEvent.
class CToolTipCtrl : public CWnd {
  public:
    ~CToolTipCtrl() override;

    BOOL Create(CWnd* owner, DWORD style = 0);
    // Shows UTF-8 `text` over the whole of `control`, a child of the owner. Long texts wrap at blanks to a width
    // the screen holds.
    BOOL AddTool(HWND control, const std::string& text);
    // Replaces the text shown over `control`, which AddTool registered.
    void UpdateTipText(HWND control, const std::string& text);
    void Activate(BOOL activate);
    void RelayEvent(MSG* msg);
};
