// kelvaro-cli.exe started as Windows starts it, with names in any script and of any length on its command line:
// the run re-times the file, keeps the backup beside it, and names both as they are.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/win32/utf16.h"
#include "tests/test_support.h"

namespace {

const char kFilm[] = "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n";
const char kFilmTwoSecondsLater[] = "1\r\n00:00:03,000 --> 00:00:04,500\r\nHello\r\n";

struct Finished {
    DWORD status = 0;
    std::string output;  // standard output and standard error, which go to one pipe here
};

// Runs kelvaro-cli.exe with `arguments`, each quoted, and collects what it writes to a pipe.
Finished RunCli(const std::vector<std::string>& arguments) {
    std::wstring command = L"\"" + Utf8ToWide(KELVARO_CLI_EXE) + L"\"";
    for (const std::string& argument : arguments) {
        command += L" \"" + Utf8ToWide(argument) + L"\"";
    }
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    EXPECT_TRUE(CreatePipe(&read, &write, &inherit, 0));
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write;
    startup.hStdError = write;
    PROCESS_INFORMATION process = {};
    Finished finished;
    const BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(write);
    EXPECT_TRUE(started) << GetLastError();
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            finished.output.append(buffer, got);
        }
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &finished.status);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(read);
    return finished;
}

TEST(CliProcess, NamesInAnyScriptAndOfAnyLengthAreRunAndShownAsTheyAre) {
    const struct {
        const char* script;
        std::string folder;
        std::string name;
        std::size_t length;
    } cases[] = {
        {"Hebrew", u8"\u05db\u05ea\u05d5\u05d1\u05d9\u05d5\u05ea \u05d9\u05e9\u05e0\u05d5\u05ea ",
         u8"\u05e1\u05e8\u05d8 \u05d8\u05d5\u05d1.srt", 80},
        {"Arabic", u8"\u062a\u0631\u062c\u0645\u0627\u062a ", u8"\u0641\u064a\u0644\u0645.srt", 300},
        {"CJK", u8"\u5b57\u5e55 \u6587\u4ef6 ", u8"\u7535\u5f71 \u6620\u753b.srt", 1000},
        {"accented", u8"Sous-titres \u00e9t\u00e9 ", u8"Am\u00e9lie \u00e0 Paris.srt", 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.script) + " " + std::to_string(c.length));
        TempDir dir;
        const std::string film = PathOfLength(dir, c.folder, c.name, c.length);
        WriteWholeFile(film, kFilm);
        const std::string backup = film.substr(0, film.size() - 4) + "_original.srt";

        const Finished run = RunCli({"--add", "0:00:02,000", film});
        EXPECT_EQ(run.status, 0u) << run.output;
        // Standard output is in text mode, as it always was.
        EXPECT_EQ(run.output,
                  "Done - original file is stored as\r\n" + backup + "\r\n2 cue times moved by +2.000 s\r\n");
        EXPECT_EQ(ReadWholeFile(film), kFilmTwoSecondsLater);
        EXPECT_EQ(ReadWholeFile(backup), kFilm);

        const std::string missing = film.substr(0, film.size() - 4) + " (2).srt";
        const Finished failed = RunCli({"--add", "1", missing});
        EXPECT_EQ(failed.status, 1u);
        EXPECT_EQ(failed.output.rfind("kelvaro-cli: Cannot open " + missing + ": ", 0), 0u) << failed.output;
    }
}

}  // namespace
