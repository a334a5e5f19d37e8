#include "ui/subtitle_file.h"

#include <gtest/gtest.h>

namespace {

TEST(FileExtension, IsWhatFollowsTheLastDotOfTheName) {
    const struct {
        const char* path;
        const char* extension;
    } cases[] = {
        {"C:\\subs\\film.srt", "srt"}, {"film.SRT", "SRT"},        {"C:\\subs\\film.part1.sub", "sub"},
        {"C:\\sub.folder\\film", ""},  {"C:/sub.folder/film", ""}, {"C:\\subs\\film.", ""},
        {"C:\\subs\\.srt", "srt"},     {"D:film.srt", "srt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileExtension(c.path), c.extension) << c.path;
    }
}

TEST(IsSubtitleExtension, SrtAndSubInAnyCase) {
    for (const char* yes : {"srt", "SRT", "Srt", "sub", "SUB", "sUb"}) {
        EXPECT_TRUE(IsSubtitleExtension(yes)) << yes;
    }
    for (const char* no : {"", "txt", "sr", "srtx", "srt ", ".srt", "ssa"}) {
        EXPECT_FALSE(IsSubtitleExtension(no)) << no;
    }
}

}  // namespace
