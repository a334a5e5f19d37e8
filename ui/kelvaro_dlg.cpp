#include "ui/kelvaro_dlg.h"

#include <commctrl.h>

#include "engine/restore_file.h"
#include "engine/run_names.h"
#include "engine/synchronize_file.h"
#include "kelvaro_version.h"
#include "platform/code_page.h"
#include "platform/current_directory.h"
#include "store/last_file_store.h"
#include "ui/correct_drift_dlg.h"
#include "ui/message_box_reporter.h"
#include "ui/resource.h"
#include "ui/rtl_display_dlg.h"
#include "ui/subtitle_file.h"
#include "win32ui/app.h"
#include "win32ui/data_exchange.h"
#include "win32ui/message_box.h"

namespace {

// The commands the system menu gains after its own, in this order. Those on the chosen file are grayed until there
// is one.
const struct {
    UINT id;
    const wchar_t* text;
    bool onFile;
} kSystemMenuCommands[] = {
    {IDM_RTL_DISPLAY, L"Right-to-left display...", true},
    {IDM_CORRECT_DRIFT, L"Correct drift...", true},
    {IDM_RESTORE_ORIGINAL, L"Restore the original", true},
    {IDM_ABOUT, L"About Kelvaro...", false},
};

// What "About Kelvaro..." shows: the name, version and copyright that the version record gives too.
const char kAboutText[] = KELVARO_PRODUCT_NAME " " KELVARO_VERSION "\n" KELVARO_COPYRIGHT;

// "Put back film_original.srt as film.srt? The re-timed film.srt is replaced."
std::string RestoreQuestion(const std::string& path) {
    const std::string name = FileName(path);
    return "Put back " + FileName(OriginalName(path)) + " as " + name + "? The re-timed " + name + " is replaced.";
}

}  // namespace

const CKelvaroDlg::Tooltip CKelvaroDlg::kTooltips[] = {
    {IDC_ADD_TIME, "Add time to subtitles"},
    {IDC_REDUCE_NUMBER, "Reduce subtitles unique id"},
    {IDC_REDUCE_TIME, "Reduce time from subtitles"},
    {IDC_SYNCHRONIZE, "Start Synch"},
    {IDC_BROWSE, "Browse for subtitles file"},
    {IDC_HOURS, "Enter a number 0-3"},
    {IDC_MINUTES, "Enter a number 0-59"},
    {IDC_SECONDS, "Enter a number 0-59"},
    {IDC_MILLISECONDS, "Enter a number 0-999"},
    // A tooltip shows at most 79 characters of a text given this way.
    {IDC_SWITCH_ORIENTATION, "Check for players that cannot show right-to-left text: stores lines as shown"},
    {IDC_BETWEEN_TIMES, "Check in order to synchronize only subtitles between the selected times"},
    {IDC_FROM_TIME, "From"},
    {IDC_TO_TIME, "To"},
};
const std::size_t CKelvaroDlg::kTooltipCount = sizeof kTooltips / sizeof kTooltips[0];

const MessageMapEntry CKelvaroDlg::kMessageEntries[] = {
    OnMessage(WM_PAINT, &CKelvaroDlg::OnPaint),
    OnQueryDragIconMessage(&CKelvaroDlg::OnQueryDragIcon),
    OnCommand(BN_CLICKED, IDC_SYNCHRONIZE, &CKelvaroDlg::OnSynchronize),
    OnCommand(EN_KILLFOCUS, IDC_HOURS, &CKelvaroDlg::OnKillfocusTimeField),
    OnCommand(EN_KILLFOCUS, IDC_MINUTES, &CKelvaroDlg::OnKillfocusTimeField),
    OnCommand(EN_KILLFOCUS, IDC_MILLISECONDS, &CKelvaroDlg::OnKillfocusTimeField),
    OnCommand(EN_KILLFOCUS, IDC_SECONDS, &CKelvaroDlg::OnKillfocusTimeField),
    OnCommand(EN_KILLFOCUS, IDC_REDUCE_NUMBER, &CKelvaroDlg::OnKillfocusTimeField),
    OnCommand(BN_CLICKED, IDC_BROWSE, &CKelvaroDlg::OnBrowse),
    OnDropFilesMessage(&CKelvaroDlg::OnDropFiles),
    OnSysCommand(IDM_RTL_DISPLAY, &CKelvaroDlg::OnRtlDisplay),
    OnSysCommand(IDM_CORRECT_DRIFT, &CKelvaroDlg::OnCorrectDrift),
    OnSysCommand(IDM_RESTORE_ORIGINAL, &CKelvaroDlg::OnRestoreOriginal),
    OnSysCommand(IDM_ABOUT, &CKelvaroDlg::OnAbout),
};
const MessageMap CKelvaroDlg::kMessageMap = {&kDialogMessageMap, kMessageEntries,
                                             sizeof kMessageEntries / sizeof kMessageEntries[0]};

