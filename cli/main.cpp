// kelvaro-cli: the synchronization engine on the command line.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "cli/console_reporter.h"
#include "cli/options.h"
#include "engine/restore_file.h"
#include "engine/synchronize_file.h"
#include "kelvaro_version.h"
#include "platform/console.h"
#include "platform/file_system.h"

namespace {

const char kProgram[] = "kelvaro-cli";
const char kVersion[] = "kelvaro-cli " KELVARO_VERSION "\n";

// One FILE as the options ask: re-timed in place, previewed, written to the output file, or restored.
RunOutcome RunOne(const CliOptions& options, const std::string& file, ConsoleReporter& reporter) {
    if (options.restore) {
        return RestoreFile(file, reporter);
    }
    if (file == "-") {
        DiscardingFile nowhere;
        return SynchronizeStream(options.settings, StandardInput(),
                                 options.dry_run ? static_cast<WritableFile&>(nowhere) : StandardOutput(), reporter);
    }
    SyncSettings settings = options.settings;
    settings.m_strInputFile = file;
    RunTarget target;
    if (options.dry_run) {
        target.kind = RunTarget::Kind::kPreview;
    } else if (!options.output.empty()) {
        target.kind = RunTarget::Kind::kOutputFile;
        target.output = options.output;
        target.replace_output = options.force;
    }
    return SynchronizeFile(settings, reporter, FileSystem::Default(), target);
}

// Why `file` is left out of a batch: it is a backup, or the unfinished result, of another FILE given with it, which
// a run on that FILE would make or keep anyway. Empty when it is not.
std::string WhySkipped(const std::string& file, const std::vector<std::string>& files) {
    const std::string owner = BackupOwner(file, files);
    if (owner.empty()) {
        return owner;
    }
    return file == TemporaryName(owner) ? "it is the unfinished result of " + owner : "it is the backup of " + owner;
}

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
    // cmd.exe leaves * and ? to the program; a pattern that matches no file is a usage error like the others.
    if (!ExpandFileNames(&options, &error)) {
        WriteText(ConsoleStream::kError,
                  std::string(kProgram) + ": " + error + "\nTry '" + kProgram + " --help' for more information.\n")
            .IgnoreError();
        return 2;
    }
    if (options.show_help) {
        return PrintAll(HelpText());
    }
    if (options.show_version) {
        return PrintAll(kVersion);
    }

    const bool stream_on_output = std::find(options.files.begin(), options.files.end(), "-") != options.files.end();
    const ConsoleReporter::Mode mode = options.restore   ? ConsoleReporter::Mode::kRestore
                                       : options.dry_run ? ConsoleReporter::Mode::kPreview
                                                         : ConsoleReporter::Mode::kRun;
    bool all_done = true;
    for (const std::string& file : options.files) {
        ConsoleReporter reporter(file, mode, stream_on_output && !options.dry_run);
        const std::string skipped = WhySkipped(file, options.files);
        if (!skipped.empty()) {
            reporter.Skipped(skipped);
            continue;
        }
        all_done = RunOne(options, file, reporter) == RunOutcome::kDone && all_done;
    }
    // A file re-timed is done even when its report could not be printed: a script that ran the program again would
    // shift it twice.
    return all_done ? 0 : 1;
}
