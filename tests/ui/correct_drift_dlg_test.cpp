// The correct-drift dialog, opened from the main dialog's system menu on a chosen file.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/win32/utf16.h"
#include "tests/ui/dialog_harness.h"
#include "ui/correct_drift_dlg.h"
#include "ui/drift_preview.h"
#include "ui/resource.h"

namespace {

std::string Film(const char* first, const char* last) {
    return std::string("1\r\n") + first + "\r\nOne\r\n\r\n2\r\n" + last + "\r\nTwo\r\n";
}
const std::string kFilm = Film("00:00:09,600 --> 00:00:19,200", "00:01:36,000 --> 00:01:40,800");

// The made-up pair of tests/data/match: a Hebrew subtitle timed for a PAL release of a film (25 fps, started later,
// with a recap), an English one in sync with the film, another film's. The folder as a full path, taken before any
// test moves the working directory.
std::string FullPath(const char* path) {
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(Utf8ToWide(path).c_str(), MAX_PATH, full, /*lpFilePart=*/nullptr);
    return WideToUtf8(std::wstring(full, length));
}
const std::string kMatchData = FullPath(KELVARO_TEST_DATA "\\match\\");
const std::string kPalRelease = ReadWholeFile(kMatchData + "hebrew_pal_release.srt");

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// How the subtitle to match is chosen: typed into its field, by Browse, or dropped on the dialog.
enum class Pick { kType, kBrowse, kDrop };

// What the user chooses: the first cue's two times (null: as the dialog opens), the second cue's (null: its box
// unchecked), a pair of frame rates by their place in the lists (-1: points), or a subtitle in tests/data/match to
// match ("": none; null: no matching).
struct Choice {
    const char* source1;
    const char* target1;
    const char* source2 = nullptr;
    const char* target2 = nullptr;
    int fromRate = -1;
    int toRate = -1;
    const char* reference = nullptr;
    Pick pick = Pick::kType;
};

class CorrectDriftTest : public DialogTest {
  protected:
    // Chooses the film in the main dialog, whose fields then hold a shift, a number reduction and the orientation
    // switch, none of which the correction may take, and opens the dialog over it as the system menu does.
    void OpenOver(const std::string& film) {
        Open();
        Drop(film);
        dialog->m_nSeconds = 2;
        dialog->m_nReduceNumber = 1;
        dialog->m_bSwitchOrientation = 1;
        drift = std::make_unique<CCorrectDriftDlg>(*dialog, dialog.get());
        ShowOver(*drift);
    }
    HWND DriftItem(int id) const { return GetDlgItem(drift->m_hWnd, id); }
    void Choose(const Choice& choice) {
        if (choice.fromRate >= 0) {
            SendMessageW(DriftItem(IDC_DRIFT_RATES), BM_CLICK, 0, 0);
            for (int id : {IDC_DRIFT_FROM_RATE, IDC_DRIFT_TO_RATE}) {
                SendMessageW(DriftItem(id), CB_SETCURSEL, id == IDC_DRIFT_FROM_RATE ? choice.fromRate : choice.toRate,
                             0);
                SendMessageW(drift->m_hWnd, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                             reinterpret_cast<LPARAM>(DriftItem(id)));
            }
        }
        if (choice.source2 != nullptr) {
            SendMessageW(DriftItem(IDC_DRIFT_SECOND), BM_CLICK, 0, 0);
        }
        if (choice.reference != nullptr) {
            const std::string reference = *choice.reference == '\0' ? "" : kMatchData + choice.reference;
            if (choice.pick == Pick::kDrop) {
                Drop(reference, drift->m_hWnd);  // which selects matching itself
            } else {
                SendMessageW(DriftItem(IDC_DRIFT_MATCH), BM_CLICK, 0, 0);
            }
            if (choice.pick == Pick::kBrowse) {
                watcher->AnswerFileDialog(reference);
                SendMessageW(DriftItem(IDC_DRIFT_BROWSE), BM_CLICK, 0, 0);
            } else if (choice.pick == Pick::kType) {
                SetWindowTextW(DriftItem(IDC_DRIFT_REFERENCE), Utf8ToWide(reference).c_str());
            }
        }
        const std::pair<int, const char*> fields[] = {{IDC_DRIFT_SOURCE1, choice.source1},
                                                      {IDC_DRIFT_TARGET1, choice.target1},
                                                      {IDC_DRIFT_SOURCE2, choice.source2},
                                                      {IDC_DRIFT_TARGET2, choice.target2}};
        for (const auto& [id, text] : fields) {
            if (text != nullptr) {
                SetWindowTextW(DriftItem(id), Utf8ToWide(text).c_str());
            }
        }
        Pump();
    }
    // As Enter and Escape do.
    void Press(int button) {
        SendMessageW(drift->m_hWnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        Pump();
    }

    std::unique_ptr<CCorrectDriftDlg> drift;
};

TEST_F(CorrectDriftTest, OpensOnTheFirstAndLastCueWithTooltipsATooltipShowsWhole) {
    OpenOver(Subtitle("film.srt", kFilm));
    EXPECT_EQ(Text(DriftItem(IDC_DRIFT_SOURCE1)), "0:00:09,600");
    EXPECT_EQ(Text(DriftItem(IDC_DRIFT_TARGET2)), "0:01:36,000");
    EXPECT_EQ(Text(DriftItem(IDC_DRIFT_PREVIEW)),
              "offset +0.000 s; first cue 0:00:09,600 -> 0:00:09,600, last 0:01:36,000 -> 0:01:36,000");
    ASSERT_EQ(SendMessageW(drift->m_tooltip.m_hWnd, TTM_GETTOOLCOUNT, 0, 0),
              static_cast<LRESULT>(CCorrectDriftDlg::kTooltipCount));
    for (std::size_t i = 0; i < CCorrectDriftDlg::kTooltipCount; ++i) {
        EXPECT_LE(std::string(CCorrectDriftDlg::kTooltips[i].text).size(), 79u) << CCorrectDriftDlg::kTooltips[i].text;
    }
}

TEST_F(CorrectDriftTest, OkRunsTheCorrectionAloneAsThePreviewShowsIt) {
    // Each case runs on the film, or to match on a copy of the PAL release; `preview` and `result` are the preview and
    // the file after the run, or the start of each.
    const struct {
        const char* name;
        Choice choice;
        const char* preview;
        std::string result;
    } cases[] = {
        {"one cue",
         {"0:00:09,600", "0:00:12,100"},
         "offset +2.500 s; first cue 0:00:09,600 -> 0:00:12,100, last 0:01:36,000 -> 0:01:38,500",
         Film("00:00:12,100 --> 00:00:21,700", "00:01:38,500 --> 00:01:43,300")},
        // Every time t goes to 11000 + (t - 10000) x 1.1.
        {"two cues",
         {"0:00:10,000", "0:00:11,000", "0:01:40,000", "0:01:50,000"},
         "speed 110.000 %, offset +0.000 s; first cue 0:00:09,600 -> 0:00:10,560, last 0:01:36,000 -> 0:01:45,600",
         Film("00:00:10,560 --> 00:00:21,120", "00:01:45,600 --> 00:01:50,880")},
        // x 25 / (24000 / 1001)
        {"25 to 23.976 fps",
         {nullptr, nullptr, nullptr, nullptr, 2, 0},
         "speed 104.271 % (25 to 23.976 fps), offset +0.000 s; first cue 0:00:09,600 -> 0:00:10,010, last "
         "0:01:36,000 -> 0:01:40,100",
         Film("00:00:10,010 --> 00:00:20,020", "00:01:40,100 --> 00:01:45,105")},
        // The release's first cue, 47,464 ms, goes to 47,464 x 25 / (24000 / 1001) - 2,290, where it belongs (47,191).
        {"matched to a subtitle in sync",
         {nullptr, nullptr, nullptr, nullptr, -1, -1, "english_in_sync.srt", Pick::kDrop},
         "speed 104.271 % (25 to 23.976 fps), offset -2.290 s, from 00:19:15,932 offset -97.301 s; ",
         "1\r\n00:00:47,201 --> "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool matching = c.choice.reference != nullptr;
        const std::string name = matching ? "hebrew_pal_release" : "film" + std::to_string(&c - cases);
        const std::string& content = matching ? kPalRelease : kFilm;
        const std::string film = Subtitle(name + ".srt", content);
        OpenOver(film);
        Choose(c.choice);
        EXPECT_PRED2(StartsWith, Text(DriftItem(IDC_DRIFT_PREVIEW)), c.preview);
        EXPECT_EQ(IsWindowEnabled(DriftItem(IDC_DRIFT_FROM_RATE)) != FALSE, c.choice.fromRate >= 0);
        EXPECT_EQ(IsWindowEnabled(DriftItem(IDC_DRIFT_TARGET2)) != FALSE, c.choice.source2 != nullptr);
        EXPECT_EQ(IsWindowEnabled(DriftItem(IDC_DRIFT_BROWSE)) != FALSE, matching);
        Press(IDOK);
        EXPECT_TRUE(drift->IsModalDone());
        ASSERT_EQ(watcher->boxes.size(), 1u);
        const std::string& box = watcher->boxes[0].text;
        EXPECT_PRED2(StartsWith, box, "Done - original file is stored as\n" + dir.File(name + "_original.srt"));
        EXPECT_EQ(box.find("\nMatched to " + kMatchData + "english_in_sync.srt: ") != std::string::npos, matching)
            << box;
        EXPECT_EQ(ReadWholeFile(film).substr(0, c.result.size()), c.result);
        EXPECT_EQ(ReadWholeFile(dir.File(name + "_original.srt")), content);
    }
}

TEST_F(CorrectDriftTest, RefusalsAndCancelChangeNothing) {
    const struct {
        const char* name;
        Choice choice;
        // In the preview and in a message box (the start of each), when OK is pressed before Cancel; empty: Cancel.
        std::string message;
        int field;  // the field with no time in it, which is left first; 0: none
    } cases[] = {
        {"speed too high",
         {"0:00:10,000", "0:00:10,000", "0:00:20,000", "0:00:35,000"},
         "The two points give a speed of 250.000 %, which is most likely a mistake; check the times",
         0},
        {"running backwards",
         {"0:00:10,000", "0:00:20,000", "0:00:20,000", "0:00:10,000"},
         "The two points give a speed of -100.000 %, which is most likely a mistake; check the times",
         0},
        {"same cue twice", {"0:00:10,000", "0:00:11,000", "0:00:10,000", "0:00:12,000"}, kSameTimeMessage, 0},
        {"23.976 to 60 fps",
         {nullptr, nullptr, nullptr, nullptr, 0, 7},
         "The frame rates give a speed of 39.960 %, which is most likely a mistake; check the rates",
         0},
        {"not a time",
         {"1:2", "0:00:12,100"},
         "Please enter the time of the first cue as H:MM:SS,mmm, for example 0:01:02,345.",
         IDC_DRIFT_SOURCE1},
        {"another film's subtitle",
         {nullptr, nullptr, nullptr, nullptr, -1, -1, "another_film.srt", Pick::kBrowse},
         "Cannot match hebrew_pal_release.srt to another_film.srt: with the best correction found (",
         0},
        {"too few cues to match",
         {nullptr, nullptr, nullptr, nullptr, -1, -1, "nine_cues.srt"},
         "Cannot match hebrew_pal_release.srt to nine_cues.srt: nine_cues.srt has 9 cue times, and matching needs at "
         "least 10; nothing was changed",
         0},
        {"no subtitle to match", {nullptr, nullptr, nullptr, nullptr, -1, -1, ""}, kNoReferenceMessage, 0},
        {"no such subtitle",
         {nullptr, nullptr, nullptr, nullptr, -1, -1, "missing.srt"},
         "Cannot open " + kMatchData + "missing.srt",
         0},
        {"Cancel", {"0:00:09,600", "0:00:12,100"}, "", 0},
    };
    const std::string film = Subtitle("hebrew_pal_release.srt", kPalRelease);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenOver(film);
        const std::vector<std::string> before = dir.List();
        Choose(c.choice);
        if (!c.message.empty()) {
            EXPECT_PRED2(StartsWith, Text(DriftItem(IDC_DRIFT_PREVIEW)), c.message);
            if (c.field != 0) {
                // Leaving the field checks it, as in the main dialog.
                SendMessageW(drift->m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(DriftItem(c.field)), TRUE);
                SendMessageW(drift->m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(DriftItem(IDOK)), TRUE);
                Pump();
                EXPECT_EQ(GetFocus(), DriftItem(c.field));
            }
            Press(IDOK);
            EXPECT_FALSE(drift->IsModalDone());
        }
        Press(IDCANCEL);
        EXPECT_TRUE(drift->IsModalDone());
        EXPECT_EQ(watcher->boxes.size(), c.message.empty() ? 0u : c.field != 0 ? 2u : 1u);
        for (const auto& box : watcher->boxes) {
            EXPECT_PRED2(StartsWith, box.text, c.message);
        }
        EXPECT_EQ(dir.List(), before);
        EXPECT_EQ(ReadWholeFile(film), kPalRelease);
    }
}

}  // namespace
