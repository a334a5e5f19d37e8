// The contract both file system backends keep, run natively and under Wine: the same codes and wording for the same
// faults, exclusive creation and held files that no other run can take, renames that replace only when asked to, and
// held files that stay the same file, still held, under their new name. Symbolic links are tested on POSIX only:
// Windows lets only administrators make them, and the Linux links that Wine follows can only be made from outside
// (cli_end_to_end.sh does).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

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

#ifdef _WIN32
constexpr std::uint32_t kReadOnly = FILE_ATTRIBUTE_READONLY;
#else
constexpr std::uint32_t kReadOnly = 0444;
#endif

// Gives a file access as a user would: a mode on POSIX, attributes on Windows (see FileAccess).
void SetAccess(const std::string& path, std::uint32_t mode) {
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesW(fs::u8path(path).c_str(), mode)) << path;
#else
    ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
#endif
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
    const std::string read_only = dir.File("read-only.srt");
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
    const auto open_own = [&](const std::string& path) {
        return [&, path] { return Fs().OpenForReadingNoFollow(path, &reader); };
    };
    const auto held_is = [&](const std::string& path, bool expected) {
        return [&, path, expected] {
            return Fs().IsHeld(path) == expected ? Status::OK() : Status::Error(Status::Code::kIoError, "wrong answer");
        };
    };
    const auto use = [&](const std::string& path) { return [&, path] { return Fs().CheckUsableName(path); }; };
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
    const std::string is_folder = ": it is a folder";
#ifdef _WIN32
    const std::string device =
        ": it is the name of a device on Windows (CON, CONIN$, CONOUT$, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9), "
        "not of a file";
#else
    const std::string symbolic_link = ": it is a symbolic link";
