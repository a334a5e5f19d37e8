#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/code_pages.h"
#include "engine/visual_order.h"

// Right-to-left subtitle lines come in two conventions, and players in two families:
// - the left-to-right-player form ("community" files): punctuation, and often numbers and brackets, moved to the
//   logical start of the line, so that players that lay every line out left to right show them at the left end,
//   where a right-to-left sentence ends;
// - logical order: the text as it is read, right only in players that take the direction from the text.
// A fix brings every line that holds a right-to-left letter into one form; other lines are never changed.
enum class RtlFixMode {
    kOff,
    kAllPlayers,  // logical order wrapped in RLE ... PDF (RLM ... RLM in a single-byte line): right in both families
    kLtrPlayers,  // the left-to-right-player form, no marks
    kLogical,     // logical order, no marks
};

// How a file's right-to-left lines are written; kDetect: decided from the lines themselves.
enum class RtlSource { kDetect, kCommunity, kLogical };

// The names the command line takes: "all-players", "ltr-players", "logical"; "community", "logical".
bool ParseRtlFixMode(std::string_view name, RtlFixMode* mode);
const char* RtlFixModeName(RtlFixMode mode);
bool ParseRtlSource(std::string_view name, RtlSource* source);
const char* RtlSourceName(RtlSource source);

// The evidence of a file's right-to-left lines for one convention or the other: a line that starts with a full stop,
// comma, question or exclamation mark, colon or ellipsis, or ends with a dialogue dash, is written for left-to-right
// players; one that ends with such punctuation or starts with a dialogue dash is logical. Lines with as much of one
// as of the other, or none, do not count; nor do lines whose text starts with RLE or RLM: they are read as logical
// whatever the file's convention (a fix for all players writes them so).
struct ConventionVotes {
    std::uint64_t community = 0;
    std::uint64_t logical = 0;
    std::uint64_t right_to_left = 0;  // lines counted that hold a right-to-left letter, voting or not
    std::uint64_t marked = 0;         // of those, lines marked as logical

    // Counts the lines of `text` (a block of a file: line ends of any kind; lines not UTF-8 read in `code_page`).
    void CountText(std::string_view text, CodePage code_page);
    // Counts one text line.
    void CountLine(std::string_view line, CodePage code_page);
    // The convention at least three in four of the counted lines follow; kDetect when none does (or none counted).
    RtlSource Decision() const;
};

// Rewrites text lines into the form of one RtlFixMode. Keeps its memory between lines.
class RtlFixer {
  public:
    // `source` must be decided (not kDetect) before the first Fix. `code_page`: that of lines that are not UTF-8.
    void Configure(RtlFixMode mode, RtlSource source, CodePage code_page);

    // The fixed line, or `line` itself when it holds no right-to-left letter, is already in the mode's form, or
    // cannot be rewritten so that it shows as before, or holds a control character or a combining mark with no letter
    // before it (counted in LinesLeftAsTheyWere). The view stays valid until the next call.
    std::string_view Fix(std::string_view line);

    std::uint64_t LinesWithRightToLeft() const { return m_right_to_left; }
    std::uint64_t LinesChanged() const { return m_changed; }
    std::uint64_t LinesLeftAsTheyWere() const { return m_left; }
    // For left-to-right players: lines left as they were because only direction marks would make them show right
    // (some lines that start with a number or a bracket); counted among LinesLeftAsTheyWere too.
    std::uint64_t LinesNotShowableLeftToRight() const { return m_not_left_to_right; }

  private:
    static bool MayNeedFixing(const unsigned char* bytes, std::size_t size);
    // Fixes m_part; false when it cannot be done so that the part shows as before.
    bool FixPart(bool utf8);
    // m_logical wrapped in RLE ... PDF (RLM ... RLM when the line is not UTF-8) inside its leading and trailing tags
    // and brace blocks, into m_part.
    void Wrap(bool utf8);
    // What a player that lays `text` out with `order` shows of it, stored left to right.
    void Display(VisualOrder& order, const std::u32string& text, std::u32string& shown);
    // Sets `text` to a line without marks that shows as `shown` with `order`; false when none is found.
    bool Inverse(VisualOrder& order, const std::u32string& shown, std::u32string& text);
    // Whether `text` shows as `meaning` (which has no marks) with `order`.
    bool ShowsAs(VisualOrder& order, const std::u32string& text, const std::u32string& meaning);
    static void StripMarks(std::u32string& text);

    RtlFixMode m_mode = RtlFixMode::kOff;
    RtlSource m_source = RtlSource::kLogical;
    CodePage m_code_page = CodePage::kWindows1255;
    std::uint64_t m_right_to_left = 0;
    std::uint64_t m_changed = 0;
    std::uint64_t m_left = 0;
    std::uint64_t m_not_left_to_right = 0;
    VisualOrder m_rtl;
    VisualOrder m_ltr;
    // Buffers kept between lines, so that fixing allocates only for a line longer than any before.
    std::u32string m_text, m_part, m_fixed, m_meaning, m_logical, m_check, m_context;
    std::string m_utf8_in, m_utf8_out, m_out;
};
