#include "tests/webvtt_validator.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <set>
#include <vector>

namespace {

using Ms = std::uint64_t;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool HoldsArrow(std::string_view line) {
    return line.find("-->") != std::string_view::npos;
}

// CR LF, LF and CR each end a line; a last line without an end still counts.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

std::size_t CountDigits(std::string_view s, std::size_t pos) {
    std::size_t count = 0;
    while (pos + count < s.size() && IsDigit(s[pos + count])) {
        ++count;
    }
    return count;
}

// Stops growing at 2^32: enough for every range checked here, and no overflow in the sums below.
Ms Number(std::string_view digits) {
    Ms value = 0;
    for (char c : digits) {
        value = std::min<Ms>(value * 10 + static_cast<Ms>(c - '0'), Ms{1} << 32);
    }
    return value;
}

// (HH+:)?MM:SS.mmm at `*pos`; advances past it.
bool ReadTimestamp(std::string_view s, std::size_t* pos, Ms* ms) {
    std::size_t p = *pos;
    std::string_view groups[3];
    int count = 0;
    for (;;) {
        const std::size_t width = CountDigits(s, p);
        if (width == 0) {
            return false;
        }
        groups[count++] = s.substr(p, width);
        p += width;
        if (count == 3 || p >= s.size() || s[p] != ':') {
            break;
        }
        ++p;
    }
    if (count < 2 || (count == 3 && groups[0].size() < 2) || groups[count - 2].size() != 2 ||
        groups[count - 1].size() != 2) {
        return false;
    }
    const Ms hours = count == 3 ? Number(groups[0]) : 0;
    const Ms minutes = Number(groups[count - 2]);
    const Ms seconds = Number(groups[count - 1]);
    if (minutes > 59 || seconds > 59 || p >= s.size() || s[p] != '.' || CountDigits(s, p + 1) != 3) {
        return false;
    }
    *ms = ((hours * 60 + minutes) * 60 + seconds) * 1000 + Number(s.substr(p + 1, 3));
    *pos = p + 4;
    return true;
}

// One or more digits, optionally '.' and more digits, then '%'; at most 100.
bool IsPercentage(std::string_view v) {
    if (v.empty() || v.back() != '%') {
        return false;
    }
    v.remove_suffix(1);
    const std::size_t whole = CountDigits(v, 0);
    std::string_view fraction;
    if (whole < v.size()) {
        fraction = v.substr(whole + 1);
        if (v[whole] != '.' || fraction.empty() || CountDigits(fraction, 0) != fraction.size()) {
            return false;
        }
    }
    const Ms value = Number(v.substr(0, whole));
    return whole > 0 && (value < 100 || (value == 100 && fraction.find_first_not_of('0') == std::string_view::npos));
}

bool IsOneOf(std::string_view v, std::initializer_list<std::string_view> words) {
    for (std::string_view word : words) {
        if (v == word) {
            return true;
        }
    }
    return false;
}

// `value` of a setting, with an optional ",alignment" after it.
bool IsValueWithAlignment(std::string_view value,
                          bool (*is_value)(std::string_view),
                          std::initializer_list<std::string_view> alignments) {
    const std::size_t comma = value.find(',');
    if (comma == std::string_view::npos) {
        return is_value(value);
    }
    return is_value(value.substr(0, comma)) && IsOneOf(value.substr(comma + 1), alignments);
}

bool IsLineNumber(std::string_view v) {
    if (!v.empty() && v[0] == '-') {
        v.remove_prefix(1);
    }
    return !v.empty() && CountDigits(v, 0) == v.size();
}

bool IsSetting(std::string_view name, std::string_view value) {
    if (name == "vertical") {
        return IsOneOf(value, {"rl", "lr"});
    }
    if (name == "line") {
        return IsValueWithAlignment(value, [](std::string_view v) { return IsPercentage(v) || IsLineNumber(v); },
                                    {"start", "center", "end"});
    }
    if (name == "position") {
        return IsValueWithAlignment(value, IsPercentage, {"line-left", "center", "line-right"});
    }
    if (name == "size") {
        return IsPercentage(value);
    }
    if (name == "align") {
        return IsOneOf(value, {"start", "center", "end", "left", "right"});
    }
    return name == "region" && !value.empty();
}

class Validator {
  public:
    bool Run(std::string_view file, std::string* error) {
        if (file.substr(0, 3) == "\xEF\xBB\xBF") {
            file.remove_prefix(3);
        }
        m_lines = SplitLines(file);
        m_error = error;
        return Header() && Blocks();
    }

  private:
    bool Fail(std::size_t index, const std::string& what) {
        if (m_error != nullptr) {
            *m_error = "line " + std::to_string(index + 1) + ": " + what;
        }
        return false;
    }

    bool Header() {
        if (m_lines.empty() || m_lines[0].substr(0, 6) != "WEBVTT" ||
            (m_lines[0].size() > 6 && !IsBlank(m_lines[0][6]))) {
            return Fail(0, "the file does not start with WEBVTT");
        }
        for (m_next = 0; m_next < m_lines.size() && !m_lines[m_next].empty(); ++m_next) {
            if (HoldsArrow(m_lines[m_next])) {
                return Fail(m_next, "--> in the header (no blank line before the first cue?)");
            }
        }
        return true;
    }

