// Big files are rewritten two parts of a block at a time: whatever the file holds, the result and everything counted
// must be what one rewriter fed every line writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/block_rewriter.h"
#include "engine/rewrite_stream.h"
#include "tests/line_by_line.h"
#include "tests/memory_files.h"

namespace {

enum class Shape { kSubRip, kWebVtt, kWithFrameLines, kNoEmptyLines };

struct FileRecipe {
    Shape shape = Shape::kSubRip;
    const char* line_end = "\r\n";  // "mixed": each line ends in LF, CR LF or (rarely) a CR alone
    // Numbers with zeros, blanks or a vertical tab, short and unreadable times, two empty lines.
    bool odd_lines = false;
    bool huge_line = false;         // one text line longer than a block
    std::uint32_t first_ms = 0;     // where the cues start
    bool bare_short_times = false;  // cues of a short timing line alone, which come out almost twice as long
};

// A made-up subtitle of 6,000 cues, about half a megabyte: several blocks, with cues across their ends.
std::string MakeFile(const FileRecipe& recipe) {
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % below;
    };
    const std::string mixed_ends[] = {"\r\n", "\n", "\r\n", "\r"};
    const auto end = [&]() { return std::string(recipe.line_end) == "mixed" ? mixed_ends[next(4)] : recipe.line_end; };
    const auto clock = [](std::uint32_t ms, char separator) {
        char text[32];
        std::snprintf(text, sizeof text, "%02u:%02u:%02u%c%03u", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                      separator, ms % 1000);
        return std::string(text);
    };
    const char* const texts[] = {
        "Where were you <i>last night</i>?",
        "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D (\xD7\xA2\xD7\x95\xD7\x93) 25 \xD7\x93\xD7\xA7\xD7\x95\xD7\xAA!",
        "- \xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 OK, 3.5 \xD9\x83\xD9\x8A\xD9\x84\xD9\x88?",
        "{\\an8}Top of the screen",
        "Not a cue number: 42 apples",
    };
    const bool vtt = recipe.shape == Shape::kWebVtt;
    std::string file = vtt ? "WEBVTT" + end() + end() : "";
    if (recipe.bare_short_times) {
        for (int cue = 0; cue < 20000; ++cue) {
            file += "0:0:" + std::to_string(cue % 10) + " --> 0:0:9" + end() + end();
        }
        return file;
    }
    std::uint32_t ms = recipe.first_ms;
    for (int cue = 1; cue <= 6000; ++cue) {
        if (vtt && next(50) == 0) {
            file += "NOTE a remark <00:00:01.000> --> 00:00:02.000" + end() + end();
        }
        if (recipe.shape == Shape::kWithFrameLines && cue < 1500 && next(40) == 0) {
            file += "{" + std::to_string(ms / 40) + "}{" + std::to_string(ms / 40 + 50) + "}Frames|too" + end();
        }
        const std::uint32_t odd = recipe.odd_lines ? next(12) : 99;
        if (vtt) {
            file += (next(3) == 0 ? "id-" : "") + std::to_string(cue) + end();
        } else if (odd == 0) {
            file += " 0" + std::to_string(cue) + " " + end();
        } else if (odd == 5) {
            file += "\x0B" + std::to_string(cue) + end();  // a vertical tab right after a line end
        } else if (odd != 1) {
            file += std::to_string(cue) + end();
        }
        const char separator = vtt ? '.' : ',';
        const std::string start = clock(ms, separator);
        const std::string stop = clock(ms + 1500 + next(3000), separator);
        if (odd == 2) {
            file += "0:0:" + std::to_string(ms / 1000 % 60) + " --> " + stop + end();
        } else if (odd == 3) {
            file += "--> what comes next" + end();
        } else {
            file += start + " --> " + stop + (vtt && next(4) == 0 ? " line:10% align:start" : "") + end();
        }
        for (std::uint32_t line = 0, lines = 1 + next(3); line < lines; ++line) {
            file += texts[next(5)];
            file += vtt && next(5) == 0 ? " <" + clock(ms + 700, '.') + ">and later" : "";
            file += end();
        }
        if (recipe.huge_line && cue == 2500) {
            file += std::string(300 * 1024, 'x') + end();
        }
        if (recipe.shape != Shape::kNoEmptyLines) {
            file += end() + (odd == 4 ? end() : "");
        }
        ms += 4000 + next(2000);
    }
    return file;
}

