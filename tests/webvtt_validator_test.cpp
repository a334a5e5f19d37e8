#include "tests/webvtt_validator.h"

#include <gtest/gtest.h>

namespace {

TEST(WebVttValidator, AcceptsValidFilesAndNamesTheLineOfTheFirstFault) {
    const struct {
        const char* name;
        std::string file;
        int bad_line;  // 0: valid
    } cases[] = {
        {"header only", "WEBVTT\n", 0},
        {"every block kind, mark, title, CR line ends",
         "\xEF\xBB\xBFWEBVTT\tx\rKind: captions\r\rNOTE one\rtwo\r\rSTYLE\r::cue(.yellow) { color: yellow; }\r\r"
         "REGION\rid:r\r\rid 1\r00:00:01.000 --> 00:00:02.000 align:start position:10% line:0 size:50% region:r\r"
         "<v Ann>Hi <00:00:01.500>there</v> a < b\r\r\rNOTE\r\r2\r00:02.000 --> 100:00:00.000 line:-1,end\r\nx",
         0},
        {"missing header", "\n00:01.000 --> 00:02.000\nHi\n", 1},
        {"WEBVTT glued to text", "WEBVTTX\n", 1},
        {"no blank line after the header", "WEBVTT\n00:01.000 --> 00:02.000\nHi\n", 2},
        {"comma separator", "WEBVTT\n\n1\n00:00:01,000 --> 00:00:02,000\nHi\n", 4},
        {"one-digit hours", "WEBVTT\n\n0:00:01.000 --> 0:00:02.000\nHi\n", 3},
        {"60 minutes", "WEBVTT\n\n00:60:00.000 --> 01:01:00.000\n", 3},
        {"60 seconds, short form", "WEBVTT\n\n00:60.000 --> 01:01.000\n", 3},
        {"two fraction digits", "WEBVTT\n\n00:01.50 --> 00:02.000\n", 3},
        {"no blank before the arrow", "WEBVTT\n\n00:01.000--> 00:02.000\n", 3},
        {"text glued after the end time", "WEBVTT\n\n00:01.000 --> 00:02.000Hi\n", 3},
        {"unknown setting", "WEBVTT\n\n00:01.000 --> 00:02.000 X1:10\n", 3},
        {"--> in the payload", "WEBVTT\n\n00:01.000 --> 00:02.000\nLook --> there\n", 4},
        {"missing blank line between cues", "WEBVTT\n\n00:01.000 --> 00:02.000\nA\n00:03.000 --> 00:04.000\nB\n", 5},
        {"STYLE after a cue", "WEBVTT\n\n00:01.000 --> 00:02.000\nA\n\nSTYLE\n::cue { color: red; }\n", 6},
        {"--> in a NOTE", "WEBVTT\n\nNOTE a\nb --> c\n", 4},
        {"an unknown block", "WEBVTT\n\nHello\nWorld\n", 3},
        {"end equal to start", "WEBVTT\n\n00:00.000 --> 00:00.000\n", 3},
        {"cues out of order", "WEBVTT\n\n00:05.000 --> 00:06.000\nA\n\n00:01.000 --> 00:02.000\nB\n", 6},
        {"timestamp tag with a comma", "WEBVTT\n\n00:01.000 --> 00:05.000\nA <00:00:02,000>B\n", 4},
        {"timestamp tag after the end", "WEBVTT\n\n00:01.000 --> 00:05.000\nA <00:06.000>B\n", 4},
        {"timestamp tags falling", "WEBVTT\n\n00:01.000 --> 00:05.000\n<00:03.000>A\n<00:02.000>B\n", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_EQ(ValidateWebVtt(c.file, &error), c.bad_line == 0) << error;
        EXPECT_EQ(error.rfind("line " + std::to_string(c.bad_line) + ": ", 0), c.bad_line == 0 ? std::string::npos : 0u)
            << error;
    }
}

}  // namespace
