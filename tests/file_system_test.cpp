// The contract both file system backends keep, run natively and under Wine: the same codes and wording for the same
// faults, exclusive creation and held files that no other run can take, renames that replace only when asked to, and
// held files that stay the same file, still readable, under their new name.
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr bool kSymbolicLinks = false;  // Windows only lets administrators make them
#else
constexpr bool kSymbolicLinks = true;
#endif

FileSystem& Fs() {
    return FileSystem::Default();
}

std::unique_ptr<WritableFile> CreateWith(const std::string& path, const std::string& content) {
    std::unique_ptr<WritableFile> file;
    EXPECT_TRUE(Fs().CreateNew(path, &file).ok()) << path;
    if (file) {
        EXPECT_TRUE(file->Append(content.data(), content.size()).ok()) << path;
    }
    return file;
}

// Everything `file` has left to give.
std::string ReadRest(ReadableFile& file) {
    std::string content;
    char buffer[64];
    std::size_t got = 0;
    while (file.Read(buffer, sizeof buffer, &got).ok() && got > 0) {
        content.append(buffer, got);
    }
    return content;
}

// A name in `directory` of exactly the longest length that one name may have (the whole path has no limit short of
// the system's own, long paths included on Windows); `extra` characters more.
std::string LongestName(const TempDir& directory, std::size_t extra) {
    return directory.File(std::string(255 - 4 + extra, 'n') + ".srt");
}

TEST(FileSystem, FaultsHaveOneCodeAndWordingOnEverySystemAndTouchNothing) {
    TempDir dir;
    const std::string film = dir.File("film.srt");
    const std::string folder = dir.File("folder");
    const std::string held = dir.File("held.srt");
    const std::string writing = dir.File("writing.srt");
    const std::string missing = dir.File("missing.srt");
    const std::string link = dir.File("link.srt");
    const std::string dangling = dir.File("dangling.srt");
    WriteWholeFile(film, "1\r\nkept\r\n");
    WriteWholeFile(held, "held");
    fs::create_directory(folder);
    if (kSymbolicLinks) {
        fs::create_symlink("film.srt", link);
        fs::create_symlink("missing.srt", dangling);
    }
    std::unique_ptr<ReadableFile> held_file;
    ASSERT_TRUE(Fs().OpenForReading(held, &held_file).ok());
    std::unique_ptr<WritableFile> writing_file = CreateWith(writing, "partial");
    const auto before = dir.List();

    std::unique_ptr<ReadableFile> reader;
    std::unique_ptr<WritableFile> writer;
    const auto open = [&](const std::string& path) { return [&, path] { return Fs().OpenForReading(path, &reader); }; };
    const auto create = [&](const std::string& path) { return [&, path] { return Fs().CreateNew(path, &writer); }; };
    const std::string exists = ": a file of that name already exists";
    const std::string in_use = ": it is being used by another program";
    const std::string not_found = ": No such file or directory";
    const std::string too_long = ": the name is too long for this system";
    const struct {
        const char* what;
        bool needs_links;
        std::function<Status()> operation;
        Status::Code code;
        std::string message;
    } cases[] = {
        {"open a missing file", false, open(missing), Status::Code::kNotFound, "Cannot open " + missing + not_found},
        {"open a directory", false, open(folder), Status::Code::kNotRegularFile,
         "Cannot open " + folder + ": it is not a regular file"},
        {"open a held file", false, open(held), Status::Code::kInUse, "Cannot open " + held + in_use},
        {"open a file being written", false, open(writing), Status::Code::kInUse, "Cannot open " + writing + in_use},
        {"create over a file", false, create(film), Status::Code::kExists, "Cannot create " + film + exists},
        {"create over a directory", false, create(folder), Status::Code::kExists, "Cannot create " + folder + exists},
        {"create over a held file", false, create(held), Status::Code::kExists, "Cannot create " + held + exists},
        {"create over a link", true, create(link), Status::Code::kExists, "Cannot create " + link + exists},
        {"create over a dangling link", true, create(dangling), Status::Code::kExists,
         "Cannot create " + dangling + exists},
        {"create in a missing folder", false, create(dir.File("none/film.srt")), Status::Code::kNotFound,
         "Cannot create " + dir.File("none/film.srt") + not_found},
        {"remove a missing file", false, [&] { return Fs().Remove(missing); }, Status::Code::kNotFound,
         "Cannot remove " + missing + not_found},
        {"remove a directory", false, [&] { return Fs().Remove(folder); }, Status::Code::kIoError,
         "Cannot remove " + folder + ": Is a directory"},
        {"identify a missing file", false,
         [&] {
             FileIdentity id;
             return Fs().Identify(missing, &id);
         },
         Status::Code::kNotFound, "Cannot open " + missing + not_found},
        {"flush the folder of a file", false, [&] { return Fs().SyncDirectory(film); }, Status::Code::kOk, ""},
        {"flush the current folder", false, [&] { return Fs().SyncDirectory("film.srt"); }, Status::Code::kOk, ""},
#ifndef _WIN32
        {"flush a missing folder", false, [&] { return Fs().SyncDirectory(dir.File("none/film.srt")); },
         Status::Code::kNotFound, "Cannot flush " + dir.File("none") + not_found},
#endif
        {"use the longest name", false, [&] { return Fs().CheckUsableName(LongestName(dir, 0)); }, Status::Code::kOk,
         ""},
        {"use a name one longer", false, [&] { return Fs().CheckUsableName(LongestName(dir, 1)); },
         Status::Code::kNameTooLong, "Cannot use " + LongestName(dir, 1) + too_long},
    };
    for (const auto& c : cases) {
        if (c.needs_links && !kSymbolicLinks) {
            continue;
        }
        SCOPED_TRACE(c.what);
        const Status status = c.operation();
        EXPECT_EQ(status.code(), c.code);
        EXPECT_EQ(status.message(), c.message);
        EXPECT_EQ(reader, nullptr);
        EXPECT_EQ(writer, nullptr);
    }

    EXPECT_EQ(ReadRest(*held_file), "held");
    ASSERT_TRUE(held_file->Close().ok());
    ASSERT_TRUE(writing_file->Close().ok());
    EXPECT_EQ(dir.List(), before);
    EXPECT_EQ(ReadWholeFile(film), "1\r\nkept\r\n");
    EXPECT_EQ(ReadWholeFile(writing), "partial");
    EXPECT_TRUE(fs::is_directory(folder));
    if (kSymbolicLinks) {
        EXPECT_EQ(fs::read_symlink(dangling), "missing.srt");
    }
}

