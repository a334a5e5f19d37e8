// The dialog driven with window messages, as the user's keys and clicks would drive it.
#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "engine/sync_settings.h"
#include "engine/synchronize_file.h"
#include "kelvaro_version.h"
#include "platform/win32/utf16.h"
#include "tests/ui/dialog_harness.h"
#include "ui/resource.h"
#include "win32ui/data_exchange.h"
#include "win32ui/message_box.h"
#include "win32ui/system_time.h"

namespace {

const char kFilm[] =
    "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n\r\n2\r\n00:01:00,000 --> 00:01:03,000\r\nWorld\r\n";
const char kFilmTwoSecondsLater[] =
    "1\r\n00:00:03,000 --> 00:00:04,500\r\nHello\r\n\r\n2\r\n00:01:02,000 --> 00:01:05,000\r\nWorld\r\n";

bool IsEnabled(HWND window) {
    return IsWindowEnabled(window) != FALSE;
}

bool IsChecked(HWND button) {
    return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

SYSTEMTIME PickerTime(HWND picker) {
    SYSTEMTIME shown = {};
    EXPECT_EQ(SendMessageA(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown)), GDT_VALID);
    return shown;
}

void SetPickerTime(HWND picker, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME shown = PickerTime(picker);
    shown.wHour = hour;
    shown.wMinute = minute;
    shown.wSecond = second;
    SendMessageA(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&shown));
}

using StartUpTest = DialogTest;

TEST_F(StartUpTest, SynchronizeIsEnabledOnlyByARememberedPath) {
    struct Case {
        const char* name;
        const char* kvIni;  // null: no file
        bool enabled;
        std::string field;
    };
    const Case cases[] = {
        {"no kv.ini", nullptr, false, ""},
        {"empty kv.ini", "", false, ""},
        // The file's existence is not examined.
        {"remembered file that is gone", "C:\\gone\\film.srt", true, "C:\\gone\\film.srt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string start = dir.File(c.name);
        CreateDirectoryA(start.c_str(), nullptr);
        Open(c.kvIni, start);
        EXPECT_EQ(IsEnabled(dialog->m_btnSynchronize.m_hWnd), c.enabled);
        EXPECT_EQ(Text(IDC_INPUT_FILE), c.field);
        EXPECT_EQ(dialog->m_strStartDir, start);
    }
}

TEST_F(StartUpTest, ShowsZeroOffsetReduceTimeAndMidnightWithFocusOnBrowse) {
    Open();
    for (int id : {IDC_HOURS, IDC_MINUTES, IDC_SECONDS, IDC_MILLISECONDS, IDC_REDUCE_NUMBER}) {
        EXPECT_EQ(Text(id), "0") << id;
    }
    EXPECT_TRUE(IsChecked(Item(IDC_REDUCE_TIME)));
    EXPECT_FALSE(IsChecked(Item(IDC_ADD_TIME)));
    EXPECT_FALSE(IsChecked(Item(IDC_SWITCH_ORIENTATION)));
    EXPECT_FALSE(IsChecked(Item(IDC_BETWEEN_TIMES)));
    for (int id : {IDC_FROM_TIME, IDC_TO_TIME}) {
        EXPECT_EQ(FromLocalSystemTime(PickerTime(Item(id))), WindowTime(0, 0, 0)) << id;
    }
    EXPECT_EQ(GetFocus(), Item(IDC_BROWSE));
    // A refresh from these controls gives back the settings' defaults and the window times.
    ASSERT_TRUE(dialog->UpdateData(TRUE));
    EXPECT_EQ(dialog->m_nDirection, 1);
    EXPECT_EQ(dialog->m_timeFrom, WindowTime(0, 0, 0));
    EXPECT_EQ(dialog->m_timeTo, dialog->m_timeFrom);
    EXPECT_EQ(dialog->OffsetMs(), 0);
}

TEST_F(StartUpTest, CaptionAndIcon) {
    Open();
    char caption[256] = {};
    GetWindowTextA(dialog->m_hWnd, caption, sizeof caption);
    const std::string expected = "Kelvaro v" KELVARO_VERSION + std::string(20, ' ') + "(";
    EXPECT_EQ(std::string(caption).substr(0, expected.size()), expected);
    EXPECT_EQ(std::string(caption).back(), ')');

    ASSERT_NE(dialog->m_hIcon, nullptr);
    EXPECT_EQ(SendMessageA(dialog->m_hWnd, WM_GETICON, ICON_BIG, 0), reinterpret_cast<LRESULT>(dialog->m_hIcon));
    EXPECT_EQ(SendMessageA(dialog->m_hWnd, WM_GETICON, ICON_SMALL, 0), reinterpret_cast<LRESULT>(dialog->m_hIcon));
    EXPECT_EQ(SendMessageA(dialog->m_hWnd, WM_QUERYDRAGICON, 0, 0), reinterpret_cast<LRESULT>(dialog->m_hIcon));
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(dialog->m_hIcon, &info));
    BITMAP mask = {};
    GetObjectA(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, 32);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);
}

