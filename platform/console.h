#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

// The program's arguments, without the program's own name, as UTF-8 on Windows (read from the wide command line, so
// that no name is lost to the ANSI code page) and as argv's bytes elsewhere.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Expands the wildcards in FILE arguments where no shell did. On POSIX the shell has expanded them, so nothing
// changes, and a name holding a literal '*' or '?' stays as it is. On Windows (cmd.exe leaves them to the program)
// each argument with '*' or '?' in its last component is replaced, in place, by the names of the files that match it
// (no folders), sorted without regard to letter case, each with the argument's folder part as it was written; "-"
// and arguments without wildcards are left alone. On failure `*files` is unchanged and the message reads "no file
// matches PATTERN", or names the pattern and the reason when the folder cannot be read.
Status ExpandWildcards(std::vector<std::string>* files);

// Lets a write to a pipe whose reader has gone fail like any other write, instead of ending the program (POSIX's
// SIGPIPE), so that a file already re-timed is still reported as done. Called once, at start-up.
void KeepRunningWhenOutputCloses();

enum class ConsoleStream { kOutput, kError };

// Writes UTF-8 `text` to standard output or standard error through stdio, and flushes it, so that a write that fails
// (a full disk, a closed stream) is known here and not lost at exit. A Windows console gets it as UTF-16
// (WriteConsoleW, after what stdio holds is flushed), so that every script shows; a file or pipe gets the UTF-8
// bytes. On failure the message reads "Cannot write standard output: REASON" (or standard error), worded as the
// files' errors are.
Status WriteText(ConsoleStream stream, std::string_view text);
