#pragma once

#include <string>
#include <string_view>

// Text that older versions of the program stored in the system's ANSI code page, as UTF-8. On Windows the bytes are
// read in the active ANSI code page (GetACP); elsewhere paths are bytes and come back unchanged.
std::string AnsiToUtf8(std::string_view text);

// The number of the system's ANSI code page on Windows (1252, 1255, ...); 0 elsewhere, where there is none.
unsigned AnsiCodePageNumber();
