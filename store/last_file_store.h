#pragma once

#include <string>

#include "platform/file_system.h"

// Remembers the path of the last subtitle file the user picked, in the file "kv.ini" of directory `directory` (the
// start-up working directory). The file holds the path's bytes and nothing else, in text mode. Failures are silent:
// a file that cannot be opened and read loads as the empty string, and a save that fails leaves the old file as it
// was.

// The remembered path, at most 256 bytes as text mode delivers them, up to the first NUL; empty when there is none.
std::string LoadLastFile(const std::string& directory, FileSystem& file_system = FileSystem::Default());

// Stores `path` as the remembered one. The new content is written beside the store as "kv.ini.new" and then takes
// the name "kv.ini" in one step, so that the store always holds a whole path, the old or the new one.
void SaveLastFile(const std::string& directory,
                  const std::string& path,
                  FileSystem& file_system = FileSystem::Default());
