#include "tests/ui/dialog_harness.h"

#include <commctrl.h>
#include <shlobj.h>

#include "platform/current_directory.h"
#include "platform/win32/utf16.h"

namespace {

WindowWatcher* g_watcher = nullptr;

// The controls of the system's open-file dialog that take a file name: the combo box, or the plain edit field.
constexpr int kFileNameCombo = 0x47c;
constexpr int kFileNameEdit = 0x480;
// The static control that holds a message box's text.
constexpr int kMessageBoxText = 0xFFFF;

std::string WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
    return WideToUtf8(text);
}

bool IsDialogClass(HWND window) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    return std::string(className) == "#32770";
}

}  // namespace

WindowWatcher::WindowWatcher() {
    g_watcher = this;
    m_hook = SetWindowsHookExA(WH_CBT, &Hook, /*hmod=*/nullptr, GetCurrentThreadId());
}

WindowWatcher::~WindowWatcher() {
    UnhookWindowsHookEx(m_hook);
    g_watcher = nullptr;
}

LRESULT CALLBACK WindowWatcher::Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && g_watcher != nullptr) {
        g_watcher->Activated(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(/*hhk=*/nullptr, code, wParam, lParam);
}

void WindowWatcher::Activated(HWND window) {
    if (!IsDialogClass(window) || !m_handled.insert(window).second) {
        return;
    }
    const HWND fileName = GetDlgItem(window, kFileNameCombo) != nullptr ? GetDlgItem(window, kFileNameCombo)
                                                                        : GetDlgItem(window, kFileNameEdit);
    if (fileName != nullptr) {
        ++fileDialogs;
        SetWindowTextW(fileName, Utf8ToWide(m_fileName).c_str());
        const int button = m_fileName.empty() ? IDCANCEL : IDOK;
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
        return;
    }
    boxes.push_back({WindowText(window), WindowText(GetDlgItem(window, kMessageBoxText))});
    const int button = GetDlgItem(window, m_answer) != nullptr ? m_answer : IDOK;
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
}

DialogTest::~DialogTest() {
    watcher.reset();
    dialog.reset();
    if (!m_previousDir.empty()) {
        SetCurrentDirectoryW(Utf8ToWide(m_previousDir).c_str());
    }
}

void DialogTest::Open(const char* remembered, const std::string& start) {
    watcher.reset();
    dialog.reset();
    if (m_previousDir.empty()) {
        m_previousDir = CurrentDirectory();
    }
    startDir = start.empty() ? dir.path() : start;
    ASSERT_TRUE(SetCurrentDirectoryW(Utf8ToWide(startDir).c_str()));
    if (remembered != nullptr) {
        WriteWholeFile(startDir + "\\kv.ini", remembered);
    }
    dialog = std::make_unique<CKelvaroDlg>();
    ASSERT_TRUE(dialog->Create());
    Pump();
    watcher = std::make_unique<WindowWatcher>();
    watcher->Ignore(dialog->m_hWnd);
}

std::string DialogTest::Text(int id) const {
    return WindowText(Item(id));
}

std::string DialogTest::Text(HWND window) {
    return WindowText(window);
}

void DialogTest::SetText(int id, const std::string& text) {
    SetWindowTextW(Item(id), Utf8ToWide(text).c_str());
}

void DialogTest::Focus(int id) {
    SendMessageW(dialog->m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
    Pump();
}

void DialogTest::Click(int id) {
    SendMessageW(Item(id), BM_CLICK, 0, 0);
    Pump();
}

void DialogTest::Drop(const std::string& path, HWND target) {
    // The block the shell hands over: a DROPFILES header, then the names in UTF-16, each ended by a NUL, and one
    // more NUL.
    const std::wstring name = Utf8ToWide(path);
    const HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + (name.size() + 2) * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), name.c_str(), name.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    SendMessageW(target != nullptr ? target : dialog->m_hWnd, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
    Pump();
}

void DialogTest::ShowOver(CDialog& second) {
    watcher.reset();  // it would press OK on any dialog it is not told to leave alone
    ASSERT_TRUE(second.Create());
    Pump();
    watcher = std::make_unique<WindowWatcher>();
    watcher->Ignore(dialog->m_hWnd);
    watcher->Ignore(second.m_hWnd);
}

void DialogTest::Pump() {
    MSG msg;
    while (PeekMessageW(&msg, /*hWnd=*/nullptr, 0, 0, PM_REMOVE)) {
        if (dialog == nullptr || dialog->m_hWnd == nullptr || !dialog->PreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

std::string DialogTest::ToolText(int id) const {
    // The tooltip control gives at most this many characters of a text (Wine's limit), more than any path here.
    std::wstring text(1100, L'\0');
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = dialog->m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(id));
    tool.lpszText = &text[0];
    SendMessageW(dialog->m_tooltip.m_hWnd, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tool));
    return WideToUtf8(text.c_str());
}

std::string DialogTest::Subtitle(const std::string& name, const std::string& content) {
    WriteWholeFile(dir.File(name), content);
    return dir.File(name);
}
