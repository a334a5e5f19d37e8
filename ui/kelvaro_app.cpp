#include "ui/kelvaro_app.h"

#include "ui/kelvaro_dlg.h"

const CommandMapEntry CKelvaroApp::kCommandEntries[] = {
    {ID_HELP, &CKelvaroApp::OnHelp},
};
const CommandMap CKelvaroApp::kCommandMap = {nullptr, kCommandEntries, 1};

// The one application object.
CKelvaroApp theApp;

CKelvaroApp::CKelvaroApp() : CWinApp(nullptr) {}

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
