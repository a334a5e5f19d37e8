#pragma once

#include "platform/win32/afx_app.h"

// The application object: runs the main dialog modally, then lets the process end.
class CKelvaroApp : public CWinApp {
  public:
    CKelvaroApp();

    BOOL InitInstance() override;

  protected:
    const CommandMap* GetCommandMap() const override;

  private:
    static const CommandMapEntry kCommandEntries[];
    static const CommandMap kCommandMap;
};
