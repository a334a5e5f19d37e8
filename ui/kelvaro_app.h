#pragma once

#include "win32ui/app.h"

// The application object: runs the main dialog modally, then lets the process end.
class CKelvaroApp : public CWinApp {
  public:
    CKelvaroApp();

    BOOL InitInstance() override;

  protected:
    const CommandMap* GetCommandMap() const override;
    // The program has no help file: the help command (F1) shows a short how-to in a message box.
    void OnHelp();

  private:
    static const CommandMapEntry kCommandEntries[];
    static const CommandMap kCommandMap;
};
