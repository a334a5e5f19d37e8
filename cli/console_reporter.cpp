#include "cli/console_reporter.h"

#include <algorithm>
#include <cstdlib>

#include "engine/timing_line.h"
#include "platform/console.h"

namespace {

const char kProgram[] = "kelvaro-cli";

// What to do about a failure, by the reason it gives.
const struct {
    const char* reason;
    const char* hint;
} kHints[] = {
    {"it is being used by another program", "; wait until the other program is done, then run again"},
    {"Permission denied", "; check that you may read and write the file and its folder"},
    {"Access is denied", "; check that you may read and write the file and its folder"},
};

// "+1.500 s", "-0.250 s".
std::string Seconds(std::int64_t ms) {
    const std::uint64_t magnitude = static_cast<std::uint64_t>(ms < 0 ? -ms : ms);
    std::string fraction = std::to_string(magnitude % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return (ms < 0 ? "-" : "+") + std::to_string(magnitude / 1000) + "." + fraction + " s";
}

std::string Clock(CueTime ms) {
    char text[kLongestClockTime];
    return std::string(text, PutClockTime(text, ms, ',', true));
}

std::string Span(const CueSpan& span) {
    return Clock(span.start) + " --> " + Clock(span.end);
}

// Whether `line` names `file` as a word of its own (not as the end of a longer name).
bool Names(const std::string& line, const std::string& file) {
    for (std::size_t at = line.find(file); at != std::string::npos; at = line.find(file, at + 1)) {
        const std::size_t end = at + file.size();
        const bool starts = at == 0 || line[at - 1] == ' ' || line[at - 1] == '(';
        const bool ends = end == line.size() || line[end] == ':' || line[end] == ';' || line[end] == ' ' ||
                          line[end] == ',' || line[end] == ')';
        if (starts && ends) {
            return true;
        }
    }
    return false;
}

std::string Count(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

void ConsoleReporter::Succeeded(const std::string& text) {
    RunReport report;
    report.headline = text;
    Done(report);
}

void ConsoleReporter::Done(const RunReport& report) {
    std::string text = Summary(report);
    if (!report.headline.empty()) {
        text = m_mode == Mode::kPreview ? text + (text.empty() ? "" : "\n") + report.headline
                                        : report.headline + (text.empty() ? "" : "\n") + text;
    }
    if (!text.empty() && !m_stream_on_output) {
        const Status printed = WriteText(ConsoleStream::kOutput, text + "\n");
        if (!printed.ok()) {
            const char* done = m_mode == Mode::kPreview   ? "checked"
                               : m_mode == Mode::kRestore ? "restored"
                                                          : "re-timed";
            ToError(std::string(done) + ", but the report below could not be printed: " + printed.message());
            ToError(text);
        }
    } else if (!text.empty()) {
        ToError(text);
    }
    if (!report.notes.empty()) {
        ToError(report.notes.substr(1));
    }
}

std::string ConsoleReporter::Summary(const RunReport& report) const {
    const bool shift = report.transform.IsShift();
    if (m_mode == Mode::kRestore || !report.spans.found ||
        (shift && report.transform.Offset() == 0 && !report.window && report.match.empty())) {
        return std::string();
    }
    const bool preview = m_mode == Mode::kPreview;
    const std::string correction = !report.correction.empty() ? ": " + report.correction
                                   : shift                    ? " by " + Seconds(report.transform.Offset())
                                                              : ": " + report.transform.Describe();
    std::string summary =
        Count(report.moved_times, "cue time", "cue times") + (preview ? " would move" : " moved") + correction;
    if (!report.match.empty()) {
        summary += "\n" + report.match;
    }
    if (report.window && report.times_outside_window > 0) {
        summary += "; " + std::to_string(report.times_outside_window) + " outside the window " +
                   (preview ? "would stay as they are" : "left as they were");
    }
    if (preview) {
        const CueSpans& spans = report.spans;
        summary += "\nfirst cue: " + Span(spans.first_before) + " would become " + Span(spans.first_after);
        summary += "\nlast cue: " + Span(spans.last_before) + " would become " + Span(spans.last_after);
    }
    return summary;
}

void ConsoleReporter::Refused(const std::string& text) {
    Complain(text);
}

void ConsoleReporter::FileFailed(const std::string& text) {
    Complain(text);
}

void ConsoleReporter::Skipped(const std::string& reason) {
    ToError("skipped: " + reason);
}

void ConsoleReporter::Complain(const std::string& text) {
    const std::size_t first_line = std::min(text.find('\n'), text.size());
    std::string told = text.substr(0, first_line);
    for (const auto& hint : kHints) {
        if (told.find(hint.reason) != std::string::npos) {
            told += hint.hint;
            break;
        }
    }
    ToError(told + text.substr(first_line));
}

void ConsoleReporter::ToError(const std::string& text) {
    // Standard error is where failures are told: when it cannot be written either, there is no one left to tell.
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        const bool names_file = Names(line, m_file);
        WriteText(ConsoleStream::kError, std::string(kProgram) + ": " + (names_file ? "" : m_file + ": ") + line + "\n")
            .IgnoreError();
        start = end + 1;
    }
}
