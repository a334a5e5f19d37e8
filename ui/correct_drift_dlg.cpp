#include "ui/correct_drift_dlg.h"

#include <commctrl.h>

#include "engine/synchronize_file.h"
#include "ui/cue_time_field.h"
#include "ui/drift_preview.h"
#include "ui/file_settings.h"
#include "ui/message_box_reporter.h"
#include "ui/resource.h"
#include "ui/subtitle_file.h"
#include "win32ui/data_exchange.h"
#include "win32ui/message_box.h"

const char kSameTimeMessage[] = "The two cues must be at different times";

std::string UnlikelySpeedMessage(const TimeTransform& drift, bool fromRates) {
    return std::string("The ") + (fromRates ? "frame rates" : "two points") + " give a speed of " + drift.SpeedText() +
           ", which is most likely a mistake; check the " + (fromRates ? "rates" : "times");
}

const CCorrectDriftDlg::Tooltip CCorrectDriftDlg::kTooltips[] = {
    // A tooltip shows at most 79 characters of a text given this way.
    {IDC_DRIFT_POINTS, "Correct from cues whose right times you know"},
    {IDC_DRIFT_RATES, "Correct for a video of another frame rate than the file was timed for"},
    {IDC_DRIFT_SOURCE1, "The time of a cue as the file has it now, as H:MM:SS,mmm"},
    {IDC_DRIFT_TARGET1, "The time that cue should have; with one cue, every cue moves by as much"},
    {IDC_DRIFT_SECOND, "Check to give a second cue, so that the speed is corrected as well"},
    {IDC_DRIFT_SOURCE2, "The time of another cue as the file has it now, best far from the first"},
    {IDC_DRIFT_TARGET2, "The time that second cue should have"},
    {IDC_DRIFT_FROM_RATE, "The frame rate of the video the file was timed against"},
    {IDC_DRIFT_TO_RATE, "The frame rate of the video it will be played with"},
    {IDC_DRIFT_MATCH, "Correct from another subtitle of the video, in any language, that is in sync"},
    {IDC_DRIFT_REFERENCE, "The subtitle in sync: only when its cues start counts, not what they say"},
    {IDC_DRIFT_BROWSE, "Browse for the subtitle that is in sync, or drop it on this dialog"},
    {IDOK, "Re-time the file; the original is kept as NAME_original, as Synchronize does"},
};
const std::size_t CCorrectDriftDlg::kTooltipCount = sizeof kTooltips / sizeof kTooltips[0];

const MessageMapEntry CCorrectDriftDlg::kMessageEntries[] = {
    OnCommand(BN_CLICKED, IDC_DRIFT_POINTS, &CCorrectDriftDlg::OnChoiceChanged),
    OnCommand(BN_CLICKED, IDC_DRIFT_RATES, &CCorrectDriftDlg::OnChoiceChanged),
    OnCommand(BN_CLICKED, IDC_DRIFT_MATCH, &CCorrectDriftDlg::OnChoiceChanged),
    OnCommand(BN_CLICKED, IDC_DRIFT_SECOND, &CCorrectDriftDlg::OnChoiceChanged),
    OnCommand(CBN_SELCHANGE, IDC_DRIFT_FROM_RATE, &CCorrectDriftDlg::OnChoiceChanged),
    OnCommand(CBN_SELCHANGE, IDC_DRIFT_TO_RATE, &CCorrectDriftDlg::OnChoiceChanged),
    OnCommand(EN_CHANGE, IDC_DRIFT_SOURCE1, &CCorrectDriftDlg::OnChoiceChanged),
    OnCommand(EN_CHANGE, IDC_DRIFT_TARGET1, &CCorrectDriftDlg::OnChoiceChanged),
    OnCommand(EN_CHANGE, IDC_DRIFT_SOURCE2, &CCorrectDriftDlg::OnChoiceChanged),
    OnCommand(EN_CHANGE, IDC_DRIFT_TARGET2, &CCorrectDriftDlg::OnChoiceChanged),
    OnCommand(EN_CHANGE, IDC_DRIFT_REFERENCE, &CCorrectDriftDlg::OnChoiceChanged),
    OnCommand(EN_KILLFOCUS, IDC_DRIFT_SOURCE1, &CCorrectDriftDlg::OnKillfocusTimeField),
    OnCommand(EN_KILLFOCUS, IDC_DRIFT_TARGET1, &CCorrectDriftDlg::OnKillfocusTimeField),
    OnCommand(EN_KILLFOCUS, IDC_DRIFT_SOURCE2, &CCorrectDriftDlg::OnKillfocusTimeField),
    OnCommand(EN_KILLFOCUS, IDC_DRIFT_TARGET2, &CCorrectDriftDlg::OnKillfocusTimeField),
    OnCommand(BN_CLICKED, IDC_DRIFT_BROWSE, &CCorrectDriftDlg::OnBrowseReference),
    OnDropFilesMessage(&CCorrectDriftDlg::OnDropFiles),
};
const MessageMap CCorrectDriftDlg::kMessageMap = {&kDialogMessageMap, kMessageEntries,
                                                  sizeof kMessageEntries / sizeof kMessageEntries[0]};

