#include "ui/rtl_display_dlg.h"

#include <vector>

#include "engine/rtl_preview.h"
#include "engine/synchronize_file.h"
#include "platform/file_system.h"
#include "ui/file_head.h"
#include "ui/file_settings.h"
#include "ui/message_box_reporter.h"
#include "ui/resource.h"
#include "win32ui/data_exchange.h"

const char kNoRtlLinesMessage[] = "No line in the first 256 KB of this file holds a right-to-left letter.";

namespace {

// A line as the box shows it: the box puts its own line ends between lines, and a stray CR would show as a glyph.
std::string WithoutLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.pop_back();
    }
    return line;
}

}  // namespace

const RtlFixMode CRtlDisplayDlg::kModes[] = {RtlFixMode::kAllPlayers, RtlFixMode::kLtrPlayers, RtlFixMode::kLogical};

const MessageMapEntry CRtlDisplayDlg::kMessageEntries[] = {
    OnCommand(BN_CLICKED, IDC_RTL_ALL_PLAYERS, &CRtlDisplayDlg::OnChoiceChanged),
    OnCommand(BN_CLICKED, IDC_RTL_LTR_PLAYERS, &CRtlDisplayDlg::OnChoiceChanged),
    OnCommand(BN_CLICKED, IDC_RTL_LOGICAL, &CRtlDisplayDlg::OnChoiceChanged),
    OnCommand(BN_CLICKED, IDC_RTL_TO_UTF8, &CRtlDisplayDlg::OnChoiceChanged),
};
const MessageMap CRtlDisplayDlg::kMessageMap = {&kDialogMessageMap, kMessageEntries,
                                                sizeof kMessageEntries / sizeof kMessageEntries[0]};

CRtlDisplayDlg::CRtlDisplayDlg(const SyncSettings& settings, CWnd* parent)
    : CDialog(IDD_RTL_DISPLAY, parent), m_settings(settings) {}

const MessageMap* CRtlDisplayDlg::GetMessageMap() const {
    return &kMessageMap;
}

SyncSettings CRtlDisplayDlg::RunSettings() const {
    SyncSettings run = FileSettings(m_settings);
    const std::size_t modeCount = sizeof kModes / sizeof kModes[0];
    run.m_rtlFix = m_nMode >= 0 && static_cast<std::size_t>(m_nMode) < modeCount ? kModes[m_nMode] : kModes[0];
    run.m_bToUtf8 = m_bToUtf8;
    run.m_bByteOrderMark = m_bByteOrderMark;
    return run;
}

void CRtlDisplayDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Radio(pDX, IDC_RTL_ALL_PLAYERS, m_nMode);
    DDX_Check(pDX, IDC_RTL_TO_UTF8, m_bToUtf8);
    DDX_Check(pDX, IDC_RTL_BYTE_ORDER_MARK, m_bByteOrderMark);
}

BOOL CRtlDisplayDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_headStatus = ReadFileHead(FileSystem::Default(), m_settings.m_strInputFile, kPreviewBytes, &m_head);
    OnChoiceChanged();
    return TRUE;
}

void CRtlDisplayDlg::OnChoiceChanged() {
    UpdateData(TRUE);
    // The mark is a choice of the UTF-8 form only.
    ::EnableWindow(GetDlgItem(IDC_RTL_BYTE_ORDER_MARK), m_bToUtf8 == BST_CHECKED);
    ShowPreview();
}

void CRtlDisplayDlg::ShowPreview() {
    if (!m_headStatus.ok()) {
        ShowPreviewMessage(m_headStatus.message());
        return;
    }
    std::vector<RtlPreviewLine> lines;
    const Status status = PreviewRtlFix(RunSettings(), m_head, m_settings.m_strInputFile, kPreviewLines, &lines);
    if (!status.ok()) {
        ShowPreviewMessage(status.message());
        return;
    }
    if (lines.empty()) {
        ShowPreviewMessage(kNoRtlLinesMessage);
        return;
    }
    std::string before;
    std::string after;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const char* separator = i == 0 ? "" : "\r\n";
        before += separator + WithoutLineEnd(lines[i].before);
        after += separator + WithoutLineEnd(lines[i].after);
    }
    CWnd box;
    box.m_hWnd = GetDlgItem(IDC_RTL_BEFORE);
    box.SetWindowText(before);
    box.m_hWnd = GetDlgItem(IDC_RTL_AFTER);
    box.SetWindowText(after);
    ShowPreviewMessage(std::string());
}

void CRtlDisplayDlg::ShowPreviewMessage(const std::string& message) {
    const bool lines = message.empty();
    for (int id : {IDC_RTL_BEFORE_LABEL, IDC_RTL_BEFORE, IDC_RTL_AFTER_LABEL, IDC_RTL_AFTER}) {
        ShowWindow(GetDlgItem(id), lines ? SW_SHOW : SW_HIDE);
    }
    CWnd text;
    text.m_hWnd = GetDlgItem(IDC_RTL_PREVIEW_MESSAGE);
    text.SetWindowText(message);
    ShowWindow(text.m_hWnd, lines ? SW_HIDE : SW_SHOW);
}

void CRtlDisplayDlg::OnOK() {
    UpdateData(TRUE);  // nothing here can fail its validation
    MessageBoxReporter reporter;
    SynchronizeFile(RunSettings(), reporter);
    EndDialog(IDOK);
}
