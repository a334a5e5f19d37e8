#include "ui/cue_time_field.h"

#include "engine/timing_line.h"
#include "win32ui/data_exchange.h"

std::string CueTimeText(CueTime time) {
    char text[kLongestClockTime];
    const char* end = PutClockTime(text, time, ',', /*with_hours=*/true);
    // PutClockTime writes at least two digits of hours; the dialog reads and shows one where one is enough.
    const char* start = text[0] == '0' && text[2] == ':' ? text + 1 : text;
    return std::string(start, end);
}

bool ParseCueTimeText(const std::string& text, CueTime* time) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return false;
    }
    const std::string_view trimmed(text.data() + first, text.find_last_not_of(" \t") + 1 - first);
    std::size_t pos = 0;
    ClockTime clock;
    if (!ParseClockTime(trimmed, &pos, /*hours_optional=*/false, &clock) || pos != trimmed.size()) {
        return false;
    }
    *time = clock.ms;
    return true;
}

std::string CueTimeMessage(const std::string& field) {
    return "Please enter " + field + " as H:MM:SS,mmm, for example 0:01:02,345.";
}

void DDX_CueTime(CDataExchange* pDX, int id, CueTime& value, const char* field) {
    CWnd edit;
    edit.m_hWnd = pDX->PrepareCtrl(id);
    if (!pDX->m_bSaveAndValidate) {
        edit.SetWindowText(CueTimeText(value));
        return;
    }
    if (!ParseCueTimeText(edit.GetWindowText(), &value)) {
        pDX->Fail(CueTimeMessage(field));
    }
}