CCorrectDriftDlg::CCorrectDriftDlg(const SyncSettings& settings, CWnd* parent)
    : CDialog(IDD_CORRECT_DRIFT, parent), m_settings(settings) {}

const MessageMap* CCorrectDriftDlg::GetMessageMap() const {
    return &kMessageMap;
}

bool CCorrectDriftDlg::Drift(TimeTransform* drift, std::string* refusal) const {
    const auto rate = [](std::int32_t index) {
        return index >= 0 && static_cast<std::size_t>(index) < kCommonFrameRateCount ? kCommonFrameRates[index]
                                                                                     : kCommonFrameRates[0];
    };
    const bool fromRates = m_nKind == kFrameRate;
    if (fromRates) {
        *drift = TimeTransform::Rates(rate(m_nFromRate), rate(m_nToRate));
    } else if (m_bSecondPoint != BST_CHECKED) {
        *drift = TimeTransform::Shift(static_cast<std::int64_t>(m_nTarget1) - m_nSource1);
    } else if (m_nSource1 == m_nSource2) {
        *refusal = kSameTimeMessage;
        return false;
    } else {
        *drift = TimeTransform::ThroughPoints(m_nSource1, m_nTarget1, m_nSource2, m_nTarget2);
    }
    if (!drift->SpeedIsLikely()) {
        *refusal = UnlikelySpeedMessage(*drift, fromRates);
        return false;
    }
    return true;
}

SyncSettings CCorrectDriftDlg::RunSettings() const {
    SyncSettings run = FileSettings(m_settings);
    if (m_nKind == kMatch) {
        run.m_matchReference = m_strReference;
        return run;
    }
    std::string refusal;
    if (!Drift(&run.m_drift, &refusal)) {
        run.m_drift = TimeTransform();
    }
    return run;
}

void CCorrectDriftDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Radio(pDX, IDC_DRIFT_POINTS, m_nKind);
    DDX_Check(pDX, IDC_DRIFT_SECOND, m_bSecondPoint);
    DDX_CBIndex(pDX, IDC_DRIFT_FROM_RATE, m_nFromRate);
    DDX_CBIndex(pDX, IDC_DRIFT_TO_RATE, m_nToRate);
    DDX_Text(pDX, IDC_DRIFT_REFERENCE, m_strReference);
    // Fields that are off are shown but neither read nor checked: what they hold does not count.
    const bool all = !pDX->m_bSaveAndValidate;
    if (all || m_nKind == kPoints) {
        DDX_CueTime(pDX, IDC_DRIFT_SOURCE1, m_nSource1, "the time of the first cue");
        DDX_CueTime(pDX, IDC_DRIFT_TARGET1, m_nTarget1, "where the first cue should be");
    }
    if (all || (m_nKind == kPoints && m_bSecondPoint == BST_CHECKED)) {
        DDX_CueTime(pDX, IDC_DRIFT_SOURCE2, m_nSource2, "the time of the second cue");
        DDX_CueTime(pDX, IDC_DRIFT_TARGET2, m_nTarget2, "where the second cue should be");
    }
}

