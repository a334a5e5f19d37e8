#include "ui/kelvaro_app.h"

#include "ui/kelvaro_dlg.h"
#include "win32ui/message_box.h"

namespace {

const char kHelpText[] =
    "Pick a .srt or .sub file with \"...\" or drop it on this window, enter the time offset, choose Add time or "
    "Reduce time, and press Synchronize.\n\nThe file is rewritten in place; the original is kept beside it under "
    "a name ending in \"_original\".";

}  // namespace

const CommandMapEntry CKelvaroApp::kCommandEntries[] = {
    OnAppCommand(ID_HELP, &CKelvaroApp::OnHelp),
};
const CommandMap CKelvaroApp::kCommandMap = {nullptr, kCommandEntries, 1};

// The one application object.
CKelvaroApp theApp;

CKelvaroApp::CKelvaroApp() = default;

const CommandMap* CKelvaroApp::GetCommandMap() const {
    return &kCommandMap;
}

BOOL CKelvaroApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControls();
    CKelvaroDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

void CKelvaroApp::OnHelp() {
    AfxMessageBox(kHelpText, MB_OK | MB_ICONINFORMATION);
}
