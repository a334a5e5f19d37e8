// Any text under any settings: no crash, no undefined behaviour, one replacement per line, and each replacement fits
// its line's class: a MicroDVD line comes out as one, a readable timing line as a timing line with the same rest,
// every other line that holds "-->" unchanged, and text is unchanged (switch off) or the same bytes in another order
// (switch on), but for mirrored glyphs: ASCII brackets count as one, and bytes from 0x80 on only by their number. With
// the right-to-left fix (and the conversion to UTF-8): ASCII text is unchanged, and fixing for all players a second
// time, reading the file in the form and code page the first run found, changes nothing.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/rewrite_line.h"
#include "engine/text_units.h"
#include "engine/utf8.h"

namespace {

bool IsDigits(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return false;
    }
    const std::size_t last = line.find_last_not_of(" \t");
    return line.substr(first, last - first + 1).find_first_not_of("0123456789") == std::string_view::npos;
}

// A byte as the switch may write it in the place of another.
char Mirrored(char c) {
    switch (c) {
        case ')':
            return '(';
        case ']':
            return '[';
        case '}':
            return '{';
        case '>':
            return '<';
        default:
            return static_cast<unsigned char>(c) >= 0x80 ? '\x80' : c;
    }
}

bool IsValidUtf8(std::string_view line) {
    return ::IsValidUtf8(reinterpret_cast<const unsigned char*>(line.data()), line.size());
}

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) {
        return 0;
    }
    SyncSettings settings;
    settings.m_nDirection = data[0] & 1;
    settings.m_bSwitchOrientation = (data[0] >> 1) & 1;
    settings.m_bBetweenTimes = (data[0] >> 2) & 1;
    const bool webvtt = (data[0] >> 3) & 1;
    settings.m_nHours = data[1] % 4;
    settings.m_nMinutes = data[2] % 60;
    settings.m_nSeconds = data[3] % 60;
    settings.m_nMilliseconds = (data[4] * 4u) % 1000;
    settings.m_nReduceNumber = data[5] * 20u;
    settings.m_timeFrom = 3600 * (data[1] % 3);
    settings.m_timeTo = 3600 * (data[2] % 3);
    settings.m_rtlFix = static_cast<RtlFixMode>((data[0] >> 4) & 3);
    settings.m_bSwitchOrientation &= settings.m_rtlFix == RtlFixMode::kOff ? 1 : 0;  // one or the other
    settings.m_bToUtf8 = (data[0] >> 6) & 1;
    if (data[0] & 0x80) {  // a change of speed, 50 % to 203 %
        settings.m_drift = TimeTransform::ThroughPoints(0, 0, 1000, 500 + data[5] * 6u);
    }
    const std::string_view text(reinterpret_cast<const char*>(data + 6), size - 6);
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }

    LineRewriter rewriter(settings, webvtt ? SubtitleFormat::kWebVtt : SubtitleFormat::kSubRip);
    if (!rewriter.Decide(text, "input").ok()) {
        return 0;  // refused before any line: a convention or a code page that cannot be told
    }
    std::vector<std::string> results;
    for (const std::string_view line : lines) {
        for (std::size_t i = 0, ready = rewriter.Feed(line); i < ready; ++i) {
            results.emplace_back(rewriter.Line(i));
        }
    }
    for (std::size_t i = 0, ready = rewriter.Finish(); i < ready; ++i) {
        results.emplace_back(rewriter.Line(i));
    }
    Check(results.size() == lines.size());
    if (rewriter.Failed()) {
        return 0;  // a byte the code page does not define: the run is refused
    }
    // Fixed for all players, every rewritten line is marked as logical: a second run reading the file as the first
    // did leaves every line as it is.
    const bool fixes_again = settings.m_rtlFix == RtlFixMode::kAllPlayers;
    SyncSettings stated = settings;
    stated.m_rtlSource = rewriter.DecidedRtlSource();
    stated.m_codePage = rewriter.DecidedCodePage();
    LineRewriter again(stated, webvtt ? SubtitleFormat::kWebVtt : SubtitleFormat::kSubRip);
    std::string written;
    for (const std::string& line : results) {
        written += line + "\n";
    }
    const bool second_run = fixes_again && again.Decide(written, "result").ok();
    std::vector<std::string> twice;
    for (const std::string& line : results) {
        for (std::size_t i = 0, ready = second_run ? again.Feed(line) : 0; i < ready; ++i) {
            twice.emplace_back(again.Line(i));
        }
    }

    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::string& result = results[i];
        TimingLine timing;
        if (settings.m_bToUtf8 && !IsValidUtf8(line)) {
            Check(IsValidUtf8(result));  // converted, and then re-timed, fixed or switched
        } else if (!webvtt && IsFrameLine(line)) {
            Check(IsFrameLine(result));  // a MicroDVD line, whatever its text holds: its frames move with the times
        } else if (line.find("-->") != std::string_view::npos) {
            if (result != line) {
                TimingLine written;
                Check(ParseTimingLine(line, webvtt, &timing) && ParseTimingLine(result, webvtt, &written) &&
                      written.rest == timing.rest);
            }
        } else if (IsDigits(line) && i + 1 < lines.size() && ParseTimingLine(lines[i + 1], webvtt, &timing)) {
            Check(result.find_first_not_of("-0123456789") == std::string::npos || result == line);
        } else if (settings.m_rtlFix != RtlFixMode::kOff) {
            const bool ascii = std::all_of(line.begin(), line.end(), [](char c) { return (c & 0x80) == 0; });
            Check(!ascii || result == line || webvtt);
            // The second run shifts the times again: only text lines are compared.
            Check(!second_run || i + 1 >= twice.size() || twice[i] == result || webvtt ||
                  ParseTimingLine(lines[i + 1], webvtt, &timing));
        } else if (!settings.m_bSwitchOrientation) {
            // WebVTT text may have had its timestamps shifted; everything else stays.
            Check(result == line || (webvtt && line.find('<') != std::string_view::npos));
        } else if (!webvtt) {
            std::string sorted_line(line);
            std::string sorted_result(result);
            std::transform(sorted_line.begin(), sorted_line.end(), sorted_line.begin(), Mirrored);
            std::transform(sorted_result.begin(), sorted_result.end(), sorted_result.begin(), Mirrored);
            std::sort(sorted_line.begin(), sorted_line.end());
            std::sort(sorted_result.begin(), sorted_result.end());
            Check(sorted_line == sorted_result);
        }
    }
    return 0;
}