TEST_F(StartUpTest, ThirteenTooltipsInRegistrationOrderThenTheInputFields) {
    Open();
    const CKelvaroDlg::Tooltip* expected = CKelvaroDlg::kTooltips;
    ASSERT_EQ(CKelvaroDlg::kTooltipCount, 13u);
    const HWND tips = dialog->m_tooltip.m_hWnd;
    ASSERT_EQ(SendMessageA(tips, TTM_GETTOOLCOUNT, 0, 0), 14);
    EXPECT_EQ(ToolText(IDC_INPUT_FILE), "");
    for (int i = 0; i < 13; ++i) {
        SCOPED_TRACE(expected[i].text);
        char text[256] = {};
        TOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.lpszText = text;
        ASSERT_TRUE(SendMessageA(tips, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&tool)));
        EXPECT_EQ(reinterpret_cast<HWND>(tool.uId), Item(expected[i].id));
        EXPECT_EQ(tool.hwnd, dialog->m_hWnd);
        EXPECT_EQ(std::string(text), expected[i].text);
    }
    EXPECT_TRUE(GetWindowLongA(tips, GWL_STYLE) & TTS_ALWAYSTIP);
}

using SystemMenuTest = DialogTest;

TEST_F(SystemMenuTest, FourCommandsAfterASeparatorThoseOnTheFileGrayedAndIdleUntilOneIsChosen) {
    const struct {
        UINT id;
        const char* text;
        bool onFile;
    } commands[] = {
        {IDM_RTL_DISPLAY, "Right-to-left display...", true},
        {IDM_CORRECT_DRIFT, "Correct drift...", true},
        {IDM_RESTORE_ORIGINAL, "Restore the original", true},
        {IDM_ABOUT, "About Kelvaro...", false},
    };
    Open();
    const HMENU menu = GetSystemMenu(dialog->m_hWnd, FALSE);
    const int first = GetMenuItemCount(menu) - 4;
    EXPECT_TRUE(GetMenuState(menu, first - 1, MF_BYPOSITION) & MF_SEPARATOR);
    for (bool chosen : {false, true}) {
        if (chosen) {
            Drop(Subtitle("film.srt", kFilm));
        }
        for (const auto& c : commands) {
            SCOPED_TRACE(std::string(c.text) + (chosen ? " with a file" : ""));
            EXPECT_EQ(GetMenuItemID(menu, first + static_cast<int>(&c - commands)), c.id);
            wchar_t label[64] = {};
            GetMenuStringW(menu, c.id, label, 64, MF_BYCOMMAND);
            EXPECT_EQ(WideToUtf8(label), c.text);
            const bool grayed = c.onFile && !chosen;
            EXPECT_EQ((GetMenuState(menu, c.id, MF_BYCOMMAND) & MF_GRAYED) != 0, grayed);
            if (grayed) {
                // Sent all the same, as another program could: nothing opens, runs or asks.
                SendMessageW(dialog->m_hWnd, WM_SYSCOMMAND, c.id, 0);
                Pump();
                EXPECT_TRUE(watcher->boxes.empty());
            }
        }
    }
}

