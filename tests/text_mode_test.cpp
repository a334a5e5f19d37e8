#include "platform/text_mode.h"

#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/byte_search.h"
#include "tests/test_support.h"

namespace {

using namespace std::string_literals;

// Lines of earlier blocks may go out before a refusal, none of the block that shows the fault: with the whole input
// in one block and one read, nothing at all.
TEST(TextLineReader, TextModeRulesAndRefusalsHoldAtEveryBlockBoundary) {
    const std::string binary = "it looks like a binary file or UTF-16 text without a byte-order mark";
    const auto lost = [](const char* count) {
        return "it holds an end-of-file mark (Ctrl-Z) with "s + count + " of text after it, which would be lost";
    };
    const struct {
        const char* name;
        std::string raw;
        std::string lines;   // each followed by '|'; after a refusal, the most that may be handed out
        std::string reason;  // of the refusal; empty for none
    } cases[] = {
        {"empty", "", "", ""},
        {"crlf and lf", "1\r\n2\n", "1|2|", ""},
        {"no final terminator", "1\r\nlast", "1|last|", ""},
        {"blank lines", "\r\n\n\r\n", "|||", ""},
        {"a lone cr ends a line", "a\rb\r\nc\r", "a|b|c|", ""},
        {"cr only", "1\r2\r\r3", "1|2||3|", ""},
        {"cr cr lf is one line end", "a\r\r\nb\r\r\n", "a|b|", ""},
        {"mixed", "1\r\n2\r3\n\r\r\r\n4\r\r", "1|2|3|||4||", ""},
        {"cr before ctrl-z", "1\r\x1A", "1|", ""},
        {"ctrl-z ends the input", "1\r\n2\x1A\r\n\x1A\n\r", "1|2|", ""},
        {"ctrl-z first", "\x1A\x1A", "", ""},
        {"long line", std::string(1000, 'x') + "\r\ny", std::string(1000, 'x') + "|y|", ""},
        {"nul", "1\r\n2\r\na\0b\r\n"s, "1|2|", binary},
        {"nul first", "\0"s, "", binary},
        {"utf-16 without a mark", "1\0\r\0\n\0"s, "", binary},
        {"nul after ctrl-z", "1\r\n\x1A\r\n\0"s, "1|", binary},
        {"text after ctrl-z", "1\r\n2\x1Ax\r\n", "1|2|", lost("1 byte")},
        {"text after marks and line ends", "1\r\n\x1A\r\n\x1A\x1A x\n", "1|", lost("2 bytes")},
        {"long tail", "\x1A" + std::string(1000, 'x'), "", lost("1000 bytes")},
    };
    for (const auto& c : cases) {
        for (const std::size_t block : {4, 5, 7, 64, 4096}) {
            for (const std::size_t chunk : {1, 3, 4096}) {
                SCOPED_TRACE(c.name + " block "s + std::to_string(block) + " chunk " + std::to_string(chunk));
                MemoryReadableFile file(c.raw, chunk);
                TextLineReader reader(file, "in", block);
                reader.Begin().IgnoreError();  // a refusal stays in status(); lines are read on, as a run does
                std::string lines;
                for (std::string_view line; reader.ReadLine(&line);) {
                    lines.append(line).push_back('|');
                }
                if (c.reason.empty()) {
                    EXPECT_EQ(lines, c.lines);
                    EXPECT_TRUE(reader.status().ok()) << reader.status().message();
                    continue;
                }
                EXPECT_EQ(reader.status().code(), Status::Code::kUnsupported);
                EXPECT_EQ(reader.status().message(), "Cannot synchronize in: " + c.reason);
                EXPECT_EQ(c.lines.compare(0, lines.size(), lines), 0) << lines;
                EXPECT_TRUE(lines.empty() || std::min(block, chunk) < c.raw.size()) << lines;
            }
        }
    }
}

TEST(TextLineReader, HeadSeesTheFirstBytesEvenFromATrickle) {
    MemoryReadableFile file(
        "\xEF\xBB\xBF"
        "1\r\n",
        1);
    TextLineReader reader(file, "in", 64);
    ASSERT_TRUE(reader.Begin().ok());
    EXPECT_EQ(reader.Head(),
              "\xEF\xBB\xBF"
              "1");
    reader.Skip(3);
    std::string_view line;
    ASSERT_TRUE(reader.ReadLine(&line));
    EXPECT_EQ(line, "1");
}

// Whole lines said to end in CR LF go out as they are: the claim must hold at every block and read boundary, and be
// made for a file that has only CR LF.
TEST(TextLineReader, TellsWhenEveryLineEndIsCrLf) {
    const struct {
        const char* raw;
        bool all_cr_lf;  // what one block read in one piece tells
    } cases[] = {
        {"1\r\n00:00:01,000 --> 00:00:02,000\r\nText\r\n\r\n", true},
        {"1\r\nText\n", false},
        {"\nText\r\n", false},
        {"Text\r\r\nmore\r\n", false},
        {"Text\rmore\r\n", false},
        {"Text\r\nlast\r", false},
    };
    for (const auto& c : cases) {
        for (const std::size_t block : {4, 5, 7, 4096}) {
            for (const std::size_t chunk : {1, 3, 4096}) {
                SCOPED_TRACE(std::string(c.raw) + " block " + std::to_string(block) + " chunk " +
                             std::to_string(chunk));
                MemoryReadableFile file(c.raw, chunk);
                TextLineReader reader(file, "in", block);
                ASSERT_TRUE(reader.Begin().ok());
                for (std::string_view line; reader.status().ok();) {
                    const bool all_cr_lf = reader.LineEndsAreCrLf();
                    const std::string_view lines = reader.TakeWholeLines();
                    if (block == 4096 && chunk == 4096) {
                        EXPECT_EQ(all_cr_lf, c.all_cr_lf);
                    }
                    for (std::size_t i = 0; all_cr_lf && i < lines.size(); ++i) {
                        EXPECT_TRUE(lines[i] != '\n' || (i > 0 && lines[i - 1] == '\r')) << lines;
                    }
                    if (lines.empty() && !reader.ReadLine(&line)) {
                        break;
                    }
                }
            }
        }
    }
}

TEST(FindByte, FindsWhatMemchrFinds) {
    std::string text(100, 'a');
    for (std::size_t size = 0; size <= text.size(); size += size < 40 ? 1 : 13) {
        for (std::size_t at = 0; at <= size; ++at) {  // `at` == size: not there
            std::string copy = text.substr(0, size) + '>';
            if (at < size) {
                copy[at] = '>';
                copy[size - 1 - (size - 1 - at) / 2] = '>';  // a later one, which must not be taken
            }
            const char* begin = copy.data();
            const auto* expected = static_cast<const char*>(std::memchr(begin, '>', size));
            ASSERT_EQ(FindByteInVectors(begin, begin + size, '>'), expected) << size << " " << at;
            ASSERT_EQ(FindByte(begin, begin + size, '>'), expected) << size << " " << at;
        }
    }
}

TEST(TextLineWriter, EndsEveryLineWithCrLfAcrossBlocks) {
    for (const std::size_t block : {2, 3, 8, 4096}) {
        SCOPED_TRACE(block);
        MemoryWritableFile file;
        TextLineWriter writer(file, block);
        ASSERT_TRUE(writer.WriteRaw("\xEF\xBB\xBF"));
        for (const char* line : {"1", "", "a longer line than the block"}) {
            ASSERT_TRUE(writer.WriteLine(line));
        }
        ASSERT_TRUE(writer.Flush());
        EXPECT_EQ(file.content,
                  "\xEF\xBB\xBF"
                  "1\r\n\r\na longer line than the block\r\n");
    }
}

TEST(TextMode, WholeStringFormsFollowTheSameRules) {
    EXPECT_EQ(DecodeText("a\r\nb\rc\x1A"
                         "d"),
              "a\nb\rc");
    EXPECT_EQ(EncodeText("a\nb\r"), "a\r\nb\r");
}

}  // namespace
