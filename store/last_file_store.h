#pragma once

#include <string>

// Remembers the path of the last subtitle file the user picked, in the file "kv.ini" of directory `directory` (the
// start-up working directory). The file holds the path's bytes and nothing else, in text mode. Failures are silent:
// a file that cannot be opened for update loads as the empty string, and a save that cannot open its file is skipped.

// The remembered path, at most 256 bytes as text mode delivers them, up to the first NUL; empty when there is none.
std::string LoadLastFile(const std::string& directory);

// Stores `path` as the remembered one.
void SaveLastFile(const std::string& directory, const std::string& path);