CKelvaroDlg::CKelvaroDlg() : CDialog(IDD_MAIN_DIALOG) {
    m_hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CKelvaroDlg::~CKelvaroDlg() = default;

const MessageMap* CKelvaroDlg::GetMessageMap() const {
    return &kMessageMap;
}

void CKelvaroDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_SYNCHRONIZE, m_btnSynchronize);
    DDX_Text(pDX, IDC_HOURS, m_nHours);
    DDV_MinMaxUInt(pDX, m_nHours, 0, 3);
    DDX_Text(pDX, IDC_MINUTES, m_nMinutes);
    DDV_MinMaxUInt(pDX, m_nMinutes, 0, 59);
    DDX_Text(pDX, IDC_MILLISECONDS, m_nMilliseconds);
    DDV_MinMaxUInt(pDX, m_nMilliseconds, 0, 999);
    DDX_Text(pDX, IDC_REDUCE_NUMBER, m_nReduceNumber);
    DDV_MinMaxUInt(pDX, m_nReduceNumber, 0, 5000);
    DDX_Text(pDX, IDC_SECONDS, m_nSeconds);
    DDV_MinMaxUInt(pDX, m_nSeconds, 0, 59);
    DDX_Radio(pDX, IDC_ADD_TIME, m_nDirection);
    DDX_Text(pDX, IDC_INPUT_FILE, m_strInputFile);
    DDX_Check(pDX, IDC_SWITCH_ORIENTATION, m_bSwitchOrientation);
    DDX_DateTimeCtrl(pDX, IDC_FROM_TIME, m_timeFrom);
    DDX_DateTimeCtrl(pDX, IDC_TO_TIME, m_timeTo);
    DDX_Check(pDX, IDC_BETWEEN_TIMES, m_bBetweenTimes);
}

BOOL CKelvaroDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_tooltip.Create(this, TTS_ALWAYSTIP);
    m_tooltip.Activate(TRUE);
    for (std::size_t i = 0; i < kTooltipCount; ++i) {
        m_tooltip.AddTool(GetDlgItem(kTooltips[i].id), kTooltips[i].text);
    }
    // The input field's tip is the whole path, which the field itself may be too narrow to show.
    m_tooltip.AddTool(GetDlgItem(IDC_INPUT_FILE), std::string());

    const HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
    AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    for (const auto& command : kSystemMenuCommands) {
        AppendMenuW(systemMenu, MF_STRING | (command.onFile ? MF_GRAYED : 0), command.id, command.text);
    }

    m_strStartDir = CurrentDirectory();
    if (!m_strStartDir.empty()) {
        m_strInputFile = LoadLastFile(m_strStartDir);
    }
    if (!m_strInputFile.empty()) {
        EnableFileCommands();
    }
    // Lines that are not UTF-8 are read in Windows' code page when it is a Hebrew or Arabic one.
    m_codePage = CodePageFromAnsiNumber(AnsiCodePageNumber());
    m_timeFrom = WindowTime(0, 0, 0);
    m_timeTo = m_timeFrom;
    DragAcceptFiles(m_hWnd, TRUE);

    UpdateData(FALSE);
    ShowInputFile();
    return TRUE;
}

BOOL CKelvaroDlg::PreTranslateMessage(MSG* msg) {
    m_tooltip.RelayEvent(msg);
    return CDialog::PreTranslateMessage(msg);
}

void CKelvaroDlg::OnPaint() {
    if (!IsIconic(m_hWnd)) {
        CDialog::OnPaint();
        return;
    }
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
}

HCURSOR CKelvaroDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_hIcon);
}

void CKelvaroDlg::OnSynchronize() {
    if (!UpdateData(TRUE)) {
        return;
    }
    MessageBoxReporter reporter;
    SynchronizeFile(*this, reporter);
}

void CKelvaroDlg::OnRtlDisplay() {
    // The item is grayed until a file is chosen; a command sent by another program then does nothing either.
    if (m_strInputFile.empty()) {
        return;
    }
    CRtlDisplayDlg dialog(*this, this);
    dialog.DoModal();
}

void CKelvaroDlg::OnCorrectDrift() {
    if (m_strInputFile.empty()) {
        return;
    }
    CCorrectDriftDlg dialog(*this, this);
    dialog.DoModal();
}

void CKelvaroDlg::OnRestoreOriginal() {
    if (m_strInputFile.empty() || AfxMessageBox(RestoreQuestion(m_strInputFile), MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    MessageBoxReporter reporter;
    RestoreFile(m_strInputFile, reporter);
}

void CKelvaroDlg::OnAbout() {
    AfxMessageBox(kAboutText, MB_OK | MB_ICONINFORMATION);
}

void CKelvaroDlg::OnKillfocusTimeField() {
    UpdateData(TRUE);
}

void CKelvaroDlg::OnBrowse() {
    ChooseInputFile(BrowseForSubtitle(this));
}

void CKelvaroDlg::OnDropFiles(HDROP drop) {
    ChooseInputFile(DroppedSubtitle(drop));
}

void CKelvaroDlg::ChooseInputFile(const std::string& path) {
    if (path.empty()) {
        return;
    }
    m_strInputFile = path;
    ShowInputFile();
    EnableFileCommands();
    if (!m_strStartDir.empty()) {
        SaveLastFile(m_strStartDir, m_strInputFile);
    }
}

void CKelvaroDlg::EnableFileCommands() {
    m_btnSynchronize.EnableWindow(TRUE);
    for (const auto& command : kSystemMenuCommands) {
        if (command.onFile) {
            EnableMenuItem(GetSystemMenu(m_hWnd, FALSE), command.id, MF_BYCOMMAND | MF_ENABLED);
        }
    }
}

void CKelvaroDlg::ShowInputFile() {
    CWnd field;
    field.m_hWnd = GetDlgItem(IDC_INPUT_FILE);
    field.SetWindowText(m_strInputFile);
    // The caret at the end scrolls the field to the file's own name, which a long folder would otherwise hide.
    const LRESULT end = GetWindowTextLengthW(field.m_hWnd);
    SendMessageW(field.m_hWnd, EM_SETSEL, end, end);
    SendMessageW(field.m_hWnd, EM_SCROLLCARET, 0, 0);
    m_tooltip.UpdateTipText(field.m_hWnd, m_strInputFile);
}
