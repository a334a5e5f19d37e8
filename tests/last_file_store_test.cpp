#include "store/last_file_store.h"

#include <gtest/gtest.h>

#include "platform/current_directory.h"
#include "tests/test_support.h"

namespace {

TEST(LastFileStore, MissingStoreLoadsEmpty) {
    TempDir dir;
    EXPECT_EQ(LoadLastFile(dir.path()), "");
    EXPECT_EQ(LoadLastFile(dir.File("no-such-directory")), "");
}

TEST(LastFileStore, SaveThenLoadGivesThePathBack) {
    TempDir dir;
    for (const std::string& path : {std::string("C:\\subs\\film.srt"), std::string(256, 'p'), std::string("x")}) {
        SaveLastFile(dir.path(), path);
        EXPECT_EQ(LoadLastFile(dir.path()), path);
    }
    EXPECT_EQ(dir.List(), std::vector<std::string>{"kv.ini"});
    EXPECT_EQ(ReadWholeFile(dir.File("kv.ini")), "x");  // the bytes of the path and nothing else
}

TEST(LastFileStore, LoadReadsTextModeUpTo256Bytes) {
    TempDir dir;
    const struct {
        const char* name;
        std::string stored;
        std::string loaded;
    } cases[] = {
        {"exact bytes", "C:\\subs\\film.srt", "C:\\subs\\film.srt"},
        {"line end kept as LF", "C:\\subs\\film.srt\r\n", "C:\\subs\\film.srt\n"},
        {"cut at 256", std::string(300, 'a'), std::string(256, 'a')},
        {"cut after text mode", std::string(200, 'a') + std::string(200, '\n'),
         std::string(200, 'a') + std::string(56, '\n')},
        {"up to NUL", std::string("ab\0cd", 5), "ab"},
        {"ctrl-z ends", "ab\x1A" "cd", "ab"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteWholeFile(dir.File("kv.ini"), c.stored);
        EXPECT_EQ(LoadLastFile(dir.path()), c.loaded);
    }
}

TEST(LastFileStore, SavedLineEndsBecomeCrLf) {
    TempDir dir;
    SaveLastFile(dir.path(), "a\nb");
    EXPECT_EQ(ReadWholeFile(dir.File("kv.ini")), "a\r\nb");
}

TEST(LastFileStore, SaveIntoAMissingDirectoryIsSilent) {
    TempDir dir;
    SaveLastFile(dir.File("gone"), "film.srt");
    EXPECT_EQ(dir.List(), std::vector<std::string>{});
}

}  // namespace
