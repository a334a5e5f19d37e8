// kelvaro-cli: the synchronization engine on the command line.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"
#include "engine/synchronize_file.h"
#include "kelvaro_version.h"
#include "platform/console.h"
#include "platform/file_system.h"

namespace {

const char kProgram[] = "kelvaro-cli";
const char kVersion[] = "kelvaro-cli " KELVARO_VERSION "\n";

// Prints the outcome of one FILE: success text to standard output, anything else to standard error. When standard
// output carries a rewritten stream (a FILE is "-"), success texts go to standard error too, a line each, so that
// nothing but the stream reaches standard output; so does a success text that standard output did not take, after a
// line that says why, since the file is re-timed all the same and the text tells where its original is kept.
class ConsoleReporter : public RunReporter {
  public:
    ConsoleReporter(const std::string& file, bool stream_on_output)
        : m_file(file), m_stream_on_output(stream_on_output) {}
    void Succeeded(const std::string& text) override {
        if (!m_stream_on_output) {
            const Status printed = WriteText(ConsoleStream::kOutput, text + "\n");
            if (printed.ok()) {
                return;
            }
            Complain("re-timed, but the report below could not be printed: " + printed.message());
        }
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            Complain(text.substr(start, end - start));
            start = end + 1;
        }
    }
    void Refused(const std::string& text) override { Complain(text); }
    void FileFailed(const std::string& text) override { Complain(text); }

  private:
    // Standard error is where failures are told: when it cannot be written either, there is no one left to tell.
    void Complain(const std::string& text) {
        WriteText(ConsoleStream::kError, std::string(kProgram) + ": " + m_file + ": " + text + "\n").IgnoreError();
    }
    const std::string& m_file;
    bool m_stream_on_output;
};

// Help and version are all that their runs do: when standard output does not take them, the run failed.
int PrintAll(std::string_view text) {
    const Status printed = WriteText(ConsoleStream::kOutput, text);
    if (printed.ok()) {
        return 0;
    }
    WriteText(ConsoleStream::kError, std::string(kProgram) + ": " + printed.message() + "\n").IgnoreError();
    return 1;
}

}  // namespace

// Paths and messages are UTF-8 throughout; ProgramArguments and WriteText convert where Windows needs UTF-16.
int main(int argc, char** argv) {
    KeepRunningWhenOutputCloses();
    CliOptions options;
    std::string error;
    if (!ParseOptions(ProgramArguments(argc, argv), &options, &error)) {
        WriteText(ConsoleStream::kError,
                  std::string(kProgram) + ": " + error + "\nTry '" + kProgram + " --help' for more information.\n")
            .IgnoreError();  // the status tells the usage error all the same
        return 2;
    }
    if (options.show_help) {
        return PrintAll(HelpText());
    }
    if (options.show_version) {
        return PrintAll(kVersion);
    }

    const bool stream_on_output = std::find(options.files.begin(), options.files.end(), "-") != options.files.end();
    bool all_done = true;
    for (const std::string& file : options.files) {
        ConsoleReporter reporter(file, stream_on_output);
        RunOutcome outcome;
        if (file == "-") {
            outcome = SynchronizeStream(options.settings, StandardInput(), StandardOutput(), reporter);
        } else {
            SyncSettings settings = options.settings;
            settings.m_strInputFile = file;
            outcome = SynchronizeFile(settings, reporter);
        }
        all_done = all_done && outcome == RunOutcome::kDone;
    }
    // A file re-timed is done even when its report could not be printed: a script that ran the program again would
    // shift it twice.
    return all_done ? 0 : 1;
}
