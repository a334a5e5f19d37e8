#pragma once

#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "ui/kelvaro_dlg.h"

// Watches the calling thread for message boxes and open-file dialogs while it lives: records what each box says
// and presses its OK button (or the one given to AnswerQuestions, where the box has it), and answers each file dialog
// with the file name given to AnswerFileDialog. Windows passed to Ignore, such as the dialog under test, are left
// alone.
class WindowWatcher {
  public:
    struct Box {
        std::string caption;
        std::string text;
    };

    WindowWatcher();
    ~WindowWatcher();
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;

    void Ignore(HWND window) { m_handled.insert(window); }
    // An empty name cancels the dialog.
    void AnswerFileDialog(const std::string& fileName) { m_fileName = fileName; }
    // IDYES or IDNO.
    void AnswerQuestions(int button) { m_answer = button; }

    std::vector<Box> boxes;
    int fileDialogs = 0;

  private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    void Activated(HWND window);

    HHOOK m_hook;
    std::set<HWND> m_handled;
    std::string m_fileName;
    int m_answer = IDOK;
};

// The dialog as Kelvaro.exe shows it, created in a fresh working directory, with its messages pumped as its modal
// loop would. Tests drive it with window messages.
class DialogTest : public ::testing::Test {
  protected:
    ~DialogTest() override;

    // Makes `start` (by default the test's directory) the working directory, writes kv.ini there with `remembered`
    // unless it is null, and opens the dialog. A dialog already open is closed first.
    void Open(const char* remembered = nullptr, const std::string& start = std::string());
    HWND Item(int id) const { return GetDlgItem(dialog->m_hWnd, id); }
    std::string Text(int id) const;
    // The text of any window, such as a control of a dialog opened over this one.
    static std::string Text(HWND window);
    // The text of the tooltip over control `id`.
    std::string ToolText(int id) const;
    void SetText(int id, const std::string& text);
    // Moves the focus as Tab or a click would, so that the field that had it gets EN_KILLFOCUS.
    void Focus(int id);
    void Click(int id);
    // As the file manager drops a file on `target`, by default the dialog.
    void Drop(const std::string& path, HWND target = nullptr);
    // Creates `second`, a dialog over this one, without a modal loop of its own, so that the test drives it; the
    // watcher leaves it alone.
    void ShowOver(CDialog& second);
    void Pump();
    std::string Subtitle(const std::string& name, const std::string& content);

    TempDir dir;
    std::string startDir;
    std::unique_ptr<CKelvaroDlg> dialog;
    std::unique_ptr<WindowWatcher> watcher;

  private:
    std::string m_previousDir;
};
