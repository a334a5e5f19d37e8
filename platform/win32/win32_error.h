#pragma once

#include <windows.h>

#include <string>

#include "platform/status.h"

// Turns a GetLastError() value into a Status that names the path, with the same wording as the other backend for
// the kinds both recognise; any other error carries the system's own message.
Status WindowsError(const char* verb, const std::string& path, DWORD error);