BOOL CCorrectDriftDlg::OnInitDialog() {
    for (int id : {IDC_DRIFT_FROM_RATE, IDC_DRIFT_TO_RATE}) {
        for (const FrameRate& rate : kCommonFrameRates) {
            const std::string text = rate.ToString();
            const std::wstring wide(text.begin(), text.end());
            SendMessageW(GetDlgItem(id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
        }
    }
    // The points open on the file's first and last cue, each where it is: a correction of nothing, which the preview
    // of the whole file shows.
    CueSpans spans;
    const std::string preview = DriftPreview(RunSettings(), &spans);
    if (spans.found) {
        m_nSource1 = m_nTarget1 = spans.first_before.start;
        m_nSource2 = m_nTarget2 = spans.last_before.start;
    }
    CDialog::OnInitDialog();

    m_tooltip.Create(this, TTS_ALWAYSTIP);
    m_tooltip.Activate(TRUE);
    for (std::size_t i = 0; i < kTooltipCount; ++i) {
        m_tooltip.AddTool(GetDlgItem(kTooltips[i].id), kTooltips[i].text);
    }
    EnableChoices();
    ShowPreviewText(preview);
    DragAcceptFiles(m_hWnd, TRUE);
    return TRUE;
}

BOOL CCorrectDriftDlg::PreTranslateMessage(MSG* msg) {
    m_tooltip.RelayEvent(msg);
    return CDialog::PreTranslateMessage(msg);
}

void CCorrectDriftDlg::OnChoiceChanged() {
    std::string failure;
    const bool read = UpdateDataQuietly(&failure);
    EnableChoices();
    if (read) {
        ShowPreview();
    } else {
        ShowPreviewText(failure);
    }
}

void CCorrectDriftDlg::OnKillfocusTimeField() {
    UpdateData(TRUE);
}

void CCorrectDriftDlg::OnBrowseReference() {
    ChooseReference(BrowseForSubtitle(this));
}

void CCorrectDriftDlg::OnDropFiles(HDROP drop) {
    ChooseReference(DroppedSubtitle(drop));
}

void CCorrectDriftDlg::ChooseReference(const std::string& path) {
    if (path.empty()) {
        return;
    }
    ::CheckRadioButton(m_hWnd, IDC_DRIFT_POINTS, IDC_DRIFT_MATCH, IDC_DRIFT_MATCH);
    CWnd field;
    field.m_hWnd = GetDlgItem(IDC_DRIFT_REFERENCE);
    // Its EN_CHANGE reads the choice and shows what matching finds. The caret at the end scrolls the field to the
    // file's own name, which a long folder would otherwise hide.
    field.SetWindowText(path);
    const LRESULT end = GetWindowTextLengthW(field.m_hWnd);
    SendMessageW(field.m_hWnd, EM_SETSEL, end, end);
    SendMessageW(field.m_hWnd, EM_SCROLLCARET, 0, 0);
}

void CCorrectDriftDlg::EnableChoices() {
    const bool points = m_nKind == kPoints;
    const bool rates = m_nKind == kFrameRate;
    const bool match = m_nKind == kMatch;
    const bool second = points && m_bSecondPoint == BST_CHECKED;
    const struct {
        int id;
        bool enabled;
    } controls[] = {
        {IDC_DRIFT_SOURCE1, points}, {IDC_DRIFT_TARGET1, points},  {IDC_DRIFT_SECOND, points},
        {IDC_DRIFT_SOURCE2, second}, {IDC_DRIFT_TARGET2, second},  {IDC_DRIFT_FROM_RATE, rates},
        {IDC_DRIFT_TO_RATE, rates},  {IDC_DRIFT_REFERENCE, match}, {IDC_DRIFT_BROWSE, match},
    };
    for (const auto& control : controls) {
        ::EnableWindow(GetDlgItem(control.id), control.enabled);
    }
}

void CCorrectDriftDlg::ShowPreview() {
    std::string text;
    TimeTransform drift;
    if (m_nKind == kMatch) {
        MatchPreview(m_settings, m_strReference, &text);
    } else if (Drift(&drift, &text)) {
        text = DriftPreview(RunSettings());
    }
    ShowPreviewText(text);
}

void CCorrectDriftDlg::ShowPreviewText(const std::string& text) {
    CWnd preview;
    preview.m_hWnd = GetDlgItem(IDC_DRIFT_PREVIEW);
    preview.SetWindowText(text);
}

void CCorrectDriftDlg::OnOK() {
    if (!UpdateData(TRUE)) {
        return;
    }
    // Matching is checked here as well as by the run, so that a refusal leaves the dialog open.
    std::string refusal;
    TimeTransform drift;
    if (m_nKind == kMatch ? !MatchPreview(m_settings, m_strReference, &refusal) : !Drift(&drift, &refusal)) {
        AfxMessageBox(refusal);
        return;
    }
    MessageBoxReporter reporter;
    SynchronizeFile(RunSettings(), reporter);
    EndDialog(IDOK);
}
