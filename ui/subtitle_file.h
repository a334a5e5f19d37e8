#pragma once

#include <string>

// The extension of the file named by `path` without its dot: what follows the last dot of the last path component,
// empty when there is none. Paths are ANSI code page bytes, so a separator byte inside a double-byte character is
// not taken for one.
std::string FileExtension(const std::string& path);
