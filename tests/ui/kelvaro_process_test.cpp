// Kelvaro.exe started as a program of its own and driven from outside through its windows, as a user would: no
// part of it is replaced, the message boxes included.
#include <windows.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "kelvaro_version.h"
#include "tests/test_support.h"
#include "ui/resource.h"

namespace {

// The static control that holds a message box's text.
constexpr int kMessageBoxText = 0xFFFF;
constexpr DWORD kPatienceMs = 15000;

const char kFilm[] = "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n";
const char kFilmTwoSecondsLater[] = "1\r\n00:00:03,000 --> 00:00:04,500\r\nHello\r\n";

// The build gives the program's path as the host sees it; Wine shows the host's root as drive Z:.
std::string ProgramPath() {
    std::string path = KELVARO_EXE;
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

std::string TextOf(HWND window) {
    char text[1024] = {};
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return text;
}

class KelvaroProcess {
  public:
    explicit KelvaroProcess(const std::string& workingDirectory) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + ProgramPath() + "\"";
        started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 workingDirectory.c_str(), &startup, &m_process) != FALSE;
        if (started) {
            dialog = WaitForWindow([](HWND) { return true; });
        }
    }
    ~KelvaroProcess() {
        if (started) {
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(m_process.hProcess, 99);
            }
            CloseHandle(m_process.hThread);
            CloseHandle(m_process.hProcess);
        }
    }

    // A visible dialog-class window of the program that `accept` agrees to, or null after the patience runs out.
    HWND WaitForWindow(const std::function<bool(HWND)>& accept, DWORD patienceMs = kPatienceMs) {
        for (DWORD waited = 0; waited < patienceMs; waited += 50) {
            Search search = {m_process.dwProcessId, &accept, nullptr};
            EnumWindows(Consider, reinterpret_cast<LPARAM>(&search));
            if (search.found != nullptr) {
                return search.found;
            }
            Sleep(50);
        }
        return nullptr;
    }

    HWND WaitForMessageBox(DWORD patienceMs = kPatienceMs) {
        return WaitForWindow([this](HWND window) { return window != dialog; }, patienceMs);
    }

    // Reads the box's caption and text, then presses its OK button and waits until it is gone.
    void Dismiss(HWND box, std::string* caption, std::string* text) {
        char title[256] = {};
        GetWindowTextA(box, title, sizeof title);
        *caption = title;
        *text = TextOf(GetDlgItem(box, kMessageBoxText));
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        for (DWORD waited = 0; IsWindow(box) && waited < kPatienceMs; waited += 50) {
            Sleep(50);
        }
    }

    void SetField(int id, const char* text) {
        SendMessageTimeoutA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                            5000, nullptr);
    }
    // Posted, because the click may open a message box that waits for us.
    void Click(int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

    // The exit code once the process has ended, or -1 if it is still running after the patience runs out.
    long WaitForExit() {
        if (WaitForSingleObject(m_process.hProcess, kPatienceMs) != WAIT_OBJECT_0) {
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(m_process.hProcess, &code);
        return static_cast<long>(code);
    }

    bool started = false;
    HWND dialog = nullptr;

  private:
    struct Search {
        DWORD process;
        const std::function<bool(HWND)>* accept;
        HWND found;
    };
    // A named CALLBACK: on i686 a lambda converts only to a cdecl function, and EnumWindows calls stdcall ones.
    static BOOL CALLBACK Consider(HWND window, LPARAM context) {
        auto* search = reinterpret_cast<Search*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        char className[16] = {};
        GetClassNameA(window, className, sizeof className);
        if (owner == search->process && IsWindowVisible(window) && std::string(className) == "#32770" &&
            (*search->accept)(window)) {
            search->found = window;
            return FALSE;
        }
        return TRUE;
    }

    PROCESS_INFORMATION m_process = {};
};

TEST(KelvaroProcess, SynchronizesTheRememberedFileAndSaysWhereTheOriginalIs) {
    TempDir dir;
    const std::string film = dir.File("film.srt");
    WriteWholeFile(film, kFilm);
    WriteWholeFile(dir.File("kv.ini"), film);

    KelvaroProcess kelvaro(dir.path());
    ASSERT_TRUE(kelvaro.started) << ProgramPath();
    ASSERT_NE(kelvaro.dialog, nullptr);
    char caption[256] = {};
    GetWindowTextA(kelvaro.dialog, caption, sizeof caption);
    EXPECT_EQ(std::string(caption).rfind("Kelvaro v" KELVARO_VERSION " ", 0), 0u) << caption;
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(kelvaro.dialog, IDC_SYNCHRONIZE)));

    kelvaro.SetField(IDC_SECONDS, "2");
    kelvaro.Click(IDC_ADD_TIME);
    kelvaro.Click(IDC_SYNCHRONIZE);
    const HWND box = kelvaro.WaitForMessageBox();
    ASSERT_NE(box, nullptr);
    std::string boxCaption, boxText;
    kelvaro.Dismiss(box, &boxCaption, &boxText);
    EXPECT_EQ(boxCaption, "Kelvaro");
    EXPECT_EQ(boxText, "Done - original file is stored as\n" + dir.File("film_original.srt"));
    EXPECT_EQ(ReadWholeFile(film), kFilmTwoSecondsLater);
    EXPECT_EQ(ReadWholeFile(dir.File("film_original.srt")), kFilm);

    PostMessageA(kelvaro.dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(kelvaro.WaitForExit(), 0);
}

TEST(KelvaroProcess, CorrectsDriftFromTheSystemMenu) {
    TempDir dir;
    const std::string film = dir.File("film.srt");
    WriteWholeFile(film, kFilm);
    WriteWholeFile(dir.File("kv.ini"), film);
    KelvaroProcess kelvaro(dir.path());
    ASSERT_NE(kelvaro.dialog, nullptr);

    PostMessageA(kelvaro.dialog, WM_SYSCOMMAND, IDM_CORRECT_DRIFT, 0);
    const HWND drift = kelvaro.WaitForWindow([](HWND window) {
        char title[64] = {};
        GetWindowTextA(window, title, sizeof title);
        return std::string(title) == "Correct drift";
    });
    ASSERT_NE(drift, nullptr);
    SendMessageTimeoutA(GetDlgItem(drift, IDC_DRIFT_TARGET1), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("0:00:03,000"),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    EXPECT_EQ(TextOf(GetDlgItem(drift, IDC_DRIFT_PREVIEW)),
              "offset +2.000 s; first cue 0:00:01,000 -> 0:00:03,000, last 0:00:01,000 -> 0:00:03,000");
    PostMessageA(GetDlgItem(drift, IDOK), BM_CLICK, 0, 0);
    const HWND box = kelvaro.WaitForWindow([&](HWND window) { return window != kelvaro.dialog && window != drift; });
    ASSERT_NE(box, nullptr);
    std::string boxCaption, boxText;
    kelvaro.Dismiss(box, &boxCaption, &boxText);
    EXPECT_EQ(boxText, "Done - original file is stored as\n" + dir.File("film_original.srt"));
    EXPECT_EQ(ReadWholeFile(film), kFilmTwoSecondsLater);

    PostMessageA(kelvaro.dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(kelvaro.WaitForExit(), 0);
}

}  // namespace
