#pragma once

#include <string>

#include "engine/run_reporter.h"

// How kelvaro-cli tells the outcome of one FILE. What was done goes to standard output: where the original is kept,
// and a summary of the times that moved ("12 cue times moved by +1.500 s; 3 outside the window left as they were");
// for a preview, what would move and the first and last cue before and after. Everything else goes to standard
// error, a line each, after "kelvaro-cli: FILE: " (or "kelvaro-cli: " when the line names the file itself): the
// notes about the result, refusals and failures, with a hint of what to do where one helps. When standard output
// carries a rewritten stream, or does not take the text, the text goes to standard error too; in the second case
// after a line that says so, since the file is done all the same.
class ConsoleReporter : public RunReporter {
  public:
    enum class Mode { kRun, kPreview, kRestore };
    ConsoleReporter(const std::string& file, Mode mode, bool stream_on_output)
        : m_file(file), m_mode(mode), m_stream_on_output(stream_on_output) {}

    void Succeeded(const std::string& text) override;
    void Done(const RunReport& report) override;
    void Refused(const std::string& text) override;
    void FileFailed(const std::string& text) override;
    // A FILE left out of the run, with the reason; not a failure.
    void Skipped(const std::string& reason);

  private:
    std::string Summary(const RunReport& report) const;
    void Complain(const std::string& text);
    // Each line of `text` to standard error, after the program's and the file's name.
    void ToError(const std::string& text);

    const std::string& m_file;
    Mode m_mode;
    bool m_stream_on_output;
};
