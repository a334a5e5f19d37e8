#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "engine/sync_settings.h"
#include "platform/win32/afx_dialog.h"
#include "platform/win32/afx_tooltip.h"

class CDataExchange;

// The program's one window. The settings of the next run are the dialog's data-exchange members; Synchronize
// re-times m_strInputFile with them, and the chosen file is remembered in "kv.ini" in the start-up directory.
class CKelvaroDlg : public CDialog, public SyncSettings {
  public:
    explicit CKelvaroDlg(CWnd* parent = nullptr);
    ~CKelvaroDlg() override;

    BOOL PreTranslateMessage(MSG* msg) override;

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
    void OnKillfocusTimeField();
    void OnBrowse();
    // A file dropped from the file manager is taken as if Browse had chosen it; of several, the first.
    void OnDropFiles(HDROP drop);

  private:
    void ChooseInputFile(const std::string& path, const std::string& extension);

    static const MessageMapEntry kMessageEntries[];
    static const MessageMap kMessageMap;
};