std::string SpanText(const CueSpans& spans) {
    std::string text = std::to_string(spans.found);
    for (const CueSpan& span : {spans.first_before, spans.first_after, spans.last_before, spans.last_after}) {
        text += " " + std::to_string(span.start) + "-" + std::to_string(span.end);
    }
    return text;
}

struct PartsCase {
    const char* name;
    FileRecipe file;
    void (*adjust)(SyncSettings*);
    std::size_t piece = static_cast<std::size_t>(-1);  // bytes a read brings
};

void Add(SyncSettings* s) {
    s->m_nSeconds = 2;
    s->m_nMilliseconds = 500;
    s->m_nDirection = 0;
}
void ReduceAndLowerNumbers(SyncSettings* s) {
    s->m_nSeconds = 30;
    s->m_nReduceNumber = 7;
}
void Window(SyncSettings* s) {
    Add(s);
    s->m_bBetweenTimes = 1;
    s->m_timeFrom = WindowTime(0, 20, 0);
    s->m_timeTo = WindowTime(1, 40, 0);
}
void Cuts(SyncSettings* s) {
    Add(s);
    s->m_cuts = {{600000, TimeTransform::Shift(-4000)}, {4000000, TimeTransform::Shift(9000)}};
}
void Reduce(SyncSettings* s) {
    s->m_nSeconds = 30;
}
void SwitchAlone(SyncSettings* s) {
    s->m_bSwitchOrientation = 1;
}
void Switch(SyncSettings* s) {
    Add(s);
    SwitchAlone(s);
}
void FramesAt25(SyncSettings* s) {
    Add(s);
    s->m_fps = FrameRate{25, 1};
}

TEST(BlockRewriter, PartsWriteAndCountWhatOneRewriterDoes) {
    const std::uint32_t kNearLargest = 4294000000u;  // the last cues go past the largest time when moved
    const std::uint32_t k99Hours = 356400000u;       // hours of three digits from the 900th cue on
    const PartsCase cases[] = {
        {"SubRip, CR LF, add", {}, Add},
        {"SubRip, LF, odd lines, reduce: numbers lowered, early times set to zero",
         {Shape::kSubRip, "\n", true},
         ReduceAndLowerNumbers,
         70000},
        {"SubRip, mixed line ends, odd lines, a window", {Shape::kSubRip, "mixed", true}, Window},
        {"SubRip, cut into pieces", {Shape::kSubRip, "\r\n", true}, Cuts},
        {"SubRip, switch, Hebrew and Arabic", {Shape::kSubRip, "\r\n", true}, Switch, 70000},
        {"SubRip with MicroDVD frame lines", {Shape::kWithFrameLines}, FramesAt25},
        {"WebVTT, add, inline timestamps and NOTE blocks", {Shape::kWebVtt, "\n"}, Add},
        {"WebVTT, switch", {Shape::kWebVtt, "\r\n"}, Switch, 70000},
        {"WebVTT, cut into pieces", {Shape::kWebVtt, "\n"}, Cuts},
        {"SubRip, a line longer than a block", {Shape::kSubRip, "\r\n", false, true}, Add},
        {"SubRip, no empty lines", {Shape::kNoEmptyLines}, Add},
        {"SubRip, reads of 70,000 bytes", {Shape::kSubRip, "mixed", true}, Add, 70000},
        {"SubRip, reads of 20,000 bytes: blocks too small to cut", {}, Add, 20000},
        {"SubRip, times moved past the largest", {Shape::kSubRip, "\r\n", false, false, kNearLargest}, Add},
        {"SubRip, times moved to 100 hours and more", {Shape::kSubRip, "\r\n", false, false, k99Hours}, Add},
        {"SubRip, reduce alone: early times set to zero", {Shape::kSubRip, "\n"}, Reduce},
        {"SubRip, the switch alone: no time moves", {Shape::kSubRip, "\r\n", true}, SwitchAlone, 70000},
        {"SubRip, short times alone: a part comes out longer than a block",
         {Shape::kSubRip, "\n", false, false, 0, true},
         Add},
    };
    for (const PartsCase& c : cases) {
        SCOPED_TRACE(c.name);
        SyncSettings settings;
        c.adjust(&settings);
        const std::string input = MakeFile(c.file);
        const SubtitleFormat format =
            c.file.shape == Shape::kWebVtt ? SubtitleFormat::kWebVtt : SubtitleFormat::kDetect;

        LineRewriter in_parts(settings, format);
        MemoryReadableFile file(input, c.piece);
        MemoryWritableFile output;
        ASSERT_TRUE(RewriteStream(file, "f.srt", output, in_parts).ok());
        LineRewriter alone(settings, format);
        ASSERT_TRUE(alone.Decide(input, "f.srt").ok());
        const std::string expected = RewriteLineByLine(input, alone);

        EXPECT_TRUE(output.content == expected)
            << "first difference at byte "
            << std::mismatch(expected.begin(), expected.end(), output.content.begin(), output.content.end()).first -
                   expected.begin();
        EXPECT_EQ(RewriteNotes(settings, in_parts), RewriteNotes(settings, alone));
        EXPECT_EQ(in_parts.MovedTimes(), alone.MovedTimes());
        EXPECT_EQ(in_parts.TimesOutsideWindow(), alone.TimesOutsideWindow());
        EXPECT_EQ(in_parts.TimingLines(), alone.TimingLines());
        EXPECT_EQ(SpanText(in_parts.Spans()), SpanText(alone.Spans()));
    }
}

