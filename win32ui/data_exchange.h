#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/local_time.h"
#include "win32ui/wnd.h"

class CDialog;

// Thrown by Fail() to end an exchange at the failing step; UpdateData catches it.
struct DataExchangeFailure {};

// The state of one UpdateData call: its direction and the control that the last step prepared, which gets the focus
// back when a validation fails.
class CDataExchange {
  public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate) : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}

    // The dialog's control `id`, which becomes the one a failure puts the focus back on.
    HWND PrepareCtrl(int id);
    // Shows `message`, puts the focus back on the prepared control (an edit gets its text selected) and ends the
    // exchange. A quiet exchange only keeps the message, in *m_pQuietFailure.
    [[noreturn]] void Fail(const std::string& message);

    CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
    HWND m_hWndLastControl = nullptr;
    std::string* m_pQuietFailure = nullptr;
};

// Attaches `control` to the dialog's control `id` the first time.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// An unsigned number as edit text. A text that is not one fails with kNotANumberMessage.
void DDX_Text(CDataExchange* pDX, int id, std::uint32_t& value);
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
// The range check after DDX_Text, when saving; the message names the range ("... from 0 to 59.").
void DDV_MinMaxUInt(CDataExchange* pDX, std::uint32_t value, std::uint32_t minimum, std::uint32_t maximum);
// The index of the checked radio button in the group that starts at `id`; -1 when none is checked.
void DDX_Radio(CDataExchange* pDX, int id, std::int32_t& value);
// 0 unchecked, 1 checked, 2 indeterminate.
void DDX_Check(CDataExchange* pDX, int id, std::int32_t& value);
// The index of a combo box's selected item; -1 when none is.
void DDX_CBIndex(CDataExchange* pDX, int id, std::int32_t& value);
// The picker's local date and time. A picker that holds no time leaves `value` as it was.
void DDX_DateTimeCtrl(CDataExchange* pDX, int id, CalendarTime& value);

// The rule for an unsigned number in an edit field: optional blanks around decimal digits, no sign, at most
// 4294967295. False for anything else, the empty text included.
bool ParseUnsigned(const std::string& text, std::uint32_t* value);

extern const char kNotANumberMessage[];
// The range message for the given bounds.
std::string RangeMessage(std::uint32_t minimum, std::uint32_t maximum);