// A value of the test program's version record, which is the program's: the tests link its resources.
std::string VersionRecordValue(const std::string& name, VS_FIXEDFILEINFO* numbers = nullptr) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::vector<char> record(GetFileVersionInfoSizeW(path, nullptr));
    if (record.empty() || !GetFileVersionInfoW(path, 0, static_cast<DWORD>(record.size()), record.data())) {
        return "(no version record)";
    }
    void* value = nullptr;
    UINT length = 0;
    if (numbers != nullptr && VerQueryValueW(record.data(), L"\\", &value, &length)) {
        *numbers = *static_cast<VS_FIXEDFILEINFO*>(value);
    }
    const std::wstring key = L"\\StringFileInfo\\040904B0\\" + Utf8ToWide(name);
    return VerQueryValueW(record.data(), key.c_str(), &value, &length) ? WideToUtf8(static_cast<wchar_t*>(value))
                                                                       : "(no " + name + ")";
}

TEST_F(SystemMenuTest, AboutShowsTheNameVersionAndCopyrightOfTheVersionRecord) {
    Open();
    SendMessageW(dialog->m_hWnd, WM_SYSCOMMAND, IDM_ABOUT, 0);
    Pump();
    ASSERT_EQ(watcher->boxes.size(), 1u);
    VS_FIXEDFILEINFO numbers = {};
    const std::string version = VersionRecordValue("ProductVersion", &numbers);
    EXPECT_EQ(watcher->boxes[0].text,
              VersionRecordValue("ProductName") + " " + version + "\n" + VersionRecordValue("LegalCopyright"));
    EXPECT_EQ(version, KELVARO_VERSION);
    const std::string fixed =
        std::to_string(HIWORD(numbers.dwFileVersionMS)) + "." + std::to_string(LOWORD(numbers.dwFileVersionMS));
    EXPECT_EQ(version.rfind(fixed, 0), 0u) << fixed;
}

TEST_F(SystemMenuTest, RestoreAsksNamingBothFilesAndOnlyYesPutsTheBackupBack) {
    for (int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer == IDYES ? "Yes" : "No");
        const std::string film = Subtitle("film.srt", kFilmTwoSecondsLater);
        const std::string backup = Subtitle("film_original.srt", kFilm);
        Open();
        Drop(film);
        watcher->AnswerQuestions(answer);
        SendMessageW(dialog->m_hWnd, WM_SYSCOMMAND, IDM_RESTORE_ORIGINAL, 0);
        Pump();
        ASSERT_EQ(watcher->boxes.size(), answer == IDYES ? 2u : 1u);
        EXPECT_EQ(watcher->boxes[0].text, "Put back film_original.srt as film.srt? The re-timed film.srt is replaced.");
        if (answer == IDNO) {
            EXPECT_EQ(ReadWholeFile(film), kFilmTwoSecondsLater);
            EXPECT_EQ(ReadWholeFile(backup), kFilm);
            continue;
        }
        EXPECT_EQ(watcher->boxes[1].text, "Done - " + film + " is back as it was before the last run");
        EXPECT_EQ(ReadWholeFile(film), kFilm);
        EXPECT_FALSE(FileExists(backup));
    }
}

using ValidationTest = DialogTest;

TEST_F(ValidationTest, NumberFieldLeftWithABadValueShowsTheMessageAndTakesTheFocusBack) {
    struct Case {
        int field;
        const char* typed;
        std::string message;
    };
    const Case cases[] = {
        {IDC_HOURS, "4", RangeMessage(0, 3)},
        {IDC_MINUTES, "60", RangeMessage(0, 59)},
        {IDC_SECONDS, "60", RangeMessage(0, 59)},
        {IDC_MILLISECONDS, "1000", RangeMessage(0, 999)},
        {IDC_MINUTES, "ten", kNotANumberMessage},
        {IDC_MINUTES, "", kNotANumberMessage},
        {IDC_MINUTES, "-1", kNotANumberMessage},
        {IDC_HOURS, "99999999999", kNotANumberMessage},
        {IDC_REDUCE_NUMBER, "5001", RangeMessage(0, 5000)},
        {IDC_REDUCE_NUMBER, "one", kNotANumberMessage},
    };
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.field) + " '" + c.typed + "'");
        Focus(c.field);
        SetText(c.field, c.typed);
        watcher->boxes.clear();
        Focus(IDC_BROWSE);
        ASSERT_EQ(watcher->boxes.size(), 1u);
        EXPECT_EQ(watcher->boxes[0].text, c.message);
        EXPECT_EQ(watcher->boxes[0].caption, AfxGetAppName());
        EXPECT_EQ(GetFocus(), Item(c.field));
        SetText(c.field, "0");
    }
}

