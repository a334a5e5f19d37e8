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
#include "engine/rtl_preview.h"
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
        std::uint64_t not_left_to_right = 0;
        for (const FixFile& file : Manifest()) {
            const std::string content = ReadWholeFile(DataFile(file.name));
            SyncSettings settings;
            settings.m_rtlFix = row.mode;
            settings.m_bToUtf8 = row.to_utf8;
            LineRewriter rewriter(settings, SubtitleFormat::kDetect);
            const std::vector<std::string> out = Rewrite(content, file.name, settings, &rewriter);
            const std::vector<std::string> in = AllLines(content);
            not_left_to_right += rewriter.Fixer().LinesNotShowableLeftToRight();
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
        std::cout << row.name << ": " << not_left_to_right
                  << " lines left as they were, as no form without marks shows them right left to right\n";
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

namespace {

TEST(RightToLeftFix, PreviewShowsTheFirstLinesBeforeAndAfter) {
    SyncSettings settings;
    settings.m_rtlFix = RtlFixMode::kLogical;
    std::vector<RtlPreviewLine> lines;
    const std::string hebrew =
        "1\r\n00:00:01,000 --> 00:00:02,000\r\n.\xF9\xEC\xE5\xED\r\nHello.\r\n\r\n2\r\n"
        "00:00:03,000 --> 00:00:04,000\r\n?\xEE\xE4 \xF7\xE5\xF8\xE4\r\n";  // Windows-1255
    ASSERT_TRUE(PreviewRtlFix(settings, hebrew, "a.srt", 5, &lines).ok());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].before, ".שלום");
    EXPECT_EQ(lines[0].after, "שלום.");
    EXPECT_EQ(lines[1].after, "מה קורה?");
    ASSERT_TRUE(PreviewRtlFix(settings, hebrew, "a.srt", 1, &lines).ok());
    EXPECT_EQ(lines.size(), 1u);
    // A file whose lines do not tell their convention: the run's refusal.
    const Status refused =
        PreviewRtlFix(settings, "1\n0:00:01,000 --> 0:00:02,000\n.שלום\nשלום.\n", "b.srt", 5, &lines);
    EXPECT_NE(refused.message().find("1 of them have their punctuation at the start"), std::string::npos)
        << refused.message();
}

}  // namespace

namespace {

struct FixRow {
    RtlFixMode mode;
    RtlSource source;
    const char* line;
    const char* expected;  // nullptr: left as it is
};

TEST(RightToLeftFix, RewritesLinesOfEveryShape) {
    constexpr auto kAll = RtlFixMode::kAllPlayers;
    constexpr auto kLtr = RtlFixMode::kLtrPlayers;
    constexpr auto kLogical = RtlFixMode::kLogical;
    constexpr auto kCommunity = RtlSource::kCommunity;
    constexpr auto kInOrder = RtlSource::kLogical;
    const FixRow rows[] = {
        // Punctuation, dashes and brackets follow the display, not a list of characters to move.
        {kLogical, kCommunity, ".שלום, עולם", "שלום, עולם."},
        {kLogical, kCommunity, "?איפה היית -", "- איפה היית?"},
        {kLtr, kInOrder, "- איפה היית?", "?איפה היית -"},
        {kAll, kCommunity, ".שלום", "\u202Bשלום.\u202C"},
        // Arabic's question mark and semicolon are letters: never moved.
        {kLogical, kCommunity, "هل أنت بخير؟", nullptr},
        {kLtr, kInOrder, "هل أنت بخير؟", nullptr},
        // Tags and brace blocks stay outside the marks; the marks and entities a line had go.
        {kAll, kCommunity, "{\\an8}<i>.שלום</i>", "{\\an8}<i>\u202Bשלום.\u202C</i>"},
        {kAll, kInOrder, "&rlm;שלום &amp; תודה.", "\u202Bשלום &amp; תודה.\u202C"},
        {kLogical, kInOrder, "\u200Fשלום.\u200F", "שלום."},
        // A line already marked as logical is read so, whatever the file's convention: a second run changes nothing.
        {kAll, kCommunity, "\u202Bשלום.\u202C", nullptr},
        {kLogical, kCommunity, "\u200Fשלום.", "שלום."},
        // No form without marks starts with a number when laid out left to right: left as it is.
        {kLtr, kInOrder, "10 דקות.", nullptr},
        // Persian's zero-width non-joiner belongs to its word; a tab cuts a line into parts laid out apart: left.
        {kLogical, kCommunity, ".می‌خواهم بروم", "می‌خواهم بروم."},
        {kLogical, kCommunity, ".שלום\tעולם", nullptr},
        // MicroDVD parts are lines of their own.
        {kLogical, kCommunity, "{1}{25}.שלום|?מה", "{1}{25}שלום.|מה?"},
        // Lines without a right-to-left letter never change.
        {kAll, kCommunity, ".Hello", nullptr},
        {kAll, kInOrder, "&rlm;Hello, world.", nullptr},
        // Single-byte lines get RLM, which Windows-1255 holds, instead of RLE and PDF.
        {kAll, kInOrder, "\xF9\xEC\xE5\xED.", "\xFE\xF9\xEC\xE5\xED.\xFE"},
        {kLogical, kCommunity, ".\xF9\xEC\xE5\xED", "\xF9\xEC\xE5\xED."},
    };
    for (const FixRow& row : rows) {
        RtlFixer fixer;
        fixer.Configure(row.mode, row.source, CodePage::kWindows1255);
        const std::string fixed(fixer.Fix(row.line));
        EXPECT_EQ(fixed, row.expected ? row.expected : row.line) << RtlFixModeName(row.mode) << ": " << row.line;
        RtlFixer again;
        again.Configure(row.mode, RtlSource::kLogical, CodePage::kWindows1255);
        if (row.mode != kLtr) {
            EXPECT_EQ(again.Fix(fixed), fixed) << "twice: " << row.line;
        }
    }
}

}  // namespace
