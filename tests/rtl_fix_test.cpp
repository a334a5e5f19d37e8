// The right-to-left fix against GNU FriBidi: on made-up Hebrew, Arabic and Persian films in both conventions, what
// the author meant is what a line shows in the family of players its convention is for (left to right for files
// written for left-to-right players, right to left for logical ones); after each mode, the result is laid out as the
// family that mode is for and must show the same. Plus the lines the fix must leave alone, a second run, and the
// convention and code page each file is read in.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/rewrite_line.h"
#include "tests/fribidi_oracle.h"
#include "tests/rtl_test_lines.h"
#include "tests/test_support.h"

namespace {

constexpr ParagraphDirection kLtr = ParagraphDirection::kLeftToRight;
constexpr ParagraphDirection kRtl = ParagraphDirection::kRightToLeft;

struct FixFile {
    std::string name;
    RtlSource source;
    CodePage code_page;  // kDetect for UTF-8
};

std::string DataFile(const std::string& name) {
    return std::string(KELVARO_TEST_DATA) + "/rtl_fix/" + name;
}

std::vector<FixFile> Manifest() {
    std::vector<FixFile> files;
    std::ifstream in(DataFile("MANIFEST"));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string name, source, encoding;
        std::getline(fields, name, '|');
        std::getline(fields, source, '|');
        std::getline(fields, encoding, '|');
        CodePage code_page = CodePage::kDetect;
        RtlSource parsed = RtlSource::kDetect;
        EXPECT_TRUE(ParseRtlSource(source, &parsed)) << line;
        EXPECT_TRUE(encoding == "utf-8" || ParseCodePage(encoding, &code_page)) << line;
        files.push_back({name, parsed, code_page});
    }
    return files;
}

// Every line of `content` through a rewriter with `settings`, one output line for each.
std::vector<std::string> Rewrite(const std::string& content,
                                 const std::string& name,
                                 const SyncSettings& settings,
                                 LineRewriter* rewriter) {
    EXPECT_TRUE(rewriter->Decide(content, name).ok()) << name;
    std::vector<std::string> out;
    for (const std::string& line : AllLines(content)) {
        for (std::size_t i = 0, ready = rewriter->Feed(line); i < ready; ++i) {
            out.emplace_back(rewriter->Line(i));
        }
    }
    for (std::size_t i = 0, ready = rewriter->Finish(); i < ready; ++i) {
        out.emplace_back(rewriter->Line(i));
    }
    (void)settings;
    return out;
}

// What a player lays out of a line: no tags or brace blocks, mark entities as the marks they name.
std::string AsPlayerReads(const std::string& utf8) {
    std::string text;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        const char close = c == '<' ? '>' : c == '{' ? '}' : 0;
        const std::size_t end = close != 0 ? utf8.find(close, i) : std::string::npos;
        if (end != std::string::npos) {
            i = end;
        } else if (utf8.compare(i, 5, "&rlm;") == 0 || utf8.compare(i, 5, "&lrm;") == 0) {
            text += utf8[i + 1] == 'r' ? "\u200F" : "\u200E";
            i += 4;
        } else {
            text += c;
        }
    }
    return text;
}

std::vector<std::string> Shown(const std::vector<std::string>& lines, ParagraphDirection direction) {
    std::vector<std::string> read;
    for (const std::string& line : lines) {
        read.push_back(AsPlayerReads(line));
    }
    const std::vector<FriBidiOrder> orders = RunFriBidi(read, direction);
    std::vector<std::string> shown;
    for (std::size_t i = 0; i < read.size(); ++i) {
        shown.push_back(DisplayWithoutFormatting(read[i], orders[i]));
    }
    return shown;
}

struct Tally {
    int shown_right = 0;
    int lines = 0;
    double Share() const { return lines == 0 ? 1.0 : static_cast<double>(shown_right) / lines; }
};

struct ModeRow {
    const char* name;
    RtlFixMode mode;
    bool to_utf8;
    std::vector<ParagraphDirection> families;
    double utf8_share;         // at least, in UTF-8 files
    double single_byte_share;  // at least, in single-byte files
};