using SynchronizeTest = DialogTest;

TEST_F(SynchronizeTest, RunsOnTheChosenFileAndReportsWhereTheOriginalIs) {
    Open();
    const std::string film = Subtitle("film.srt", kFilm);
    Drop(film);
    SetText(IDC_SECONDS, "2");
    Click(IDC_ADD_TIME);
    Click(IDC_SYNCHRONIZE);

    ASSERT_EQ(watcher->boxes.size(), 1u);
    EXPECT_EQ(watcher->boxes[0].text, "Done - original file is stored as\n" + dir.File("film_original.srt"));
    EXPECT_EQ(watcher->boxes[0].caption, AfxGetAppName());
    EXPECT_EQ(ReadWholeFile(film), kFilmTwoSecondsLater);
    EXPECT_EQ(ReadWholeFile(dir.File("film_original.srt")), kFilm);
    // The dialog stays as it was, ready for another run on the same file.
    EXPECT_EQ(Text(IDC_INPUT_FILE), film);
    EXPECT_TRUE(IsEnabled(Item(IDC_SYNCHRONIZE)));

    // A second press keeps the untouched file, and says where.
    Click(IDC_SYNCHRONIZE);
    ASSERT_EQ(watcher->boxes.size(), 2u);
    EXPECT_EQ(watcher->boxes[1].text, "Done - original file is stored as\n" + dir.File("film_original.srt") +
                                          "\nThe older backup was kept as " + dir.File("film_original-1.srt"));
    EXPECT_EQ(ReadWholeFile(dir.File("film_original.srt")), kFilmTwoSecondsLater);
    EXPECT_EQ(ReadWholeFile(dir.File("film_original-1.srt")), kFilm);
}

TEST_F(SynchronizeTest, NothingRunsAfterAFailedValidation) {
    Open();
    const std::string film = Subtitle("film.srt", kFilm);
    Drop(film);
    SetText(IDC_MINUTES, "60");
    Click(IDC_SYNCHRONIZE);
    ASSERT_EQ(watcher->boxes.size(), 1u);
    EXPECT_EQ(watcher->boxes[0].text, RangeMessage(0, 59));
    EXPECT_EQ(GetFocus(), Item(IDC_MINUTES));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"film.srt", "kv.ini"}));
}

TEST_F(SynchronizeTest, ReversedWindowShowsItsMessageAndTouchesNothing) {
    Open();
    const std::string film = Subtitle("film.srt", kFilm);
    Drop(film);
    Click(IDC_BETWEEN_TIMES);
    SetPickerTime(Item(IDC_FROM_TIME), 10, 0, 0);
    SetPickerTime(Item(IDC_TO_TIME), 9, 0, 0);
    Click(IDC_SYNCHRONIZE);
    ASSERT_EQ(watcher->boxes.size(), 1u);
    EXPECT_EQ(watcher->boxes[0].text, kWindowMessage);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"film.srt", "kv.ini"}));
}

TEST_F(SynchronizeTest, FileErrorNamesTheFileInTheProgramsMessageBox) {
    const std::string missing = dir.File("missing.srt");
    Open(missing.c_str());
    Click(IDC_SYNCHRONIZE);
    ASSERT_EQ(watcher->boxes.size(), 1u);
    EXPECT_EQ(watcher->boxes[0].caption, AfxGetAppName());
    EXPECT_NE(watcher->boxes[0].text.find(missing), std::string::npos) << watcher->boxes[0].text;
    EXPECT_NE(watcher->boxes[0].text.find("No such file"), std::string::npos) << watcher->boxes[0].text;
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"kv.ini"}));
}