TEST(FileSystem, RenameReplacesOnlyWhenAskedTo) {
    enum class Target { kNone, kFile, kHeldFile, kDirectory, kLink, kDanglingLink };
    const struct {
        const char* what;
        Target target;
        bool replace;
        Status::Code code;
        const char* reason;
    } cases[] = {
        {"to a free name", Target::kNone, false, Status::Code::kOk, ""},
        {"to a free name, replacing", Target::kNone, true, Status::Code::kOk, ""},
        {"onto a file", Target::kFile, false, Status::Code::kExists, "a file of that name already exists"},
        {"onto a file, replacing", Target::kFile, true, Status::Code::kOk, ""},
        {"onto a held file", Target::kHeldFile, false, Status::Code::kExists, "a file of that name already exists"},
        {"onto a directory", Target::kDirectory, false, Status::Code::kExists, "a file of that name already exists"},
        {"onto a directory, replacing", Target::kDirectory, true, Status::Code::kIoError, "Is a directory"},
        {"onto a link", Target::kLink, false, Status::Code::kExists, "a file of that name already exists"},
        {"onto a link, replacing it and not its file", Target::kLink, true, Status::Code::kOk, ""},
        {"onto a dangling link", Target::kDanglingLink, false, Status::Code::kExists,
         "a file of that name already exists"},
    };
    for (const auto& c : cases) {
        const bool is_link = c.target == Target::kLink || c.target == Target::kDanglingLink;
        if (is_link && !kSymbolicLinks) {
            continue;
        }
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string from = dir.File("film_new.srt");
        const std::string to = dir.File("film_original.srt");
        const std::string linked = dir.File("linked.srt");
        std::unique_ptr<ReadableFile> held;
        switch (c.target) {
            case Target::kNone:
                break;
            case Target::kFile:
                WriteWholeFile(to, "old");
                break;
            case Target::kHeldFile:
                WriteWholeFile(to, "old");
                ASSERT_TRUE(Fs().OpenForReading(to, &held).ok());
                break;
            case Target::kDirectory:
                fs::create_directory(to);
                break;
            case Target::kLink:
                WriteWholeFile(linked, "linked");
                fs::create_symlink("linked.srt", to);
                break;
            case Target::kDanglingLink:
                fs::create_symlink("linked.srt", to);
                break;
        }
        std::unique_ptr<WritableFile> file = CreateWith(from, "new");
        ASSERT_NE(file, nullptr);

        const Status status = file->RenameTo(to, c.replace);
        EXPECT_EQ(status.code(), c.code);
        if (!status.ok()) {
            EXPECT_EQ(status.message(), "Cannot rename " + from + " to " + to + ": " + c.reason);
        }
        ASSERT_TRUE(file->Close().ok());
        if (held) {
            EXPECT_EQ(ReadRest(*held), "old");
            ASSERT_TRUE(held->Close().ok());
        }
        EXPECT_EQ(ReadWholeFile(status.ok() ? to : from), "new");
        EXPECT_EQ(Fs().Exists(from), !status.ok());
        if (!status.ok() && c.target == Target::kFile) {
            EXPECT_EQ(ReadWholeFile(to), "old");
        }
        if (!status.ok() && c.target == Target::kDirectory) {
            EXPECT_TRUE(fs::is_directory(to));
        }
        if (!status.ok() && is_link) {
            EXPECT_EQ(fs::read_symlink(to), "linked.srt");
        }
        if (c.target == Target::kLink) {
            EXPECT_EQ(ReadWholeFile(linked), "linked");
        }
    }
}

