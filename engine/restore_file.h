#pragma once

#include <string>

#include "engine/run_reporter.h"
#include "platform/file_system.h"

// Undoes the last run on `path`: its "_original" file takes the name `path` again, replacing the re-timed file
// there (or taking the name when nothing has it), and the newest "_original-N" file, if any, becomes the
// "_original" file again, so that a second undo goes one run further back. A symbolic link is followed, as a run
// follows it. The files are held while the names change, and a name that no longer leads to the file found there
// stops the undo before anything changes.
//
// The outcome goes to `reporter`. Refused, changing nothing: a name that does not end in ".srt", ".sub" or ".vtt",
// no "_original" file to put back, or one that is not a regular file. On a file error after the first rename the
// message says where each file is.
RunOutcome RestoreFile(const std::string& path, RunReporter& reporter, FileSystem& file_system = FileSystem::Default());
