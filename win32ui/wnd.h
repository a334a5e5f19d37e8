#pragma once

#include <windows.h>

#include <string>

// A window handle with the few operations the program uses. The object does not own the window: the dialog
// manager destroys child windows with their dialog.
class CWnd {
  public:
    virtual ~CWnd() = default;

    // The child window with this control id, or null.
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    BOOL EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
    // Window texts are UTF-8 here and UTF-16 in the window.
    void SetWindowText(const std::string& text);
    // The window's whole text, however long.
    std::string GetWindowText() const;

    HWND m_hWnd = nullptr;
};

class CButton : public CWnd {};
