// The contract both file system backends keep, run natively and under Wine: the same codes and wording for the same
// faults, exclusive creation and held files that no other run can take, renames that replace only when asked to, and
// held files that stay the same file, still held, under their new name. Symbolic links are tested on POSIX only:
// Windows lets only administrators make them.
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

// What the entry `path` is: a link and where it leads, a directory, or a file's content.
std::string What(const std::string& path) {
    return fs::is_symlink(path)     ? "a link to " + fs::read_symlink(path).string()
           : fs::is_directory(path) ? "a directory"
                                    : ReadWholeFile(path);
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
#ifndef _WIN32
    fs::create_symlink("film.srt", link);
    fs::create_symlink(link, dir.File("chain.srt"));
    fs::create_symlink("missing.srt", dangling);
#endif
    std::unique_ptr<ReadableFile> held_file;
    ASSERT_TRUE(Fs().OpenForReading(held, &held_file).ok());
    std::unique_ptr<WritableFile> writing_file = CreateWith(writing, "partial");
    const auto before = dir.List();

    std::unique_ptr<ReadableFile> reader;
    std::unique_ptr<WritableFile> writer;
    const auto open = [&](const std::string& path) { return [&, path] { return Fs().OpenForReading(path, &reader); }; };
    const auto create = [&](const std::string& path) { return [&, path] { return Fs().CreateNew(path, &writer); }; };
    const auto resolve = [&](const std::string& path, const std::string& expected) {
        return [&, path, expected] {
            std::string target;
            const Status status = Fs().ResolveLinks(path, &target);
            return status.ok() && target != expected ? Status::Error(Status::Code::kIoError, "led to " + target)
                                                     : status;
        };
    };
    const std::string exists = ": a file of that name already exists";
    const std::string in_use = ": it is being used by another program";
    const std::string not_found = ": No such file or directory";
    FileIdentity identity;
    const struct {
        const char* what;
        std::function<Status()> operation;
        Status::Code code;
        std::string message;
    } cases[] = {
        {"open a missing file", open(missing), Status::Code::kNotFound, "Cannot open " + missing + not_found},
        {"open a directory", open(folder), Status::Code::kNotRegularFile,
         "Cannot open " + folder + ": it is not a regular file"},
        {"open a held file", open(held), Status::Code::kInUse, "Cannot open " + held + in_use},
        {"open a file being written", open(writing), Status::Code::kInUse, "Cannot open " + writing + in_use},
        {"create over a file", create(film), Status::Code::kExists, "Cannot create " + film + exists},
        {"create over a directory", create(folder), Status::Code::kExists, "Cannot create " + folder + exists},
        {"create over a held file", create(held), Status::Code::kExists, "Cannot create " + held + exists},
#ifndef _WIN32
        {"create over a link", create(link), Status::Code::kExists, "Cannot create " + link + exists},
        {"create over a dangling link", create(dangling), Status::Code::kExists, "Cannot create " + dangling + exists},
#endif
        {"create in a missing folder", create(dir.File("none/film.srt")), Status::Code::kNotFound,
         "Cannot create " + dir.File("none/film.srt") + not_found},
        {"remove a missing file", [&] { return Fs().Remove(missing); }, Status::Code::kNotFound,
         "Cannot remove " + missing + not_found},
        {"remove a directory", [&] { return Fs().Remove(folder); }, Status::Code::kIoError,
         "Cannot remove " + folder + ": Is a directory"},
        {"identify a missing file", [&] { return Fs().Identify(missing, &identity); }, Status::Code::kNotFound,
         "Cannot open " + missing + not_found},
        {"flush the folder of a file", [&] { return Fs().SyncDirectory(film); }, Status::Code::kOk, ""},
        {"flush the current folder", [&] { return Fs().SyncDirectory("film.srt"); }, Status::Code::kOk, ""},
#ifndef _WIN32
        {"flush a missing folder", [&] { return Fs().SyncDirectory(dir.File("none/film.srt")); },
         Status::Code::kNotFound, "Cannot flush " + dir.File("none") + not_found},
#endif
        {"resolve a file", resolve(film, film), Status::Code::kOk, ""},
        {"resolve a missing file", resolve(missing, missing), Status::Code::kOk, ""},
#ifndef _WIN32
        {"resolve a link", resolve(link, fs::canonical(film).string()), Status::Code::kOk, ""},
        {"resolve a chain of links", resolve(dir.File("chain.srt"), fs::canonical(film).string()), Status::Code::kOk,
         ""},
        {"resolve a dangling link", resolve(dangling, ""), Status::Code::kNotFound,
         "Cannot open " + dangling + not_found},
#endif
        {"use the longest name", [&] { return Fs().CheckUsableName(LongestName(dir, 0)); }, Status::Code::kOk, ""},
        {"use a name one longer", [&] { return Fs().CheckUsableName(LongestName(dir, 1)); }, Status::Code::kNameTooLong,
         "Cannot use " + LongestName(dir, 1) + ": the name is too long for this system"},
    };
    for (const auto& c : cases) {
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
#ifndef _WIN32
    EXPECT_EQ(fs::read_symlink(dangling), "missing.srt");
#endif
}

TEST(FileSystem, RenameReplacesOnlyWhenAskedTo) {
    enum Target { kNone, kFile, kHeldFile, kDirectory, kLink, kDanglingLink };
    const char exists[] = "a file of that name already exists";
    const struct {
        const char* what;
        Target target;
        bool replace;
        Status::Code code;
        const char* reason;
    } cases[] = {
        {"to a free name", kNone, false, Status::Code::kOk, ""},
        {"to a free name, replacing", kNone, true, Status::Code::kOk, ""},
        {"onto a file", kFile, false, Status::Code::kExists, exists},
        {"onto a file, replacing", kFile, true, Status::Code::kOk, ""},
        {"onto a held file", kHeldFile, false, Status::Code::kExists, exists},
        {"onto a directory", kDirectory, false, Status::Code::kExists, exists},
        {"onto a directory, replacing", kDirectory, true, Status::Code::kIoError, "Is a directory"},
#ifndef _WIN32
        {"onto a link", kLink, false, Status::Code::kExists, exists},
        {"onto a link, replacing it and not its file", kLink, true, Status::Code::kOk, ""},
        {"onto a dangling link", kDanglingLink, false, Status::Code::kExists, exists},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string from = dir.File("film_new.srt");
        const std::string to = dir.File("film_original.srt");
        const std::string linked = dir.File("linked.srt");
        WriteWholeFile(linked, "linked");
        if (c.target == kFile || c.target == kHeldFile) {
            WriteWholeFile(to, "old");
        } else if (c.target == kDirectory) {
            fs::create_directory(to);
        } else if (c.target != kNone) {
            fs::create_symlink(c.target == kLink ? "linked.srt" : "missing.srt", to);
        }
        const std::string before = What(to);
        std::unique_ptr<ReadableFile> held;
        if (c.target == kHeldFile) {
            ASSERT_TRUE(Fs().OpenForReading(to, &held).ok());
        }
        std::unique_ptr<WritableFile> file = CreateWith(from, "new");
        ASSERT_NE(file, nullptr);

        const Status status = file->RenameTo(to, c.replace);
        EXPECT_EQ(status.code(), c.code);
        ASSERT_TRUE(file->Close().ok());
        if (held) {
            EXPECT_EQ(ReadRest(*held), "old");
            ASSERT_TRUE(held->Close().ok());
        }
        if (status.ok()) {
            EXPECT_EQ(ReadWholeFile(to), "new");
            EXPECT_FALSE(Fs().Exists(from));
        } else {
            EXPECT_EQ(status.message(), "Cannot rename " + from + " to " + to + ": " + c.reason);
            EXPECT_EQ(ReadWholeFile(from), "new");
            EXPECT_EQ(What(to), before);
        }
        EXPECT_EQ(ReadWholeFile(linked), "linked");
    }
}

// Another thread keeps creating and removing the target's name, often between a careless check and rename, while
// files are renamed onto it without replacing: whichever comes first keeps the name, and neither's content is ever
// replaced or removed by the other (a replaced file shows to whichever removes the name second).
TEST(FileSystem, RenameWithoutReplacingLosesNothingToARacingCreator) {
    TempDir dir;
    const std::string from = dir.File("film_new.srt");
    const std::string to = dir.File("film_original.srt");
    std::atomic<bool> done{false};
    std::atomic<int> creator_lost{0};
    std::thread creator([&] {
        while (!done) {
            std::unique_ptr<WritableFile> file;
            if (Fs().CreateNew(to, &file).ok() && !(file->Close().ok() && Fs().Remove(to).ok())) {
                ++creator_lost;
            }
        }
    });

    int renamed = 0;
    int refused = 0;
    for (int i = 0; i < 2000 && !testing::Test::HasFailure(); ++i) {
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
    EXPECT_GT(renamed, 0);  // both outcomes happened, so the two really raced
    EXPECT_GT(refused, 0);
}

TEST(FileSystem, AHeldFileStaysTheSameFileThroughItsRename) {
    for (const bool writable : {false, true}) {
        SCOPED_TRACE(writable ? "held for writing" : "held for reading");
        TempDir dir;
        const std::string name = dir.File("film.srt");
        const std::string new_name = dir.File("film_original.srt");
        const std::string taken = dir.File("taken.srt");
        WriteWholeFile(taken, "taken");
        std::unique_ptr<ReadableFile> reader;
        std::unique_ptr<WritableFile> writer = writable ? CreateWith(name, "content") : nullptr;
        if (!writable) {
            WriteWholeFile(name, "content");
            ASSERT_TRUE(Fs().OpenForReading(name, &reader).ok());
        }
        HeldFile* held = writable ? static_cast<HeldFile*>(writer.get()) : reader.get();
        FileIdentity before;
        FileIdentity after;
        ASSERT_TRUE(held->Identify(&before).ok());
        ASSERT_TRUE(held->RenameTo(new_name, /*replace=*/false).ok());
        EXPECT_FALSE(Fs().Exists(name));
        ASSERT_TRUE(Fs().Identify(new_name, &after).ok());
        EXPECT_TRUE(after.SameFileAs(before));
        std::unique_ptr<ReadableFile> other;
        EXPECT_EQ(Fs().OpenForReading(new_name, &other).code(), Status::Code::kInUse);
        EXPECT_EQ(held->RenameTo(taken, /*replace=*/false).message(),
                  "Cannot rename " + new_name + " to " + taken + ": a file of that name already exists");
        ASSERT_TRUE(held->Close().ok());
        EXPECT_TRUE(held->Close().ok());  // twice is harmless
        EXPECT_EQ(ReadWholeFile(new_name), "content");
        EXPECT_EQ(ReadWholeFile(taken), "taken");
    }
}

TEST(FileSystem, IsDirectoryOnlyForDirectories) {
    TempDir dir;
    WriteWholeFile(dir.File("film.srt"), "film");
    fs::create_directory(dir.File("folder.srt"));
    EXPECT_TRUE(IsDirectory(dir.File("folder.srt")));
    EXPECT_FALSE(IsDirectory(dir.File("film.srt")));
    EXPECT_FALSE(IsDirectory(dir.File("missing")));
#ifndef _WIN32
    fs::create_symlink("folder.srt", dir.File("link"));
    EXPECT_TRUE(IsDirectory(dir.File("link")));
#endif
}

}  // namespace
