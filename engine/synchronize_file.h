#pragma once

#include <string>
#include <string_view>

#include "engine/run_names.h"
#include "engine/run_reporter.h"
#include "engine/sync_settings.h"
#include "platform/file_system.h"

// Re-times settings.m_strInputFile in place. The result is written to a temporary file beside the input (the name
// with "_new" before its last four bytes) and flushed to stable storage; then an older "_original" file is kept as
// the first free "_original-N" name (N = 1, 2, ...), the input is renamed to its "_original" name and the result
// takes the input's name. No rename replaces anything. The files are held for exclusive use while they are open,
// and a run refuses, changing nothing, when another program changed the input or put a file of its own under one
// of the names meanwhile.
//
// The outcome goes to `reporter`. Refused, with the directory left as it was: a window that does not increase, a
// name that does not end in ".srt", ".sub" or ".vtt" (any letter case), names too long for the system, anything but
// a regular file, UTF-16 text, and input the text reader refuses (a NUL byte, text after a Ctrl-Z). On a file error
// before the renames the input is untouched and the temporary file removed; after the first rename the message says
// where the original and the result are.
//
// With another `target`, the same run reads and checks the input in the same way but puts the result elsewhere: a
// preview writes, creates and renames nothing and reports what the run would do; an output file takes the result
// (created only when no file of that name exists, unless `replace_output`), and the input and its backups are left
// as they are.
struct RunTarget {
    enum class Kind { kInPlace, kPreview, kOutputFile };
    Kind kind = Kind::kInPlace;
    std::string output;
    bool replace_output = false;
};
RunOutcome SynchronizeFile(const SyncSettings& settings,
                           RunReporter& reporter,
                           FileSystem& file_system = FileSystem::Default(),
                           const RunTarget& target = RunTarget());

// Rewrites the text of `input` into `output` with CR LF line ends, as a run does for a file, with no names, backup
// or renames. WebVTT is recognised by a first line that starts with "WEBVTT". On success the reporter is given only
// the lines the user must know (times set to zero, lines left alone, no times found), which may be none (empty).
// After a refusal nothing more is written, though lines of earlier blocks may already be out.
RunOutcome SynchronizeStream(const SyncSettings& settings,
                             ReadableFile& input,
                             WritableFile& output,
                             RunReporter& reporter);

extern const char kUnrecognizedFormatMessage[];