// Another program keeps creating and removing the target's name while files are renamed onto it without replacing:
// whichever comes first keeps the name, and neither's content is ever replaced or removed by the other.
TEST(FileSystem, RenameWithoutReplacingLosesNothingToARacingCreator) {
    TempDir dir;
    const std::string from = dir.File("film_new.srt");
    const std::string to = dir.File("film_original.srt");
    std::atomic<bool> done{false};
    std::atomic<int> creator_lost{0};
    // The creator's turn is kept short, so that its creations often fall between a careless check and rename. Its
    // file replaced shows to whichever of the two removes the name second.
    std::thread creator([&] {
        while (!done) {
            std::unique_ptr<WritableFile> file;
            if (Fs().CreateNew(to, &file).ok() && !(file->Close().ok() && Fs().Remove(to).ok())) {
                ++creator_lost;
            }
        }
    });

    constexpr int kRounds = 2000;
    int renamed = 0;
    int refused = 0;
    for (int i = 0; i < kRounds && !testing::Test::HasFailure(); ++i) {
        const std::string mine = "renamed " + std::to_string(i);
        std::unique_ptr<WritableFile> file = CreateWith(from, mine);
        ASSERT_NE(file, nullptr);
        const Status status = file->RenameTo(to, /*replace=*/false);
        ASSERT_TRUE(file->Close().ok());
        if (status.ok()) {
            ++renamed;
            EXPECT_EQ(ReadWholeFile(to), mine) << i;
            EXPECT_TRUE(Fs().Remove(to).ok()) << i;
        } else {
            ++refused;
            EXPECT_EQ(status.code(), Status::Code::kExists) << status.message();
            EXPECT_EQ(ReadWholeFile(from), mine) << i;
            EXPECT_TRUE(Fs().Remove(from).ok());
        }
    }
    done = true;
    creator.join();
    EXPECT_EQ(creator_lost, 0);
    // Both outcomes happened, so the two really raced.
    EXPECT_GT(renamed, 0);
    EXPECT_GT(refused, 0);
}

