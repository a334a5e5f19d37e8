#include "win32ui/data_exchange.h"

#include <commctrl.h>

#include "win32ui/dialog.h"
#include "win32ui/message_box.h"
#include "win32ui/system_time.h"

const char kNotANumberMessage[] = "Please enter a whole number (digits only).";

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsRadioButton(HWND control) {
    wchar_t className[16] = {};
    GetClassNameW(control, className, sizeof className / sizeof className[0]);
    if (lstrcmpiW(className, L"Button") != 0) {
        return false;
    }
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

}  // namespace

std::string RangeMessage(std::uint32_t minimum, std::uint32_t maximum) {
    return "Please enter a number from " + std::to_string(minimum) + " to " + std::to_string(maximum) + ".";
}

bool ParseUnsigned(const std::string& text, std::uint32_t* value) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    const std::size_t digitsStart = i;
    std::uint64_t result = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        result = result * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (result > UINT32_MAX) {
            return false;
        }
    }
    if (i == digitsStart) {
        return false;
    }
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    if (i != text.size()) {
        return false;
    }
    *value = static_cast<std::uint32_t>(result);
    return true;
}

HWND CDataExchange::PrepareCtrl(int id) {
    m_hWndLastControl = ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
    return m_hWndLastControl;
}

void CDataExchange::Fail(const std::string& message) {
    if (m_pQuietFailure != nullptr) {
        *m_pQuietFailure = message;
        throw DataExchangeFailure{};
    }
    AfxMessageBox(message);
    if (m_bSaveAndValidate && m_hWndLastControl != nullptr) {
        // WM_NEXTDLGCTL rather than SetFocus keeps the dialog manager's default-button state right, and selects
        // the text of an edit control so the user can type over it.
        SendMessageW(m_pDlgWnd->m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_hWndLastControl), TRUE);
    }
    throw DataExchangeFailure{};
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (control.m_hWnd == nullptr) {
        control.m_hWnd = pDX->PrepareCtrl(id);
    }
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
    CWnd edit;
    edit.m_hWnd = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        value = edit.GetWindowText();
    } else {
        edit.SetWindowText(value);
    }
}

void DDX_Text(CDataExchange* pDX, int id, std::uint32_t& value) {
    CWnd edit;
    edit.m_hWnd = pDX->PrepareCtrl(id);
    if (!pDX->m_bSaveAndValidate) {
        edit.SetWindowText(std::to_string(value));
        return;
    }
    std::uint32_t parsed = 0;
    if (!ParseUnsigned(edit.GetWindowText(), &parsed)) {
        pDX->Fail(kNotANumberMessage);
    }
    value = parsed;
}

void DDV_MinMaxUInt(CDataExchange* pDX, std::uint32_t value, std::uint32_t minimum, std::uint32_t maximum) {
    if (!pDX->m_bSaveAndValidate || (minimum <= value && value <= maximum)) {
        return;
    }
    pDX->Fail(RangeMessage(minimum, maximum));
}

void DDX_Radio(CDataExchange* pDX, int id, std::int32_t& value) {
    HWND button = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        value = -1;
    }
    // The group runs from the first button up to the next control with WS_GROUP.
    for (std::int32_t index = 0; button != nullptr;) {
        if (IsRadioButton(button)) {
            if (pDX->m_bSaveAndValidate) {
                if (SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED) {
                    value = index;
                }
            } else {
                SendMessageW(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            ++index;
        }
        button = GetWindow(button, GW_HWNDNEXT);
        if (button != nullptr && (GetWindowLongW(button, GWL_STYLE) & WS_GROUP) != 0) {
            break;
        }
    }
}

void DDX_Check(CDataExchange* pDX, int id, std::int32_t& value) {
    HWND box = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<std::int32_t>(SendMessageW(box, BM_GETCHECK, 0, 0));
    } else {
        SendMessageW(box, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    }
}

void DDX_CBIndex(CDataExchange* pDX, int id, std::int32_t& value) {
    HWND combo = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<std::int32_t>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    } else {
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(value), 0);
    }
}

void DDX_DateTimeCtrl(CDataExchange* pDX, int id, CalendarTime& value) {
    HWND picker = pDX->PrepareCtrl(id);
    SYSTEMTIME shown = {};
    if (pDX->m_bSaveAndValidate) {
        if (SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown)) == GDT_VALID) {
            value = FromLocalSystemTime(shown);
        }
    } else if (ToLocalSystemTime(value, &shown)) {
        SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&shown));
    }
}
