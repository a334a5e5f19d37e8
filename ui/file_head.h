#pragma once

#include <cstddef>
#include <string>

#include "platform/file_system.h"
#include "platform/status.h"

// Reads the first `limit` bytes of the file `path` (the whole file when it is shorter) into `*head`, holding the file
// only while it reads. On failure `*head` is empty and the status names the file and the reason.
Status ReadFileHead(FileSystem& file_system, const std::string& path, std::size_t limit, std::string* head);
