#pragma once

#include <windows.h>

#include <shellapi.h>

#include <cstddef>
#include <string>

#include "win32ui/wnd.h"

class CDialog;
class CDataExchange;

// One row of a dialog's message map: a window message, or for WM_COMMAND a notification code from one control, or
// for WM_SYSCOMMAND a command of the system menu, and the member that handles it. Exactly one of the handlers is set,
// the one whose shape the message needs.
struct MessageMapEntry {
    UINT message;
    UINT code;  // WM_COMMAND only
    UINT id;    // WM_COMMAND: the control; WM_SYSCOMMAND: the command
    void (CDialog::*handler)() = nullptr;
    HCURSOR (CDialog::*cursorHandler)() = nullptr;
    void (CDialog::*dropHandler)(HDROP) = nullptr;
};
struct MessageMap {
    const MessageMap* base;
    const MessageMapEntry* entries;
    std::size_t count;
};

// The base dialog's map, which a derived map names as its base: it is empty, as IDOK, IDCANCEL and WM_HELP are
// handled in code.
extern const MessageMap kDialogMessageMap;

// Rows for a derived dialog's map, written as OnMessage(WM_PAINT, &CMyDlg::OnPaint).
template <class Dialog>
MessageMapEntry OnMessage(UINT message, void (Dialog::*handler)()) {
    return {message, 0, 0, static_cast<void (CDialog::*)()>(handler)};
}
template <class Dialog>
MessageMapEntry OnCommand(UINT code, UINT id, void (Dialog::*handler)()) {
    return {WM_COMMAND, code, id, static_cast<void (CDialog::*)()>(handler)};
}
// A command the dialog added to its system menu. Windows keeps the low four bits of such ids for itself, so `id` is a
// multiple of 16 below 0xF000 (where the system's own commands start).
template <class Dialog>
MessageMapEntry OnSysCommand(UINT id, void (Dialog::*handler)()) {
    return {WM_SYSCOMMAND, 0, id, static_cast<void (CDialog::*)()>(handler)};
}
template <class Dialog>
MessageMapEntry OnQueryDragIconMessage(HCURSOR (Dialog::*handler)()) {
    return {WM_QUERYDRAGICON, 0, 0, nullptr, static_cast<HCURSOR (CDialog::*)()>(handler)};
}
template <class Dialog>
MessageMapEntry OnDropFilesMessage(void (Dialog::*handler)(HDROP)) {
    return {WM_DROPFILES, 0, 0, nullptr, nullptr, static_cast<void (CDialog::*)(HDROP)>(handler)};
}

// A dialog built from a template resource of this executable: top-level, or owned by `parent` and centred over it.
// DoModal runs it with its own message loop, so that PreTranslateMessage sees every message first, and disables the
// owner meanwhile. Exceptions never leave the dialog procedure: one that reaches it is shown in a message box.
class CDialog : public CWnd {
  public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Shows the dialog and returns the EndDialog result once it closes; -1 when the dialog cannot be created.
    INT_PTR DoModal();
    // Creates the dialog without a loop of its own (tests pump messages themselves). False on failure.
    BOOL Create();
    void EndDialog(int result);
    bool IsModalDone() const { return m_bModalDone; }

    // Copies controls into members (TRUE) or members into controls (FALSE). Returns FALSE when a value failed its
    // validation; the user has then seen the message, the focus is on that control and later members are unchanged.
    // Control notifications to the dialog are ignored while the exchange runs, its messages included, and once
    // EndDialog has been called.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    // UpdateData(TRUE) for a preview that follows the user's typing: a value that fails its validation shows no
    // message and leaves the focus where it is; `*failure` gets the message instead.
    BOOL UpdateDataQuietly(std::string* failure);

    // Sees each message of the modal loop before it is dispatched; TRUE when it was handled here.
    virtual BOOL PreTranslateMessage(MSG* msg);

  protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    // Runs a first exchange into the controls. TRUE lets the dialog manager put the focus on the first tab stop.
    virtual BOOL OnInitDialog();
    // Enter with no other default button: validate, then close. Escape and the system menu's Close: close.
    virtual void OnOK();
    virtual void OnCancel();
    virtual const MessageMap* GetMessageMap() const;
    // Asks for the system's default processing of the message being handled.
    void Default() { m_bDefault = true; }
    void OnPaint() { Default(); }

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL Exchange(BOOL saveAndValidate, std::string* quietFailure);
    const MessageMapEntry* FindEntry(UINT message, UINT code, UINT id) const;
    INT_PTR Call(const MessageMapEntry& entry, WPARAM wParam);
    void CenterWindow();

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    bool m_bModalDone = false;
    int m_nModalResult = -1;
    bool m_bLockNotifications = false;
    bool m_bDefault = false;
};
