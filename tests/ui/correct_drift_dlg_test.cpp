// The correct-drift dialog, opened from the main dialog's system menu on a chosen file.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/win32/utf16.h"
#include "tests/ui/dialog_harness.h"
#include "ui/correct_drift_dlg.h"
#include "ui/resource.h"

namespace {

std::string Film(const char* first, const char* last) {
    return std::string("1\r\n") + first + "\r\nOne\r\n\r\n2\r\n" + last + "\r\nTwo\r\n";
}
const std::string kFilm = Film("00:00:09,600 --> 00:00:19,200", "00:01:36,000 --> 00:01:40,800");

// What the user chooses: the first cue's two times (null: as the dialog opens), the second cue's (null: its box
// unchecked), or a pair of frame rates by their place in the lists (-1: points).
struct Choice {
    const char* source1;
    const char* target1;
    const char* source2 = nullptr;
    const char* target2 = nullptr;
    int fromRate = -1;
    int toRate = -1;
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = "film" + std::to_string(&c - cases);
        const std::string film = Subtitle(name + ".srt", kFilm);
        OpenOver(film);
        Choose(c.choice);
        EXPECT_EQ(Text(DriftItem(IDC_DRIFT_PREVIEW)), c.preview);
        EXPECT_EQ(IsWindowEnabled(DriftItem(IDC_DRIFT_FROM_RATE)) != FALSE, c.choice.fromRate >= 0);
        EXPECT_EQ(IsWindowEnabled(DriftItem(IDC_DRIFT_TARGET2)) != FALSE, c.choice.source2 != nullptr);
        Press(IDOK);
        EXPECT_TRUE(drift->IsModalDone());
        ASSERT_EQ(watcher->boxes.size(), 1u);
        EXPECT_EQ(watcher->boxes[0].text, "Done - original file is stored as\n" + dir.File(name + "_original.srt"));
        EXPECT_EQ(ReadWholeFile(film), c.result);
        EXPECT_EQ(ReadWholeFile(dir.File(name + "_original.srt")), kFilm);
    }
}

TEST_F(CorrectDriftTest, RefusalsAndCancelChangeNothing) {
    const struct {
        const char* name;
        Choice choice;
        std::string message;  // in the preview and in a message box, when OK is pressed before Cancel; empty: Cancel
        int field;            // the field with no time in it, which is left first; 0: none
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
        {"Cancel", {"0:00:09,600", "0:00:12,100"}, "", 0},
    };
    const std::string film = Subtitle("film.srt", kFilm);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenOver(film);
        const std::vector<std::string> before = dir.List();
        Choose(c.choice);
        if (!c.message.empty()) {
            EXPECT_EQ(Text(DriftItem(IDC_DRIFT_PREVIEW)), c.message);
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
            EXPECT_EQ(box.text, c.message);
        }
        EXPECT_EQ(dir.List(), before);
        EXPECT_EQ(ReadWholeFile(film), kFilm);
    }
}

}  // namespace
