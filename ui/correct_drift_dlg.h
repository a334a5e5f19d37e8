#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/sync_settings.h"
#include "win32ui/dialog.h"
#include "win32ui/tooltip.h"

class CDataExchange;

// "Correct drift": re-times the main dialog's file by a change of speed as well as an offset, with nothing else of a
// run (no offset fields, window, number reduction, orientation switch or right-to-left fix). The correction comes
// from one cue whose right time is known (a shift), from two (a speed and an offset), from the frame rate the file
// was timed for and the one it will be played at, or from matching the file's cues to those of another subtitle of
// the video that is in sync with it (chosen by typing, Browse or a drop on the dialog, which also selects that
// choice). The fields open on the file's first and last cue, each going where it is, and a preview line shows the
// correction and what it does to the first and last cue, or what matching finds and how well it matches, again
// whenever a choice changes. OK runs it as Synchronize runs (the same backups and message boxes) and closes; a speed
// that is most likely a mistake, two cues at the same time, a field that holds no time, no subtitle to match or a
// match that cannot be trusted is refused with a message box and the dialog stays. Cancel changes nothing.
class CCorrectDriftDlg : public CDialog {
  public:
    // `settings`: the main dialog's, whose file and code page the run takes.
    CCorrectDriftDlg(const SyncSettings& settings, CWnd* parent);

    BOOL PreTranslateMessage(MSG* msg) override;

    // The correction the points or the rates in the members give. False when it must not run, with the reason in
    // `*refusal`.
    bool Drift(TimeTransform* drift, std::string* refusal) const;
    // The settings OK runs with: the main dialog's file with Drift()'s correction alone, or, to match, with
    // m_matchReference alone.
    SyncSettings RunSettings() const;

    enum Kind { kPoints = 0, kFrameRate = 1, kMatch = 2 };
    std::int32_t m_nKind = kPoints;  // radio index
    CueTime m_nSource1 = 0;          // the first cue's time in the file, and where it should be
    CueTime m_nTarget1 = 0;
    std::int32_t m_bSecondPoint = 0;
    CueTime m_nSource2 = 0;
    CueTime m_nTarget2 = 0;
    std::int32_t m_nFromRate = 0;  // indexes into kCommonFrameRates
    std::int32_t m_nToRate = 2;
    std::string m_strReference;  // the subtitle in sync, to match

    // A control and the tooltip the dialog gives it.
    struct Tooltip {
        int id;
        const char* text;
    };
    static const Tooltip kTooltips[];
    static const std::size_t kTooltipCount;

    CToolTipCtrl m_tooltip;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    const MessageMap* GetMessageMap() const override;

    // A radio button, the second cue's box, a list or a field's text changed: reads the controls without
    // complaining, so that the preview follows the typing.
    void OnChoiceChanged();
    // Validates the fields when a time field loses the focus, as the main dialog does.
    void OnKillfocusTimeField();
    void OnBrowseReference();
    // A file dropped from the file manager on the dialog is taken as if Browse had chosen it.
    void OnDropFiles(HDROP drop);

  private:
    // Enables the controls of the chosen kind, and the second cue's fields only when its box is checked.
    void EnableChoices();
    void ShowPreview();
    void ShowPreviewText(const std::string& text);
    // Selects matching to `path`, a subtitle the user chose; an empty one (none chosen) changes nothing.
    void ChooseReference(const std::string& path);

    SyncSettings m_settings;

    static const MessageMapEntry kMessageEntries[];
    static const MessageMap kMessageMap;
};

// The refusals of Drift().
extern const char kSameTimeMessage[];
// "The two points give a speed of 250.000 %, which is most likely a mistake; check the times", and for the rates.
std::string UnlikelySpeedMessage(const TimeTransform& drift, bool fromRates);