TEST(FileSystem, AHeldFileStaysTheSameFileThroughItsRename) {
    const struct {
        const char* what;
        bool writable;
    } cases[] = {{"held for reading", false}, {"held for writing", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string name = dir.File("film.srt");
        const std::string new_name = dir.File("film_original.srt");
        const std::string taken = dir.File("taken.srt");
        WriteWholeFile(taken, "taken");
        std::unique_ptr<ReadableFile> reader;
        std::unique_ptr<WritableFile> writer;
        HeldFile* held = nullptr;
        if (c.writable) {
            writer = CreateWith(name, "before ");
            held = writer.get();
        } else {
            WriteWholeFile(name, "before after");
            ASSERT_TRUE(Fs().OpenForReading(name, &reader).ok());
            char start[7];
            std::size_t got = 0;
            ASSERT_TRUE(reader->Read(start, sizeof start, &got).ok());
            EXPECT_EQ(std::string(start, got), "before ");
            held = reader.get();
        }
        FileIdentity before;
        ASSERT_TRUE(held->Identify(&before).ok());
        EXPECT_EQ(before.links, 1u);

        ASSERT_TRUE(held->RenameTo(new_name, /*replace=*/false).ok());
        EXPECT_FALSE(Fs().Exists(name));
        FileIdentity after;
        ASSERT_TRUE(held->Identify(&after).ok());
        EXPECT_TRUE(after.SameFileAs(before));
        FileIdentity by_name;
        ASSERT_TRUE(Fs().Identify(new_name, &by_name).ok());
        EXPECT_TRUE(by_name.SameFileAs(before));
        std::unique_ptr<ReadableFile> other;
        EXPECT_EQ(Fs().OpenForReading(new_name, &other).code(), Status::Code::kInUse);
        // Messages name the file by its new name.
        EXPECT_EQ(held->RenameTo(taken, /*replace=*/false).message(),
                  "Cannot rename " + new_name + " to " + taken + ": a file of that name already exists");
        fs::create_hard_link(new_name, dir.File("second_name.srt"));
        ASSERT_TRUE(held->Identify(&after).ok());
        EXPECT_EQ(after.links, 2u);

        if (writer) {
            ASSERT_TRUE(writer->Append("after", 5).ok());
            ASSERT_TRUE(writer->Sync().ok());
        } else {
            EXPECT_EQ(ReadRest(*reader), "after");
        }
        ASSERT_TRUE(held->Close().ok());
        EXPECT_TRUE(held->Close().ok());  // twice is harmless
        EXPECT_EQ(ReadWholeFile(new_name), "before after");
        EXPECT_EQ(ReadWholeFile(taken), "taken");
    }
}

TEST(FileSystem, IsDirectoryOnlyForDirectories) {
    TempDir dir;
    WriteWholeFile(dir.File("film.srt"), "film");
    fs::create_directory(dir.File("folder.srt"));
    if (kSymbolicLinks) {
        fs::create_symlink("folder.srt", dir.File("link"));
    }
    const struct {
        const char* name;
        bool needs_links;
        bool directory;
    } cases[] = {
        {"folder.srt", false, true},
        {"film.srt", false, false},
        {"missing", false, false},
        {"link", true, true},
    };
    for (const auto& c : cases) {
        if (!c.needs_links || kSymbolicLinks) {
            EXPECT_EQ(IsDirectory(dir.File(c.name)), c.directory) << c.name;
        }
    }
}

TEST(FileSystem, ResolveLinksFollowsLinksToTheFileTheyLeadTo) {
    TempDir dir;
    const std::string film = dir.File("film.srt");
    WriteWholeFile(film, "film");
    const std::string canonical_film = fs::canonical(film).string();
    if (kSymbolicLinks) {
        fs::create_symlink("film.srt", dir.File("link.srt"));
        fs::create_symlink(dir.File("link.srt"), dir.File("chain.srt"));
        fs::create_symlink("missing.srt", dir.File("dangling.srt"));
    }
    const struct {
        const char* name;
        bool needs_links;
        Status::Code code;
        std::string target;
    } cases[] = {
        {"film.srt", false, Status::Code::kOk, film},
        {"missing.srt", false, Status::Code::kOk, dir.File("missing.srt")},
        {"link.srt", true, Status::Code::kOk, canonical_film},
        {"chain.srt", true, Status::Code::kOk, canonical_film},
        {"dangling.srt", true, Status::Code::kNotFound, ""},
    };
    for (const auto& c : cases) {
        if (c.needs_links && !kSymbolicLinks) {
            continue;
        }
        SCOPED_TRACE(c.name);
        std::string target;
        const Status status = Fs().ResolveLinks(dir.File(c.name), &target);
        EXPECT_EQ(status.code(), c.code) << status.message();
        if (status.ok()) {
            EXPECT_EQ(target, c.target);
        } else {
            EXPECT_EQ(status.message(), "Cannot open " + dir.File(c.name) + ": No such file or directory");
        }
    }
}

}  // namespace
