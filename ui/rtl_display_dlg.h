#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/sync_settings.h"
#include "platform/status.h"
#include "win32ui/dialog.h"

class CDataExchange;

// "Right-to-left display": brings the right-to-left lines of the main dialog's file into the form that the chosen
// players show right, with nothing else of a run (no offset, window, number reduction or orientation switch). It opens
// with "All players", UTF-8 off and the byte-order mark on, and shows the file's first right-to-left lines as the file
// has them and as they will be, again whenever the mode or the UTF-8 box changes. OK runs the fix as Synchronize runs
// (the same backups and message boxes) and closes, after a refusal too, which its message box has told; Cancel
// changes nothing.
class CRtlDisplayDlg : public CDialog {
  public:
    // `settings`: the main dialog's, whose file and code page the run takes.
    CRtlDisplayDlg(const SyncSettings& settings, CWnd* parent);

    // The settings OK runs with, from the choices in the members.
    SyncSettings RunSettings() const;

    // The modes in the order of the dialog's radio buttons.
    static const RtlFixMode kModes[];
    std::int32_t m_nMode = 0;  // radio index into kModes
    std::int32_t m_bToUtf8 = 0;
    std::int32_t m_bByteOrderMark = 1;

    // The preview reads this much of the file and shows this many lines.
    static constexpr std::size_t kPreviewBytes = 256 * 1024;
    static constexpr std::size_t kPreviewLines = 5;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    const MessageMap* GetMessageMap() const override;

    // A mode's radio button or the UTF-8 box was clicked.
    void OnChoiceChanged();

  private:
    void ShowPreview();
    // Shows `message` in place of the preview's lines; with an empty message, the lines.
    void ShowPreviewMessage(const std::string& message);

    SyncSettings m_settings;
    // The file's first bytes, read once when the dialog opens, or why they could not be.
    std::string m_head;
    Status m_headStatus;

    static const MessageMapEntry kMessageEntries[];
    static const MessageMap kMessageMap;
};

// What the preview shows for a file whose first bytes hold no right-to-left line.
extern const char kNoRtlLinesMessage[];
