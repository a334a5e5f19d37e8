#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/sync_settings.h"
#include "engine/text_reversal.h"

// Rewrites subtitle lines one at a time, each by itself, from its length and content:
// - a line of 1 to 3 bytes is a cue number: lowered by the reduce amount, or left alone when it reads as 0;
// - any other line that holds "-->" is a timing line: its times, read at the fixed positions of
//   HH:MM:SS,mmm --> HH:MM:SS,mmm, are shifted by the offset (only those inside the window, when it is on) and the
//   line is printed anew in that layout; a time reduced below zero becomes 00:00:00,000;
// - every other line is text: reversed when the orientation switch is on.
// The derived values of the settings are taken once, at construction.
class LineRewriter {
  public:
    explicit LineRewriter(const SyncSettings& settings);

    // The replacement of `line`. The view refers to `line` or to this object, and stays valid until the next call.
    std::string_view Rewrite(std::string_view line);

    // How many cue times were set to 00:00:00,000 because the offset would have taken them below zero.
    std::uint64_t ClampedTimes() const { return m_clamped_times; }

  private:
    std::string_view RewriteNumber(std::string_view line);
    std::string_view RewriteTiming(std::string_view line);
    CueTime Shift(CueTime time);

    std::int32_t m_offset_ms;
    CueTime m_window_from_ms;
    CueTime m_window_to_ms;
    std::uint32_t m_reduce_number;
    bool m_switch_orientation;
    bool m_between_times;
    std::uint64_t m_clamped_times = 0;
    std::string m_out;
    std::string m_reversed;  // only grows, so that reversing a line never clears memory first
    TextReverser m_reverser;
};

// One line rewritten with its own LineRewriter; for callers that handle a single line.
std::string RewriteLine(std::string_view line, const SyncSettings& settings);

// The runtime library's atoi on a byte string: leading white space, an optional sign, then digits up to the first
// other byte; 0 without digits. Meant for the short fields of a subtitle line.
std::int32_t ParseLeadingInt(std::string_view text);