    bool Blocks() {
        for (;;) {
            while (m_next < m_lines.size() && m_lines[m_next].empty()) {
                ++m_next;
            }
            if (m_next == m_lines.size()) {
                return true;
            }
            std::size_t end = m_next;
            while (end < m_lines.size() && !m_lines[end].empty()) {
                ++end;
            }
            if (!Block(m_next, end)) {
                return false;
            }
            m_next = end;
        }
    }

    bool Block(std::size_t begin, std::size_t end) {
        const std::string_view first = m_lines[begin];
        const bool note = first.substr(0, 4) == "NOTE" && (first.size() == 4 || IsBlank(first[4]));
        if (!note && HoldsArrow(first)) {
            return Cue(begin, end);
        }
        if (!note && end - begin >= 2 && HoldsArrow(m_lines[begin + 1])) {
            return Cue(begin + 1, end);
        }
        if (!note) {
            const std::string_view word = first.substr(0, first.find_last_not_of(" \t") + 1);
            if (word != "STYLE" && word != "REGION") {
                return Fail(begin, "a block that is no cue, NOTE, STYLE or REGION block");
            }
            if (m_seen_cue) {
                return Fail(begin, std::string(word) + " block after the first cue");
            }
        }
        for (std::size_t i = begin; i < end; ++i) {
            if (HoldsArrow(m_lines[i])) {
                return Fail(i, "--> inside a NOTE, STYLE or REGION block");
            }
        }
        return true;
    }

    bool Cue(std::size_t timing, std::size_t end) {
        Ms start, stop;
        if (!TimingLine(timing, &start, &stop)) {
            return false;
        }
        if (stop <= start) {
            return Fail(timing, "the cue does not end after it starts");
        }
        if (m_seen_cue && start < m_last_start) {
            return Fail(timing, "the cue starts before the cue above it");
        }
        m_seen_cue = true;
        m_last_start = start;
        Ms last = start;
        for (std::size_t i = timing + 1; i < end; ++i) {
            if (HoldsArrow(m_lines[i])) {
                return Fail(i, "--> in a cue payload (no blank line between cues?)");
            }
            if (!Payload(i, &last, stop)) {
                return false;
            }
        }
        return true;
    }

    bool TimingLine(std::size_t index, Ms* start, Ms* stop) {
        const std::string_view line = m_lines[index];
        std::size_t p = 0;
        if (!ReadTimestamp(line, &p, start)) {
            return Fail(index, "no valid start time");
        }
        const std::size_t before_arrow = p;
        while (p < line.size() && IsBlank(line[p])) {
            ++p;
        }
        if (p == before_arrow || line.compare(p, 3, "-->") != 0) {
            return Fail(index, "no blank and --> after the start time");
        }
        p += 3;
        const std::size_t after_arrow = p;
        while (p < line.size() && IsBlank(line[p])) {
            ++p;
        }
        if (p == after_arrow || !ReadTimestamp(line, &p, stop)) {
            return Fail(index, "no blank and valid end time after -->");
        }
        if (p < line.size() && !IsBlank(line[p])) {
            return Fail(index, "text right after the end time");
        }
        std::set<std::string_view> names;
        while (p < line.size()) {
            while (p < line.size() && IsBlank(line[p])) {
                ++p;
            }
            std::size_t token_end = p;
            while (token_end < line.size() && !IsBlank(line[token_end])) {
                ++token_end;
            }
            if (token_end == p) {
                break;
            }
            const std::string_view token = line.substr(p, token_end - p);
            const std::size_t colon = token.find(':');
            const std::string_view name = token.substr(0, colon);
            if (colon == std::string_view::npos || !IsSetting(name, token.substr(colon + 1))) {
                return Fail(index, "invalid cue setting '" + std::string(token) + "'");
            }
            if (!names.insert(name).second) {
                return Fail(index, "cue setting '" + std::string(name) + "' given twice");
            }
            p = token_end;
        }
        return true;
    }

    // Every '<' opens a tag closed by '>'; a tag starting with a digit is a timestamp inside the cue.
    bool Payload(std::size_t index, Ms* last, Ms stop) {
        const std::string_view line = m_lines[index];
        for (std::size_t p = line.find('<'); p != std::string_view::npos; p = line.find('<', p + 1)) {
            const std::size_t close = line.find('>', p);
            if (close == std::string_view::npos || line.find('<', p + 1) < close || close == p + 1) {
                return Fail(index, "a '<' that opens no tag");
            }
            if (!IsDigit(line[p + 1])) {
                continue;
            }
            std::size_t q = p + 1;
            Ms time;
            if (!ReadTimestamp(line, &q, &time) || q != close) {
                return Fail(index, "invalid timestamp tag");
            }
            if (time <= *last || time >= stop) {
                return Fail(index, "timestamp tag out of order or outside the cue");
            }
            *last = time;
        }
        return true;
    }

    std::vector<std::string_view> m_lines;
    std::string* m_error = nullptr;
    std::size_t m_next = 0;
    bool m_seen_cue = false;
    Ms m_last_start = 0;
};

}  // namespace

bool ValidateWebVtt(std::string_view file, std::string* error) {
    return Validator().Run(file, error);
}