using ChooseFileTest = DialogTest;

TEST_F(ChooseFileTest, DroppedFileIsTakenOrTurnedAwayAsBrowseDoes) {
    Open();
    const std::string film = Subtitle("film.SRT", kFilm);
    const std::string notes = Subtitle("notes.txt", "text");
    CreateDirectoryA(dir.File("folder.srt").c_str(), nullptr);

    Drop(notes);
    ASSERT_EQ(watcher->boxes.size(), 1u);
    EXPECT_EQ(watcher->boxes[0].text, kUnrecognizedFormatMessage);
    EXPECT_FALSE(IsEnabled(Item(IDC_SYNCHRONIZE)));
    EXPECT_FALSE(FileExists(dir.File("kv.ini")));

    Drop(film);
    EXPECT_EQ(Text(IDC_INPUT_FILE), film);
    EXPECT_TRUE(IsEnabled(Item(IDC_SYNCHRONIZE)));
    EXPECT_EQ(ReadWholeFile(dir.File("kv.ini")), film);

    for (const std::string& refused : {notes, dir.File("folder.srt")}) {
        watcher->boxes.clear();
        Drop(refused);
        ASSERT_EQ(watcher->boxes.size(), 1u) << refused;
        EXPECT_EQ(watcher->boxes[0].text, kUnrecognizedFormatMessage);
        EXPECT_EQ(Text(IDC_INPUT_FILE), film);
        EXPECT_EQ(ReadWholeFile(dir.File("kv.ini")), film);
    }

    const std::string captions = Subtitle("captions.Vtt", kFilm);
    watcher->boxes.clear();
    Drop(captions);
    EXPECT_TRUE(watcher->boxes.empty());
    EXPECT_EQ(Text(IDC_INPUT_FILE), captions);
}

TEST_F(ChooseFileTest, BrowseTakesASubtitleFileAndKeepsKvIniInTheStartDirectory) {
    Open();
    TempDir elsewhere;
    const std::string film = elsewhere.File("film.SRT");
    WriteWholeFile(film, kFilm);
    const std::string notes = elsewhere.File("notes.txt");
    WriteWholeFile(notes, "text");

    watcher->AnswerFileDialog(film);
    Click(IDC_BROWSE);
    EXPECT_EQ(watcher->fileDialogs, 1);
    EXPECT_EQ(Text(IDC_INPUT_FILE), film);
    EXPECT_TRUE(IsEnabled(Item(IDC_SYNCHRONIZE)));
    EXPECT_EQ(ReadWholeFile(dir.File("kv.ini")), film);
    EXPECT_FALSE(FileExists(elsewhere.File("kv.ini")));

    watcher->AnswerFileDialog(notes);
    Click(IDC_BROWSE);
    ASSERT_EQ(watcher->boxes.size(), 1u);
    EXPECT_EQ(watcher->boxes[0].text, kUnrecognizedFormatMessage);
    EXPECT_EQ(Text(IDC_INPUT_FILE), film);

    watcher->AnswerFileDialog("");
    Click(IDC_BROWSE);
    EXPECT_EQ(watcher->fileDialogs, 3);
    EXPECT_EQ(Text(IDC_INPUT_FILE), film);
    EXPECT_EQ(ReadWholeFile(dir.File("kv.ini")), film);

    // A name in another script comes back as it is.
    const std::string hebrew = elsewhere.File(u8"\u05e1\u05e8\u05d8 \u05d8\u05d5\u05d1.srt");
    WriteWholeFile(hebrew, kFilm);
    watcher->AnswerFileDialog(hebrew);
    Click(IDC_BROWSE);
    EXPECT_EQ(Text(IDC_INPUT_FILE), hebrew);
    EXPECT_EQ(ReadWholeFile(dir.File("kv.ini")), hebrew);
}