#endif
    FileIdentity identity;
    const struct {
        const char* what;
        std::function<Status()> operation;
        Status::Code code;
        std::string message;
    } cases[] = {
        {"open a missing file", open(missing), Status::Code::kNotFound, "Cannot open " + missing + not_found},
        {"open a directory", open(folder), Status::Code::kNotRegularFile, "Cannot open " + folder + is_folder},
        {"open a held file", open(held), Status::Code::kInUse, "Cannot open " + held + in_use},
        {"open a file being written", open(writing), Status::Code::kInUse, "Cannot open " + writing + in_use},
        {"open a missing file, links not followed", open_own(missing), Status::Code::kNotFound,
         "Cannot open " + missing + not_found},
        {"open a directory, links not followed", open_own(folder), Status::Code::kNotRegularFile,
         "Cannot open " + folder + is_folder},
        {"open a held file, links not followed", open_own(held), Status::Code::kInUse, "Cannot open " + held + in_use},
#ifndef _WIN32
        {"open a link, links not followed", open_own(link), Status::Code::kNotRegularFile,
         "Cannot open " + link + symbolic_link},
        {"open a dangling link, links not followed", open_own(dangling), Status::Code::kNotRegularFile,
         "Cannot open " + dangling + symbolic_link},
#endif
        {"ask whether a held file is held", held_is(held, true), Status::Code::kOk, ""},
        {"ask whether a file being written is held", held_is(writing, true), Status::Code::kOk, ""},
        {"ask whether a free file is held", held_is(film, false), Status::Code::kOk, ""},
        {"ask whether a missing file is held", held_is(missing, false), Status::Code::kOk, ""},
        {"ask whether a directory is held", held_is(folder, false), Status::Code::kOk, ""},
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
        // As a run removes its unfinished result, which took the input's access.
        {"remove a read-only file",
         [&] {
             WriteWholeFile(read_only, "result");
             SetAccess(read_only, kReadOnly);
             return Fs().Remove(read_only);
         },
         Status::Code::kOk, ""},
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
        // Windows and Wine find names in any case; the name given is kept.
        {"resolve a file named in other case", resolve(dir.File("FILM.SRT"), dir.File("FILM.SRT")), Status::Code::kOk,
         ""},
        {"resolve a file named through its folder's parent",
         resolve(dir.File("folder/../film.srt"), dir.File("folder/../film.srt")), Status::Code::kOk, ""},
#ifndef _WIN32
        {"resolve a link", resolve(link, fs::canonical(film).string()), Status::Code::kOk, ""},
        {"resolve a chain of links", resolve(dir.File("chain.srt"), fs::canonical(film).string()), Status::Code::kOk,
         ""},
        {"resolve a dangling link", resolve(dangling, ""), Status::Code::kNotFound,
         "Cannot open " + dangling + not_found},
#endif
        {"use the longest name", use(LongestName(dir, 0)), Status::Code::kOk, ""},
        {"use a name one longer", use(LongestName(dir, 1)), Status::Code::kNameTooLong,
         "Cannot use " + LongestName(dir, 1) + ": the name is too long for this system"},
#ifdef _WIN32
        // Windows takes only what comes before the first dot, blanks dropped, for the device's name.
        {"use a device's name", use(dir.File("CON.srt")), Status::Code::kNotRegularFile,
         "Cannot use " + dir.File("CON.srt") + device},
        {"use a device's name in lower case", use(dir.File("nul.SUB")), Status::Code::kNotRegularFile,
         "Cannot use " + dir.File("nul.SUB") + device},
        {"use a device's name with a blank before the dot", use("com1 .srt"), Status::Code::kNotRegularFile,
         "Cannot use com1 .srt" + device},
        {"use a device's name with a superscript digit", use(u8"LPT\u00B3.srt"), Status::Code::kNotRegularFile,
         u8"Cannot use LPT\u00B3.srt" + device},
        {"use a console's name", use("conout$.vtt"), Status::Code::kNotRegularFile, "Cannot use conout$.vtt" + device},
        {"use a name that starts like a device's", use(dir.File("CONSOLE.srt")), Status::Code::kOk, ""},
        {"use a name with a device's name after a dot", use(dir.File("a.CON.srt")), Status::Code::kOk, ""},
        {"use a name with a device's name and a digit more", use(dir.File("COM10.srt")), Status::Code::kOk, ""},
#endif
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
    enum Open { kForReading, kForReadingNoFollow, kForWriting };
    for (const Open how : {kForReading, kForReadingNoFollow, kForWriting}) {
        SCOPED_TRACE(how == kForWriting   ? "held for writing"
                     : how == kForReading ? "held for reading"
                                          : "not followed");
        const bool writable = how == kForWriting;
        TempDir dir;
        const std::string name = dir.File("film.srt");
        const std::string new_name = dir.File("film_original.srt");
        const std::string taken = dir.File("taken.srt");
        WriteWholeFile(taken, "taken");
        std::unique_ptr<ReadableFile> reader;
        std::unique_ptr<WritableFile> writer = writable ? CreateWith(name, "content") : nullptr;
        if (!writable) {
            WriteWholeFile(name, "content");
            ASSERT_TRUE(
                (how == kForReading ? Fs().OpenForReading(name, &reader) : Fs().OpenForReadingNoFollow(name, &reader))
                    .ok());
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

// Another program may replace the held file's name with a file of its own (an editor saving by renaming over it) or
// move its folder away: Windows renames the held file through its handle all the same, but POSIX and Wine rename
// whatever the name leads to now. Every rename checks first, refuses, and renames nothing.
TEST(FileSystem, RenameRefusesWhenTheNameLeadsToAnotherFile) {
    enum Swap { kRenamedOver, kRemoved, kFolderMoved, kFolderMovedAndNameTaken };
    const struct {
        const char* what;
        Swap swap;
    } cases[] = {
    // A file held with share mode 0 can be neither replaced nor removed by a Windows program, Wine's included.
#ifndef _WIN32
        {"another file renamed over the name", kRenamedOver},
        {"the name removed", kRemoved},
#endif
        {"the folder moved away", kFolderMoved},
        {"the folder moved away and another file put under the name", kFolderMovedAndNameTaken},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string folder = dir.File("folder");
        const std::string moved = dir.File("moved");
        const std::string name = folder + "/film.srt";
        const std::string to = folder + "/film_original.srt";
        fs::create_directory(folder);
        WriteWholeFile(name, "held");
        std::unique_ptr<ReadableFile> held;
        ASSERT_TRUE(Fs().OpenForReading(name, &held).ok());

        std::error_code error;
        if (c.swap == kRenamedOver) {
            WriteWholeFile(dir.File("saved.srt"), "theirs");
            fs::rename(dir.File("saved.srt"), name, error);
        } else if (c.swap == kRemoved) {
            fs::remove(name, error);
        } else {
            fs::rename(folder, moved, error);
        }
#ifdef _WIN32
        // Windows itself (not Wine) refuses to move a folder that holds an open file: nothing to check there.
        if (error) {
            ASSERT_TRUE(held->Close().ok());
            continue;
        }
#endif
        ASSERT_FALSE(error) << error.message();
        if (c.swap == kFolderMovedAndNameTaken) {
            fs::create_directory(folder);
            WriteWholeFile(name, "theirs");
        }

        const Status status = held->RenameTo(to, /*replace=*/false);
        EXPECT_EQ(status.code(), Status::Code::kChanged);
        EXPECT_EQ(status.message(),
                  "Cannot rename " + name + " to " + to + ": it was changed by another program meanwhile");
        EXPECT_EQ(ReadRest(*held), "held");
        ASSERT_TRUE(held->Close().ok());
        EXPECT_FALSE(fs::exists(to));
        EXPECT_FALSE(fs::exists(moved + "/film_original.srt"));
        if (c.swap == kRenamedOver || c.swap == kFolderMovedAndNameTaken) {
            EXPECT_EQ(ReadWholeFile(name), "theirs");
        }
        if (c.swap == kFolderMoved || c.swap == kFolderMovedAndNameTaken) {
            EXPECT_EQ(ReadWholeFile(moved + "/film.srt"), "held");
        }
    }
}

// What a run compares to notice that a program which does not lock changed its input meanwhile: the size, and the
// modification time in the system's own unit.
TEST(FileSystem, IdentityTellsSizeAndModificationTime) {
#ifdef _WIN32
    constexpr std::int64_t kTicksPerSecond = 10000000;
#else
    constexpr std::int64_t kTicksPerSecond = 1000000000;
#endif
    constexpr std::uint64_t kPast4GiB = (std::uint64_t{1} << 32) + 3;
    TempDir dir;
    const fs::path film = fs::u8path(dir.File("film.srt"));
    const auto append = [&](const std::string& more) { WriteWholeFile(dir.File("film.srt"), "12345" + more); };
    const struct {
        const char* what;
        std::function<void()> change;
        int seconds_later;  // the modification time set afterwards
        std::uint64_t size;
    } cases[] = {
        {"nothing", [] {}, 0, 5},
        // A time a program sets, or one the clock gives within its resolution.
        {"appended to", [&] { append("678"); }, 0, 8},
        {"truncated", [&] { fs::resize_file(film, 2); }, 0, 2},
        {"grown past 4 GiB (sparse)", [&] { fs::resize_file(film, kPast4GiB); }, 0, kPast4GiB},
        // More than 2^32 ticks, on either system.
        {"rewritten at the same size, later", [&] { WriteWholeFile(dir.File("film.srt"), "abcde"); }, 1000, 5},
    };
    const fs::file_time_type base = fs::last_write_time(fs::u8path(dir.path())) - std::chrono::hours(24);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteWholeFile(dir.File("film.srt"), "12345");
        fs::last_write_time(film, base);
        FileIdentity before;
        ASSERT_TRUE(Fs().Identify(dir.File("film.srt"), &before).ok());
        c.change();
        fs::last_write_time(film, base + std::chrono::seconds(c.seconds_later));
        FileIdentity after;
        ASSERT_TRUE(Fs().Identify(dir.File("film.srt"), &after).ok());
        EXPECT_EQ(before.size, 5u);
        EXPECT_EQ(after.size, c.size);
        EXPECT_EQ(after.modified - before.modified, c.seconds_later * kTicksPerSecond);
        EXPECT_EQ(after.UnchangedSince(before), c.size == 5 && c.seconds_later == 0);
    }
}

// A rewritten copy takes the access of the file it replaces (see WritableFile::CopyAccess), also from a file whose
// access was different before, and can still be written and renamed afterwards.
TEST(FileSystem, AccessIsToldAndCopiedThroughTheOpenFile) {
    struct Case {
        const char* what;
        std::uint32_t access;
        std::uint32_t owner;  // given away first, when not 0 and the test runs as root
    };
#ifdef _WIN32
    // Wine marks every file "archive", where Windows clears it when other attributes are set; "normal" means none.
    constexpr std::uint32_t kNotCompared = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL;
    constexpr std::uint32_t kOther = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const Case cases[] = {
        {"read-only and hidden", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, 0},
        {"system", FILE_ATTRIBUTE_SYSTEM, 0},
        {"none", FILE_ATTRIBUTE_NORMAL, 0},
    };
#else
    constexpr std::uint32_t kNotCompared = 0;
    constexpr std::uint32_t kOther = 0777;
    const Case cases[] = {
        {"private", 0600, 0},
        {"shared with the group", 0640, 0},
        {"read-only", 0444, 0},
        {"another user's", 0640, 12345},
    };
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
#ifndef _WIN32
        if (c.owner != 0 && geteuid() != 0) {
            continue;  // only root may give a file away
        }
#endif
        TempDir dir;
        const std::string source = dir.File("film.srt");
        const std::string result = dir.File("film_new.srt");
        WriteWholeFile(source, "old");
        SetAccess(source, c.access);
#ifndef _WIN32
        if (c.owner != 0) {
            ASSERT_EQ(chown(source.c_str(), c.owner, c.owner), 0);
        }
#endif
        FileIdentity told;
        ASSERT_TRUE(Fs().Identify(source, &told).ok());
        EXPECT_EQ(told.access.mode & ~kNotCompared, c.access & ~kNotCompared);
        if (c.owner != 0) {
            EXPECT_EQ(told.access.owner, c.owner);
            EXPECT_EQ(told.access.group, c.owner);
        }

        std::unique_ptr<WritableFile> file = CreateWith(result, "new");
        ASSERT_NE(file, nullptr);
        file->CopyAccess(FileAccess{0, 0, kOther});
        file->CopyAccess(told.access);
        EXPECT_TRUE(file->Append("er", 2).ok());
        ASSERT_TRUE(file->RenameTo(dir.File("film_renamed.srt"), /*replace=*/false).ok());
        ASSERT_TRUE(file->Close().ok());
        FileIdentity copied;
        ASSERT_TRUE(Fs().Identify(dir.File("film_renamed.srt"), &copied).ok());
        EXPECT_EQ(copied.access.mode, told.access.mode);
        EXPECT_EQ(copied.access.owner, told.access.owner);
        EXPECT_EQ(copied.access.group, told.access.group);
        EXPECT_EQ(ReadWholeFile(dir.File("film_renamed.srt")), "newer");
#ifdef _WIN32
        // Or the temporary folder could not be removed.
        SetAccess(source, FILE_ATTRIBUTE_NORMAL);
        SetAccess(dir.File("film_renamed.srt"), FILE_ATTRIBUTE_NORMAL);
#endif
    }
#ifdef _WIN32
    // No attributes at all, which Wine never tells (every file there is "archive"), clear them too.
    TempDir dir;
    std::unique_ptr<WritableFile> file = CreateWith(dir.File("film_new.srt"), "new");
    ASSERT_NE(file, nullptr);
    file->CopyAccess(FileAccess{0, 0, kOther});
    file->CopyAccess(FileAccess{});
    FileIdentity cleared;
    ASSERT_TRUE(file->Identify(&cleared).ok());
    ASSERT_TRUE(file->Close().ok());
    EXPECT_EQ(cleared.access.mode & kOther, 0u);
#endif
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
