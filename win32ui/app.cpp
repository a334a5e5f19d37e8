#include "win32ui/app.h"

#include <commctrl.h>

namespace {

CWinApp* g_app = nullptr;

const CommandMap kNoCommands = {nullptr, nullptr, 0};

}  // namespace

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    MSG msg;
    while (GetMessageW(&msg, /*hWnd=*/nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

bool CWinApp::OnCmdMsg(UINT id) {
    for (const CommandMap* map = GetCommandMap(); map != nullptr; map = map->base) {
        for (std::size_t i = 0; i < map->count; ++i) {
            if (map->entries[i].id == id) {
                (this->*map->entries[i].handler)();
                return true;
            }
        }
    }
    return false;
}

const CommandMap* CWinApp::GetCommandMap() const {
    return &kNoCommands;
}

CWinApp* AfxGetApp() {
    return g_app;
}

CWnd* AfxGetMainWnd() {
    return g_app != nullptr ? g_app->m_pMainWnd : nullptr;
}

int AfxWinMain() {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_DATE_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);
    CWinApp* app = AfxGetApp();
    if (app == nullptr || !app->InitInstance()) {
        return 0;
    }
    return app->Run();
}
