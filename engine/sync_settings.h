#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "engine/code_pages.h"
#include "engine/rtl_fix.h"
#include "engine/time_transform.h"
#include "platform/local_time.h"

// A time of a cue: milliseconds since 00:00:00,000.
using CueTime = std::uint32_t;

// The cue times a run shifts: those from `from` to `to`, both included. By default every time.
struct TimeWindow {
    CueTime from = 0;
    CueTime to = std::numeric_limits<CueTime>::max();

    bool Contains(CueTime time) const { return from <= time && time <= to; }
};

// A window bound as the dialog's time pickers and the command line hold it: the given local time of day on the
// pickers' fixed date, 1975-03-21. Only the time of day counts.
CalendarTime WindowTime(int hour, int minute, int second);

// Every parameter of one synchronization run, as the dialog's controls hold them, and the offset and window derived
// from them. The fields are not range-checked here: the dialog validates them, and the derived values use 32-bit
// arithmetic whatever they hold.
struct SyncSettings {
    std::uint32_t m_nHours = 0;
    std::uint32_t m_nMinutes = 0;
    std::uint32_t m_nMilliseconds = 0;
    std::uint32_t m_nReduceNumber = 0;
    std::uint32_t m_nSeconds = 0;
    std::int32_t m_nDirection = 1;  // radio index: 0 add the offset, 1 reduce it; anything else adds
    std::string m_strInputFile;
    std::int32_t m_bSwitchOrientation = 0;
    CalendarTime m_timeFrom = 0;
    CalendarTime m_timeTo = 0;
    std::int32_t m_bBetweenTimes = 0;
    // The code page of text lines that are not UTF-8, which the orientation switch must read; kDetect: from the
    // file's bytes.
    CodePage m_codePage = CodePage::kDetect;
    // The right-to-left fix: the form lines with a right-to-left letter are brought into, and how the file has them.
    RtlFixMode m_rtlFix = RtlFixMode::kOff;
    RtlSource m_rtlSource = RtlSource::kDetect;
    // Whether the result is stored as UTF-8 (single-byte lines decoded in the file's code page), and then whether it
    // starts with a byte-order mark.
    std::int32_t m_bToUtf8 = 0;
    std::int32_t m_bByteOrderMark = 1;
    // A correction of the speed as well (drift), anchored where it was asked; the offset fields add to it.
    TimeTransform m_drift;
    // Where the first and the last cue should start, for a run that finds the correction from the file itself; -1:
    // not asked.
    std::int64_t m_firstCueAt = -1;
    std::int64_t m_lastCueAt = -1;
    // Where the videos differ by cuts: from each piece's time in the file on, its correction instead of m_drift (which
    // holds from 0). Empty for one correction. The offset fields add to every piece.
    std::vector<TimePiece> m_cuts;
    // A subtitle in sync with the video, to find the correction from (cue by cue, see MatchCueTimes); empty: none.
    std::string m_matchReference;
    // The frame rate of a MicroDVD file's frame lines; numerator 0: the rate the file's first line gives.
    FrameRate m_fps{0, 1};

    // The signed offset in milliseconds, negative when reducing.
    std::int32_t OffsetMs() const;
    // What a run does to every cue time inside its window: the drift correction, moved by the offset.
    TimeTransform Transform() const { return m_drift.ShiftedBy(OffsetMs()); }
    // Whether the run is asked to move cue times: a transform other than "no change", a window, or cue times to find
    // the transform from.
    bool MovesTimes() const {
        const TimeTransform transform = Transform();
        return !(transform.IsShift() && transform.Offset() == 0) || m_bBetweenTimes != 0 || m_firstCueAt >= 0 ||
               m_lastCueAt >= 0 || !m_cuts.empty() || !m_matchReference.empty();
    }
    // The cue times this run shifts: with the window on, from the local time of day of m_timeFrom to that of
    // m_timeTo; with it off, every time. It asks the system for local time: a run takes it once, not per line.
    TimeWindow Window() const;
    // Whether a run may start: always with the window off; with it on, only when From is before To.
    bool ValidateWindow() const;
};

// The message shown when the window is on and does not increase.
extern const char kWindowMessage[];
