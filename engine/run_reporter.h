#pragma once

#include <string>

// How a run tells its outcome; each front end supplies one (the dialog shows message boxes, the command line prints).
// Exactly one of the three is called per run.
class RunReporter {
  public:
    virtual ~RunReporter() = default;
    // The run is done; `text` says where the original is kept, then, a line each, what the user must know about
    // the result (times set to zero, lines left as they were, no times found).
    virtual void Succeeded(const std::string& text) = 0;
    // The run was refused before any file was touched: the window does not increase, or the file's name or
    // encoding is not one the program handles.
    virtual void Refused(const std::string& text) = 0;
    // A file operation failed; `text` names the file and the reason, and where every content now is.
    virtual void FileFailed(const std::string& text) = 0;
};

enum class RunOutcome { kDone, kRefused, kFileFailed };