// Names in several scripts, with blanks, short and past MAX_PATH: taken from a drop, shown in full with the file name
// in view, remembered in kv.ini and shown from it at the next start, and re-timed with the backup beside the file.
TEST_F(ChooseFileTest, AnyNameOfAnyLengthIsTakenShownRememberedAndRun) {
    const struct {
        const char* script;
        std::string folder;
        std::string name;
        std::size_t length;  // 0: the folder and name as they are
    } cases[] = {
        {"Hebrew", u8"\u05db\u05ea\u05d5\u05d1\u05d9\u05d5\u05ea \u05d9\u05e9\u05e0\u05d5\u05ea",
         u8"\u05e1\u05e8\u05d8 \u05d8\u05d5\u05d1.srt", 0},
        {"Arabic", u8"\u062a\u0631\u062c\u0645\u0627\u062a ", u8"\u0641\u064a\u0644\u0645.srt", 300},
        {"CJK", u8"\u5b57\u5e55 \u6587\u4ef6 ", u8"\u7535\u5f71 \u6620\u753b.srt", 300},
        {"accented", u8"Sous-titres \u00e9t\u00e9 ", u8"Am\u00e9lie \u00e0 Paris.srt", 1000},
        {"Hebrew long", u8"\u05db\u05ea\u05d5\u05d1\u05d9\u05d5\u05ea ", u8"\u05e1\u05e8\u05d8 \u05d8\u05d5\u05d1.srt",
         1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.script) + " " + std::to_string(c.length));
        TempDir files;
        std::string film;
        if (c.length == 0) {
            ASSERT_TRUE(CreateDirectoryW(Utf8ToWide(files.File(c.folder)).c_str(), nullptr));
            film = files.File(c.folder) + "\\" + c.name;
        } else {
            film = PathOfLength(files, c.folder, c.name, c.length);
        }
        WriteWholeFile(film, kFilm);
        const std::string backup = film.substr(0, film.size() - 4) + "_original.srt";

        Open();
        Drop(film);
        EXPECT_TRUE(watcher->boxes.empty());
        ASSERT_EQ(Text(IDC_INPUT_FILE), film);
        EXPECT_EQ(ReadWholeFile(dir.File("kv.ini")), film);
        for (int start = 0; start < 2; ++start) {
            SCOPED_TRACE(start ? "loaded from kv.ini" : "dropped");
            EXPECT_EQ(Text(IDC_INPUT_FILE), film);
            EXPECT_EQ(ToolText(IDC_INPUT_FILE), film);
            // The caret sits after the last character, so the field shows the file's name.
            DWORD first = 0;
            DWORD last = 0;
            SendMessageW(Item(IDC_INPUT_FILE), EM_GETSEL, reinterpret_cast<WPARAM>(&first),
                         reinterpret_cast<LPARAM>(&last));
            const DWORD length = static_cast<DWORD>(GetWindowTextLengthW(Item(IDC_INPUT_FILE)));
            EXPECT_EQ(first, length);
            EXPECT_EQ(last, length);
            Open(nullptr, startDir);
        }

        SetText(IDC_SECONDS, "2");
        Click(IDC_ADD_TIME);
        Click(IDC_SYNCHRONIZE);
        ASSERT_EQ(watcher->boxes.size(), 1u);
        EXPECT_EQ(watcher->boxes[0].text, "Done - original file is stored as\n" + backup);
        EXPECT_EQ(ReadWholeFile(film), kFilmTwoSecondsLater);
        EXPECT_EQ(ReadWholeFile(backup), kFilm);
    }
}

TEST_F(StartUpTest, EscapeEndsTheDialogEvenWithABadValueInTheFocusedField) {
    Open();
    Focus(IDC_MINUTES);
    SetText(IDC_MINUTES, "60");
    MSG escape = {Item(IDC_MINUTES), WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
    EXPECT_TRUE(dialog->PreTranslateMessage(&escape));
    Pump();
    EXPECT_TRUE(dialog->IsModalDone());
    // Destroying the dialog takes the focus from Minutes; that is no reason to validate it.
    DestroyWindow(dialog->m_hWnd);
    Pump();
    EXPECT_TRUE(watcher->boxes.empty());
}

}  // namespace