TEST(RightToLeftFix, ShowsAsMeantInThePlayersOfEachMode) {
    if (!HaveFriBidi()) {
        GTEST_SKIP() << "no fribidi command (Debian package libfribidi-bin)";
    }
    const ModeRow rows[] = {
        {"all-players", RtlFixMode::kAllPlayers, false, {kLtr, kRtl}, 0.99, 0.90},
        {"all-players --to-utf8", RtlFixMode::kAllPlayers, true, {kLtr, kRtl}, 0.99, 0.99},
        {"ltr-players", RtlFixMode::kLtrPlayers, false, {kLtr}, 0.97, 0.97},
        {"logical", RtlFixMode::kLogical, false, {kRtl}, 0.99, 0.99},
    };
    for (const ModeRow& row : rows) {
        std::map<std::pair<bool, ParagraphDirection>, Tally> tallies;  // (single-byte, family)
        for (const FixFile& file : Manifest()) {
            const std::string content = ReadWholeFile(DataFile(file.name));
            SyncSettings settings;
            settings.m_rtlFix = row.mode;
            settings.m_bToUtf8 = row.to_utf8;
            LineRewriter rewriter(settings, SubtitleFormat::kDetect);
            const std::vector<std::string> out = Rewrite(content, file.name, settings, &rewriter);
            const std::vector<std::string> in = AllLines(content);
            ASSERT_EQ(out.size(), in.size()) << file.name;
            std::vector<std::string> meant_lines, results;
            bool copied_block = file.name.find(".vtt") != std::string::npos;  // WebVTT's header block
            for (std::size_t i = 0; i < in.size(); ++i) {
                // WebVTT copies its header and its NOTE, STYLE and REGION blocks as they are.
                copied_block = !in[i].empty() &&
                               (copied_block || (i > 0 && in[i - 1].empty() && in[i].compare(0, 4, "NOTE") == 0));
                if (copied_block) {
                    EXPECT_EQ(out[i], in[i]) << file.name;
                    continue;
                }
                const std::string before = ToUtf8(in[i], file.code_page);
                const std::string after = row.to_utf8 ? out[i] : ToUtf8(out[i], file.code_page);
                if (in[i].find("-->") != std::string::npos) {
                    continue;  // timing lines are printed anew
                }
                if (!HoldsRightToLeftLetter(before)) {
                    EXPECT_EQ(after, before) << file.name << " line " << i + 1;  // never changed
                    continue;
                }
                meant_lines.push_back(before);
                results.push_back(after);
            }
            const std::vector<std::string> meant =
                Shown(meant_lines, file.source == RtlSource::kCommunity ? kLtr : kRtl);
            for (ParagraphDirection family : row.families) {
                const std::vector<std::string> shown = Shown(results, family);
                Tally& tally = tallies[{file.code_page != CodePage::kDetect, family}];
                for (std::size_t i = 0; i < shown.size(); ++i) {
                    ++tally.lines;
                    tally.shown_right += shown[i] == meant[i];
                    if (shown[i] != meant[i] && std::getenv("KELVARO_SHOW_MISSES")) {
                        std::cout << row.name << " " << file.name << (family == kLtr ? " LTR" : " RTL")
                                  << "\n  line:   " << meant_lines[i] << "\n  meant:  " << meant[i]
                                  << "\n  result: " << results[i] << "\n  shown:  " << shown[i] << "\n";
                    }
                }
            }
            // A second run with the same options writes the same bytes.
            std::string written;
            for (const std::string& line : out) {
                written += line + "\n";
            }
            LineRewriter again(settings, SubtitleFormat::kDetect);
            const std::vector<std::string> twice = Rewrite(written, file.name, settings, &again);
            for (std::size_t i = 0; i < out.size() && i < twice.size(); ++i) {
                EXPECT_EQ(twice[i], out[i]) << row.name << " twice: " << file.name << " line " << i + 1;
            }
        }
        for (const auto& [key, tally] : tallies) {
            std::cout << row.name << ", " << (key.first ? "single-byte" : "UTF-8") << " files, laid out "
                      << (key.second == kLtr ? "left to right" : "right to left") << ": " << tally.shown_right << " of "
                      << tally.lines << " right-to-left lines show as meant\n";
            EXPECT_GE(tally.Share(), key.first ? row.single_byte_share : row.utf8_share) << row.name;
        }
    }
}

TEST(RightToLeftFix, ReadsEachFileInItsConventionAndCodePage) {
    for (const FixFile& file : Manifest()) {
        const std::string content = ReadWholeFile(DataFile(file.name));
        SyncSettings settings;
        settings.m_rtlFix = RtlFixMode::kLogical;
        settings.m_bToUtf8 = 1;
        LineRewriter rewriter(settings, SubtitleFormat::kDetect);
        ASSERT_TRUE(rewriter.Decide(content, file.name).ok()) << file.name;
        EXPECT_EQ(rewriter.DecidedRtlSource(), file.source) << file.name;
        EXPECT_EQ(rewriter.DecidedCodePage(), file.code_page) << file.name;
    }
}

}  // namespace
