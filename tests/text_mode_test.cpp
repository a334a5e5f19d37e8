#include "platform/text_mode.h"

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

using namespace std::string_literals;

// Every line the reader yields, each followed by '|' so that empty lines show.
std::string ReadAll(const std::string& raw, std::size_t block_size, std::size_t chunk) {
    MemoryReadableFile file(raw, chunk);
    TextLineReader reader(file, block_size);
    std::string lines;
    std::string_view line;
    while (reader.ReadLine(&line)) {
        lines.append(line).push_back('|');
    }
    EXPECT_TRUE(reader.status().ok());
    return lines;
}

TEST(TextLineReader, TextModeRulesHoldAtEveryBlockBoundary) {
    const struct {
        const char* name;
        std::string raw;
        std::string lines;
    } cases[] = {
        {"empty", "", ""},
        {"crlf", "1\r\n2\r\n", "1|2|"},
        {"lf", "1\n2\n", "1|2|"},
        {"no final terminator", "1\r\nlast", "1|last|"},
        {"blank lines", "\r\n\n\r\n", "|||"},
        {"lone cr stays", "a\rb\r\nc\r", "a\rb|c\r|"},
        {"cr cr lf", "a\r\r\n", "a\r|"},
        {"ctrl-z ends the input", "1\r\n2\x1A" "3\r\n", "1|2|"},
        {"ctrl-z first", "\x1A" "abc", ""},
        {"nul is a byte", "a\0b\r\n"s, "a\0b|"s},
        {"long line", std::string(1000, 'x') + "\r\ny", std::string(1000, 'x') + "|y|"},
    };
    for (const auto& c : cases) {
        for (const std::size_t block : {4, 5, 7, 64, 4096}) {
            for (const std::size_t chunk : {1, 3, 4096}) {
                SCOPED_TRACE(std::string(c.name) + " block " + std::to_string(block) + " chunk " +
                             std::to_string(chunk));
                EXPECT_EQ(ReadAll(c.raw, block, chunk), c.lines);
            }
        }
    }
}

TEST(TextLineReader, HeadSeesTheFirstBytesEvenFromATrickle) {
    MemoryReadableFile file("\xEF\xBB\xBF" "1\r\n", 1);
    TextLineReader reader(file, 64);
    ASSERT_TRUE(reader.Begin().ok());
    EXPECT_EQ(reader.Head(), "\xEF\xBB\xBF" "1");
    reader.Skip(3);
    std::string_view line;
    ASSERT_TRUE(reader.ReadLine(&line));
    EXPECT_EQ(line, "1");
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
        EXPECT_EQ(file.content, "\xEF\xBB\xBF" "1\r\n\r\na longer line than the block\r\n");
    }
}

TEST(TextMode, WholeStringFormsFollowTheSameRules) {
    EXPECT_EQ(DecodeText("a\r\nb\rc\x1A" "d"), "a\nb\rc");
    EXPECT_EQ(EncodeText("a\nb\r"), "a\r\nb\r");
}

}  // namespace
