#include "win32ui/dialog.h"

#include <exception>

#include "win32ui/app.h"
#include "win32ui/data_exchange.h"
#include "win32ui/message_box.h"

const MessageMap kDialogMessageMap = {nullptr, nullptr, 0};

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() {
    if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
        DestroyWindow(m_hWnd);
    }
}

BOOL CDialog::Create() {
    m_bModalDone = false;
    // A Unicode dialog, so that its controls hold any text the program gives them.
    const HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate), owner, &DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR CDialog::DoModal() {
    // As DialogBox does: the owner takes no input while this dialog is open, and is enabled again before this one is
    // destroyed, so that the activation goes back to it rather than to another program's window.
    const HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    const bool disabledOwner = owner != nullptr && IsWindowEnabled(owner);
    if (disabledOwner) {
        ::EnableWindow(owner, FALSE);
    }
    if (!Create()) {
        if (disabledOwner) {
            ::EnableWindow(owner, TRUE);
        }
        return -1;
    }
    MSG msg;
    while (!m_bModalDone) {
        const BOOL got = GetMessageW(&msg, /*hWnd=*/nullptr, 0, 0);
        if (got == 0) {
            // WM_QUIT belongs to the outer loop, if any.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) {
            break;
        }
        if (!PreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (disabledOwner) {
        ::EnableWindow(owner, TRUE);
    }
    if (m_hWnd != nullptr) {
        DestroyWindow(m_hWnd);
    }
    return m_nModalResult;
}

void CDialog::EndDialog(int result) {
    m_nModalResult = result;
    m_bModalDone = true;
    // Wakes GetMessage in the modal loop even when nothing else is queued.
    PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    return Exchange(saveAndValidate, /*quietFailure=*/nullptr);
}

BOOL CDialog::UpdateDataQuietly(std::string* failure) {
    return Exchange(TRUE, failure);
}

BOOL CDialog::Exchange(BOOL saveAndValidate, std::string* quietFailure) {
    const bool wasLocked = m_bLockNotifications;
    m_bLockNotifications = true;
    CDataExchange dx(this, saveAndValidate);
    dx.m_pQuietFailure = quietFailure;
    BOOL ok = TRUE;
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailure&) {
        ok = FALSE;
    }
    m_bLockNotifications = wasLocked;
    return ok;
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    return IsDialogMessageW(m_hWnd, msg);
}

void CDialog::DoDataExchange(CDataExchange* /*pDX*/) {}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

const MessageMap* CDialog::GetMessageMap() const {
    return &kDialogMessageMap;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        dialog->m_hWnd = hwnd;
    } else {
        dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (dialog == nullptr) {
        return FALSE;
    }
    try {
        return dialog->WindowProc(message, wParam, lParam);
    } catch (const std::exception& error) {
        AfxMessageBox(error.what(), MB_OK | MB_ICONSTOP);
    } catch (...) {
        AfxMessageBox("An unexpected error stopped this command.", MB_OK | MB_ICONSTOP);
    }
    return TRUE;
}

INT_PTR CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            // The template places the dialog at 0, 0; it opens in the middle of the screen instead.
            CenterWindow();
            return OnInitDialog();
        case WM_NCDESTROY:
            SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
            m_hWnd = nullptr;
            return FALSE;
        case WM_HELP: {
            CWinApp* app = AfxGetApp();
            return app != nullptr && app->OnCmdMsg(ID_HELP);
        }
        case WM_COMMAND: {
            const UINT id = LOWORD(wParam);
            const UINT code = HIWORD(wParam);
            // Destroying a closed dialog takes the focus from its control, which must not validate it again.
            if (lParam != 0 && (m_bLockNotifications || m_bModalDone)) {
                return TRUE;
            }
            if (const MessageMapEntry* entry = FindEntry(WM_COMMAND, code, id)) {
                return Call(*entry, wParam);
            }
            if (code == BN_CLICKED && id == IDOK) {
                OnOK();
                return TRUE;
            }
            if (code == BN_CLICKED && id == IDCANCEL) {
                OnCancel();
                return TRUE;
            }
            return FALSE;
        }
        case WM_SYSCOMMAND:
            // The low four bits are the system's; commands the program did not add get the default processing.
            if (const MessageMapEntry* entry = FindEntry(WM_SYSCOMMAND, 0, static_cast<UINT>(wParam & 0xFFF0))) {
                return Call(*entry, wParam);
            }
            return FALSE;
        default:
            if (const MessageMapEntry* entry = FindEntry(message, 0, 0)) {
                return Call(*entry, wParam);
            }
            return FALSE;
    }
}

const MessageMapEntry* CDialog::FindEntry(UINT message, UINT code, UINT id) const {
    for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
        for (std::size_t i = 0; i < map->count; ++i) {
            const MessageMapEntry& entry = map->entries[i];
            if (entry.message == message && entry.code == code && entry.id == id) {
                return &entry;
            }
        }
    }
    return nullptr;
}

INT_PTR CDialog::Call(const MessageMapEntry& entry, WPARAM wParam) {
    if (entry.cursorHandler != nullptr) {
        // WM_QUERYDRAGICON is one of the messages whose answer is the dialog procedure's return value.
        return reinterpret_cast<INT_PTR>((this->*entry.cursorHandler)());
    }
    m_bDefault = false;
    if (entry.dropHandler != nullptr) {
        (this->*entry.dropHandler)(reinterpret_cast<HDROP>(wParam));
    } else {
        (this->*entry.handler)();
    }
    return m_bDefault ? FALSE : TRUE;
}

void CDialog::CenterWindow() {
    RECT window;
    GetWindowRect(m_hWnd, &window);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT area = monitor.rcWork;
    if (m_pParentWnd != nullptr && m_pParentWnd->m_hWnd != nullptr && !IsIconic(m_pParentWnd->m_hWnd)) {
        GetWindowRect(m_pParentWnd->m_hWnd, &area);
    }
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    SetWindowPos(m_hWnd, /*hWndInsertAfter=*/nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
