// The right-to-left display dialog, opened from the main dialog's system menu on a chosen file.
#include <windows.h>

#include <vector>

#include "engine/rtl_preview.h"
#include "tests/ui/dialog_harness.h"
#include "ui/resource.h"
#include "ui/rtl_display_dlg.h"

namespace {

// Seven right-to-left lines, all in logical order (punctuation at their ends), among left-to-right ones.
const char kHebrewFilm[] =
    "1\r\n00:00:01,000 --> 00:00:02,500\r\nשלום, מה שלומך?\r\n\r\n"
    "2\r\n00:00:03,000 --> 00:00:04,000\r\nHello there.\r\nאני בסדר, תודה.\r\n\r\n"
    "3\r\n00:00:05,000 --> 00:00:06,000\r\nהרכבת יוצאת בחצות.\r\nאז יש לנו זמן עד חצות!\r\n\r\n"
    "4\r\n00:00:07,000 --> 00:00:08,000\r\nאיש לא יודע.\r\nגם לא אני...\r\n\r\n"
    "5\r\n00:00:09,000 --> 00:00:10,000\r\nלהתראות.\r\n";
const char kFirstFiveRtlLines[] =
    "שלום, מה שלומך?\r\nאני בסדר, תודה.\r\nהרכבת יוצאת בחצות.\r\nאז יש לנו זמן עד חצות!\r\nאיש לא יודע.";
const char kEnglishFilm[] = "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n";

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

bool IsChecked(HWND button) {
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

class RtlDisplayTest : public DialogTest {
  protected:
    // Chooses `film` in the main dialog, whose fields then hold a shift, a number reduction, the orientation switch
    // and a reversed window, none of which the fix may take; then opens the dialog as the system menu does, but
    // without a modal loop of its own, so that the test can drive it.
    void OpenOver(const std::string& film) {
        Open();
        Drop(film);
        dialog->m_nSeconds = 2;
        dialog->m_nReduceNumber = 1;
        dialog->m_bSwitchOrientation = 1;
        dialog->m_bBetweenTimes = 1;
        dialog->m_timeFrom = WindowTime(1, 0, 0);
        dialog->m_timeTo = WindowTime(0, 0, 0);
        rtl = std::make_unique<CRtlDisplayDlg>(*dialog, dialog.get());
        ShowOver(*rtl);
    }
    HWND RtlItem(int id) const { return GetDlgItem(rtl->m_hWnd, id); }
    void ClickRtl(int id) {
        SendMessageW(RtlItem(id), BM_CLICK, 0, 0);
        Pump();
    }

    std::unique_ptr<CRtlDisplayDlg> rtl;
};

TEST_F(RtlDisplayTest, SystemMenuOpensTheDialog) {
    Open();
    Drop(Subtitle("film.srt", kHebrewFilm));
    // The watcher presses the dialog's OK as it does a message box's: the run's message box follows.
    SendMessageW(dialog->m_hWnd, WM_SYSCOMMAND, IDM_RTL_DISPLAY, 0);
    Pump();
    ASSERT_EQ(watcher->boxes.size(), 2u);
    EXPECT_EQ(watcher->boxes[0].caption, "Right-to-left display");
    EXPECT_TRUE(
        StartsWith(watcher->boxes[1].text, "Done - original file is stored as\n" + dir.File("film_original.srt")))
        << watcher->boxes[1].text;
    EXPECT_TRUE(IsWindowEnabled(dialog->m_hWnd));
}

TEST_F(RtlDisplayTest, OpensWithAllPlayersAndAByteOrderMarkThatFollowsUtf8) {
    OpenOver(Subtitle("film.srt", kHebrewFilm));
    EXPECT_TRUE(IsChecked(RtlItem(IDC_RTL_ALL_PLAYERS)));
    EXPECT_FALSE(IsChecked(RtlItem(IDC_RTL_LTR_PLAYERS)));
    EXPECT_FALSE(IsChecked(RtlItem(IDC_RTL_LOGICAL)));
    EXPECT_FALSE(IsChecked(RtlItem(IDC_RTL_TO_UTF8)));
    for (bool utf8 : {false, true, false}) {
        EXPECT_EQ(IsChecked(RtlItem(IDC_RTL_TO_UTF8)), utf8);
        EXPECT_EQ(IsWindowEnabled(RtlItem(IDC_RTL_BYTE_ORDER_MARK)) != FALSE, utf8);
        EXPECT_TRUE(IsChecked(RtlItem(IDC_RTL_BYTE_ORDER_MARK)));
        ClickRtl(IDC_RTL_TO_UTF8);
    }
}

TEST_F(RtlDisplayTest, OkRunsTheFixAloneAndCancelChangesNothing) {
    const struct {
        int mode;
        RtlFixMode expected;
        bool utf8;
        bool byteOrderMark;
        int button;
    } cases[] = {
        {IDC_RTL_ALL_PLAYERS, RtlFixMode::kAllPlayers, false, true, IDOK},
        {IDC_RTL_LTR_PLAYERS, RtlFixMode::kLtrPlayers, true, true, IDOK},
        {IDC_RTL_LOGICAL, RtlFixMode::kLogical, true, false, IDOK},
        {IDC_RTL_LTR_PLAYERS, RtlFixMode::kLtrPlayers, true, false, IDCANCEL},
    };
    for (const auto& c : cases) {
        const std::string name = "film" + std::to_string(&c - cases);
        SCOPED_TRACE(name);
        const std::string film = Subtitle(name + ".srt", kHebrewFilm);
        const std::vector<std::string> before = dir.List();
        OpenOver(film);
        ClickRtl(c.mode);
        if (c.utf8) {
            ClickRtl(IDC_RTL_TO_UTF8);
        }
        if (!c.byteOrderMark) {
            ClickRtl(IDC_RTL_BYTE_ORDER_MARK);
        }
        ClickRtl(c.button);
        EXPECT_TRUE(rtl->IsModalDone());
        if (c.button == IDCANCEL) {
            EXPECT_TRUE(watcher->boxes.empty());
            EXPECT_EQ(dir.List(), before);
            EXPECT_EQ(ReadWholeFile(film), kHebrewFilm);
            continue;
        }
        const SyncSettings run = rtl->RunSettings();
        EXPECT_EQ(run.m_rtlFix, c.expected);
        EXPECT_EQ(run.m_bToUtf8, c.utf8 ? 1 : 0);
        EXPECT_EQ(run.m_bByteOrderMark, c.byteOrderMark ? 1 : 0);
        EXPECT_EQ(run.m_strInputFile, film);
        EXPECT_EQ(run.m_codePage, dialog->m_codePage);
        ASSERT_EQ(watcher->boxes.size(), 1u);
        // Notes on what the fix did may follow.
        EXPECT_TRUE(StartsWith(watcher->boxes[0].text,
                               "Done - original file is stored as\n" + dir.File(name + "_original.srt")))
            << watcher->boxes[0].text;
        EXPECT_EQ(ReadWholeFile(dir.File(name + "_original.srt")), kHebrewFilm);
        EXPECT_NE(ReadWholeFile(film).find("\r\n00:00:01,000 --> 00:00:02,500\r\n"), std::string::npos);
    }
}

TEST_F(RtlDisplayTest, PreviewShowsTheFirstFiveRightToLeftLinesAsTheyAreAndAsTheyWillBe) {
    const std::string film = Subtitle("film.srt", kHebrewFilm);
    OpenOver(film);
    for (int button : {IDC_RTL_ALL_PLAYERS, IDC_RTL_LTR_PLAYERS, IDC_RTL_TO_UTF8, IDC_RTL_LOGICAL}) {
        SCOPED_TRACE(button);
        ClickRtl(button);
        EXPECT_EQ(Text(RtlItem(IDC_RTL_BEFORE)), kFirstFiveRtlLines);
        std::vector<RtlPreviewLine> lines;
        ASSERT_TRUE(PreviewRtlFix(rtl->RunSettings(), kHebrewFilm, film, 5, &lines).ok());
        ASSERT_EQ(lines.size(), 5u);
        std::string after;
        for (const RtlPreviewLine& line : lines) {
            after += (after.empty() ? "" : "\r\n") + line.after.substr(0, line.after.find_last_not_of("\r\n") + 1);
        }
        EXPECT_EQ(Text(RtlItem(IDC_RTL_AFTER)), after);
        EXPECT_TRUE(IsWindowVisible(RtlItem(IDC_RTL_AFTER)));
        EXPECT_FALSE(IsWindowVisible(RtlItem(IDC_RTL_PREVIEW_MESSAGE)));
    }
}

TEST_F(RtlDisplayTest, PreviewSaysWhyItShowsNoLinesAndOkStillRuns) {
    const struct {
        const char* name;
        const char* content;  // null: the file is gone once chosen
        const char* message;  // in the preview and in the run's message box alike
    } cases[] = {
        {"english.srt", kEnglishFilm, "right-to-left letter"},
        {"gone.srt", nullptr, "No such file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string film = c.content != nullptr ? Subtitle(c.name, c.content) : dir.File(c.name);
        OpenOver(film);
        EXPECT_NE(Text(RtlItem(IDC_RTL_PREVIEW_MESSAGE)).find(c.message), std::string::npos)
            << Text(RtlItem(IDC_RTL_PREVIEW_MESSAGE));
        EXPECT_TRUE(IsWindowVisible(RtlItem(IDC_RTL_PREVIEW_MESSAGE)));
        for (int id : {IDC_RTL_BEFORE, IDC_RTL_AFTER, IDC_RTL_BEFORE_LABEL, IDC_RTL_AFTER_LABEL}) {
            EXPECT_FALSE(IsWindowVisible(RtlItem(id))) << id;
        }
        ClickRtl(IDOK);
        ASSERT_EQ(watcher->boxes.size(), 1u);
        EXPECT_NE(watcher->boxes[0].text.find(c.message), std::string::npos) << watcher->boxes[0].text;
        EXPECT_TRUE(rtl->IsModalDone());
    }
}

}  // namespace
