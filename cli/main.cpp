// kelvaro-cli: the synchronization engine on the command line.
#include <algorithm>
#include <cstdio>
#include <string>
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
// nothing but the stream reaches standard output.
class ConsoleReporter : public RunReporter {
  public:
    ConsoleReporter(const std::string& file, bool stream_on_output)
        : m_file(file), m_stream_on_output(stream_on_output) {}
    void Succeeded(const std::string& text) override {
        if (!m_stream_on_output) {
            WriteText(ConsoleStream::kOutput, text + "\n");
            return;
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
    void Complain(const std::string& text) {
        std::fflush(stdout);
        WriteText(ConsoleStream::kError, std::string(kProgram) + ": " + m_file + ": " + text + "\n");
    }
    const std::string& m_file;
    bool m_stream_on_output;
};

}  // namespace

// Paths and messages are UTF-8 throughout; ProgramArguments and WriteText convert where Windows needs UTF-16.
int main(int argc, char** argv) {
    CliOptions options;
    std::string error;
    if (!ParseOptions(ProgramArguments(argc, argv), &options, &error)) {
        WriteText(ConsoleStream::kError,
                  std::string(kProgram) + ": " + error + "\nTry '" + kProgram + " --help' for more information.\n");
        return 2;
    }
    if (options.show_help) {
        WriteText(ConsoleStream::kOutput, HelpText());
        return 0;
    }
    if (options.show_version) {
        WriteText(ConsoleStream::kOutput, kVersion);
        return 0;
    }

    const bool stream_on_output = std::find(options.files.begin(), options.files.end(), "-") != options.files.end();
    bool all_done = true;
    for (const std::string& file : options.files) {
        ConsoleReporter reporter(file, stream_on_output);
        RunOutcome outcome;
        if (file == "-") {
            std::fflush(stdout);  // earlier success texts come before the stream, which bypasses stdio
            outcome = SynchronizeStream(options.settings, StandardInput(), StandardOutput(), reporter);
        } else {
            SyncSettings settings = options.settings;
            settings.m_strInputFile = file;
            outcome = SynchronizeFile(settings, reporter);
        }
        all_done = all_done && outcome == RunOutcome::kDone;
    }
    return std::fflush(stdout) == 0 && all_done ? 0 : 1;
}
