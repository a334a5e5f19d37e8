#pragma once

#include <windows.h>

#include <shellapi.h>

#include <cstddef>
#include <string>

#include "engine/sync_settings.h"
#include "win32ui/dialog.h"
#include "win32ui/tooltip.h"

class CDataExchange;

// The program's main window. The settings of the next run are the dialog's data-exchange members; Synchronize
// re-times m_strInputFile with them, and the chosen file is remembered in "kv.ini" in the start-up directory. The
// system menu's "Right-to-left display..." and "Correct drift..." open CRtlDisplayDlg and CCorrectDriftDlg on the same
// file, "Restore the original" puts back the file's backup once the user agrees, and "About Kelvaro..." shows the
// program's name, version and copyright. Like Synchronize, the commands on the file are available once one is
// chosen.
class CKelvaroDlg : public CDialog, public SyncSettings {
  public:
    CKelvaroDlg();
    ~CKelvaroDlg() override;

    BOOL PreTranslateMessage(MSG* msg) override;

    // A control and the tooltip the dialog gives it.
    struct Tooltip {
        int id;
        const char* text;
    };
    // The tooltips of the dialog's fixed texts, in the order the dialog registers them; the input field's tooltip,
    // registered after them, shows the chosen path.
    static const Tooltip kTooltips[];
    static const std::size_t kTooltipCount;

    CButton m_btnSynchronize;
    // The working directory when the dialog opened, whole. Empty when the system could not tell it; the last-file
    // store is then left alone for this launch, as "kv.ini" would otherwise land in some other directory.
    std::string m_strStartDir;
    HICON m_hIcon;
    CToolTipCtrl m_tooltip;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    const MessageMap* GetMessageMap() const override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();
    // Runs nothing when a field fails its validation: the user has seen why and the focus is on that field.
    void OnSynchronize();
    // Validates the fields when one of the four time fields or the subtitle-number field loses the focus.
    void OnKillfocusTimeField();
    void OnRtlDisplay();
    void OnCorrectDrift();
    // Asks first, naming the backup and the file it replaces; No changes nothing.
    void OnRestoreOriginal();
    void OnAbout();
    void OnBrowse();
    // A file dropped from the file manager is taken as if Browse had chosen it; of several, the first.
    void OnDropFiles(HDROP drop);

  private:
    // Makes Synchronize and the system menu's commands on the file available, once there is a file to run on.
    void EnableFileCommands();
    // Shows m_strInputFile in its field, scrolled to its end, and as the field's tooltip.
    void ShowInputFile();
    // Takes `path`, a subtitle file the user chose; an empty one (none chosen) changes nothing.
    void ChooseInputFile(const std::string& path);

    static const MessageMapEntry kMessageEntries[];
    static const MessageMap kMessageMap;
};
