#include "tests/webvtt_validator.h"

#include <algorithm>
#include <cstdint>
#include <regex>
#include <vector>

namespace {

using Ms = std::uint64_t;

// (HH+:)?MM:SS.mmm, minutes and seconds below 60, in four groups.
const std::string kTime = R"((?:(\d{2,}):)?([0-5]\d):([0-5]\d)\.(\d{3}))";
const std::regex kTimingLine(kTime + "[ \t]+-->[ \t]+" + kTime +
                             "(?:[ \t]+(?:vertical|line|position|size|align|region):[^ \t]+)*[ \t]*");
const std::regex kTimestampTag("<" + kTime + ">");

// The time whose four groups start at `group` (hours cut to 15 digits).
Ms Milliseconds(const std::cmatch& match, int group) {
    const auto field = [&](int i) { return match[i].matched ? std::stoull(match[i].str().substr(0, 15)) : 0; };
    return ((field(group) * 60 + field(group + 1)) * 60 + field(group + 2)) * 1000 + field(group + 3);
}

bool HoldsArrow(std::string_view line) {
    return line.find("-->") != std::string_view::npos;
}

bool StartsWithWord(std::string_view line, std::string_view word) {
    return line.substr(0, word.size()) == word &&
           (line.size() == word.size() || line[word.size()] == ' ' || line[word.size()] == '\t');
}

}  // namespace

bool ValidateWebVtt(std::string_view file, std::string* error) {
    if (file.substr(0, 3) == "\xEF\xBB\xBF") {
        file.remove_prefix(3);
    }
    std::vector<std::string_view> lines;  // CR LF, LF and CR each end a line
    for (std::size_t start = 0; start < file.size();) {
        const std::size_t end = std::min(file.find_first_of("\r\n", start), file.size());
        lines.push_back(file.substr(start, end - start));
        start = end + (file.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    const auto fail = [&](std::size_t index, const std::string& what) {
        if (error != nullptr) {
            *error = "line " + std::to_string(index + 1) + ": " + what;
        }
        return false;
    };
    if (lines.empty() || !StartsWithWord(lines[0], "WEBVTT")) {
        return fail(0, "the file does not start with WEBVTT");
    }
    std::size_t i = 0;
    for (; i < lines.size() && !lines[i].empty(); ++i) {
        if (HoldsArrow(lines[i])) {
            return fail(i, "--> in the header (no blank line before the first cue?)");
        }
    }
    bool seen_cue = false;
    Ms last_start = 0;
    for (; i < lines.size(); ++i) {
        std::size_t end = i;  // the block is [i, end)
        while (end < lines.size() && !lines[end].empty()) {
            ++end;
        }
        if (end == i) {
            continue;
        }
        const bool note = StartsWithWord(lines[i], "NOTE");
        if (!note && (HoldsArrow(lines[i]) || (end - i >= 2 && HoldsArrow(lines[i + 1])))) {
            const std::size_t timing = HoldsArrow(lines[i]) ? i : i + 1;
            const std::string_view line = lines[timing];
            std::cmatch match;
            if (!std::regex_match(line.data(), line.data() + line.size(), match, kTimingLine)) {
                return fail(timing, "not TIME --> TIME with known NAME:VALUE settings");
            }
            const Ms start = Milliseconds(match, 1);
            const Ms stop = Milliseconds(match, 5);
            if (stop <= start || (seen_cue && start < last_start)) {
                return fail(timing, "the cue does not end after it starts, or starts before the cue above it");
            }
            seen_cue = true;
            last_start = start;
            Ms last = start;  // timestamp tags rise strictly between the cue's start and end
            for (i = timing + 1; i < end; ++i) {
                if (HoldsArrow(lines[i])) {
                    return fail(i, "--> in a cue payload (no blank line between cues?)");
                }
                for (std::size_t p = lines[i].find('<'); p != std::string_view::npos; p = lines[i].find('<', p + 1)) {
                    if (p + 1 == lines[i].size() || lines[i][p + 1] < '0' || lines[i][p + 1] > '9') {
                        continue;
                    }
                    if (!std::regex_search(lines[i].data() + p, lines[i].data() + lines[i].size(), match, kTimestampTag,
                                           std::regex_constants::match_continuous) ||
                        Milliseconds(match, 1) <= last || Milliseconds(match, 1) >= stop) {
                        return fail(i, "invalid timestamp tag, or one out of order or outside the cue");
                    }
                    last = Milliseconds(match, 1);
                }
            }
            continue;
        }
        if (!note && lines[i] != "STYLE" && lines[i] != "REGION") {
            return fail(i, "a block that is no cue, NOTE, STYLE or REGION block");
        }
        if (!note && seen_cue) {
            return fail(i, std::string(lines[i]) + " block after the first cue");
        }
        for (; i < end; ++i) {
            if (HoldsArrow(lines[i])) {
                return fail(i, "--> inside a NOTE, STYLE or REGION block");
            }
        }
    }
    return true;
}
