#pragma once

#include <windows.h>

#include <cstddef>

#include "win32ui/wnd.h"

class CWinApp;

// The help command (F1).
constexpr UINT ID_HELP = 0xE146;

// The command map of an application object: command ids to member handlers, searched before the base's map.
struct CommandMapEntry {
    UINT id;
    void (CWinApp::*handler)();
};
struct CommandMap {
    const CommandMap* base;
    const CommandMapEntry* entries;
    std::size_t count;
};

// A row for a derived application's map, written as OnAppCommand(ID_HELP, &CMyApp::OnHelp).
template <class App>
constexpr CommandMapEntry OnAppCommand(UINT id, void (App::*handler)()) {
    return {id, static_cast<void (CWinApp::*)()>(handler)};
}

// The application object. Exactly one exists, constructed during static initialisation; the entry point calls its
// InitInstance and, only when that returns TRUE, runs a message loop until WM_QUIT.
class CWinApp {
  public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int Run();

    // Runs the handler that the command map gives for `id`; false when no entry names it.
    bool OnCmdMsg(UINT id);

    // The window that message boxes and file dialogs belong to while it exists.
    CWnd* m_pMainWnd = nullptr;

  protected:
    virtual const CommandMap* GetCommandMap() const;
    // Kept for the program's start-up sequence; Windows has drawn 3-D controls itself since Windows 95.
    void Enable3dControls() {}
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// Kept for the program's start-up sequence; no ActiveX controls are hosted, so there is nothing to enable.
inline void AfxEnableControlContainer() {}
// What WinMain does: registers the common control classes, then runs the application object. Returns the process
// exit code.
int AfxWinMain();
