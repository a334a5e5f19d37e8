#pragma once

#include <string>

#include "engine/run_reporter.h"
#include "win32ui/message_box.h"

// Every outcome of a run, file errors included, reaches the user in the program's message box.
class MessageBoxReporter : public RunReporter {
  public:
    void Succeeded(const std::string& text) override { AfxMessageBox(text); }
    void Refused(const std::string& text) override { AfxMessageBox(text); }
    void FileFailed(const std::string& text) override { AfxMessageBox(text); }
};
