#pragma once

#include <string>

// The extension of the file named by `path` without its dot: what follows the last dot of the last path component,
// empty when there is none. `path` is UTF-8.
std::string FileExtension(const std::string& path);
