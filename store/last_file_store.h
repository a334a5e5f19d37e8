#pragma once

#include <string>

#include "platform/file_system.h"

// Remembers the path of the last subtitle file the user picked, in the file "kv.ini" of directory `directory` (the
// start-up working directory). The file holds the path in UTF-8 and nothing else, in text mode. Failures are
// silent: a file that cannot be opened and read loads as the empty string, and a save that fails leaves the old file
// as it was.

// The remembered path, whole, as text mode delivers it, up to the first NUL and without one final line end; empty
// when there is none. A path that is not valid UTF-8 was stored by an older version in the ANSI code page and is
// converted from it (see AnsiToUtf8).
std::string LoadLastFile(const std::string& directory, FileSystem& file_system = FileSystem::Default());

// Stores `path` as the remembered one. The new content is written beside the store as "kv.ini.new" and then takes
// the name "kv.ini" in one step, so that the store always holds a whole path, the old or the new one.
void SaveLastFile(const std::string& directory,
                  const std::string& path,
                  FileSystem& file_system = FileSystem::Default());