TEST(BlockRewriter, CutsRightAfterEmptyLines) {
    constexpr std::size_t kNone = std::string_view::npos;
    const struct {
        const char* lines;
        std::size_t from, second, rest;  // kNone: no cut
    } cases[] = {
        {"1\r\n00:00:01,000 --> 00:00:02,000\r\nA\r\n\r\n2\r\nB\r\n\r\n3\r\n", 0, 39, 47},
        {"1\nA\n\n2\nB\n\n3\nC\n\n4\n", 0, 5, 15},
        {"1\nA\n\n2\nB\n\n3\nC\n\n4\n", 7, 10, 15},  // the first part ends after `from`
        {"1\nA\n\n2\nB\n\n", 0, 5, 10},              // nothing after the last empty line
        {"\n\nA\n\nB\n", 0, 2, 5},                   // empty lines at the start
        {" \n\t\nA\n\r\nB\n\r\n", 0, 8, 12},         // blanks are not empty
        {"1\nA\n\n2\nB\n", 0, kNone, kNone},         // one empty line: nothing between two cuts
        {"1\nA\n2\nB\n", 0, kNone, kNone},           // none at all
    };
    for (const auto& c : cases) {
        std::size_t second = 0;
        std::size_t rest = 0;
        const bool cut = FindPartCut(c.lines, c.from, &second, &rest);
        EXPECT_EQ(cut, c.second != kNone) << c.lines;
        if (cut) {
            EXPECT_EQ(second, c.second) << c.lines;
            EXPECT_EQ(rest, c.rest) << c.lines;
        }
    }
}

// Writes until `limit` bytes, then fails.
class FailingFile : public WritableFile {
  public:
    explicit FailingFile(std::size_t limit) : m_limit(limit) {}
    Status Append(const char*, std::size_t size) override {
        m_written += size;
        return m_written <= m_limit ? Status::OK() : Status::Error(Status::Code::kNoSpace, "Cannot write f.srt: full");
    }
    Status Sync() override { return Status::OK(); }
    Status Close() override { return Status::OK(); }

  private:
    std::size_t m_limit;
    std::size_t m_written = 0;
};

TEST(BlockRewriter, AFailedWriteWhileAPartIsRewrittenIsReported) {
    const std::string input = MakeFile({});
    SyncSettings settings;
    Add(&settings);
    for (const std::size_t limit : {std::size_t{0}, std::size_t{300000}, input.size() - 1000}) {
        LineRewriter rewriter(settings);
        MemoryReadableFile file(input);
        FailingFile output(limit);
        EXPECT_EQ(RewriteStream(file, "f.srt", output, rewriter).message(), "Cannot write f.srt: full") << limit;
    }
}

}  // namespace
