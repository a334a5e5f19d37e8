#pragma once

#include <string>
#include <string_view>

// Writes `line` in reverse order to `out`, which has room for line.size() bytes; this switches a line between
// right-to-left and left-to-right order. A line of valid UTF-8 that holds multi-byte characters is reversed by
// character, and a combining mark stays after its base character; any other line (ASCII, an ANSI code page, broken
// UTF-8) is reversed byte by byte.
void ReverseText(std::string_view line, char* out);

// Whether the code point is a combining mark (Unicode categories Mn and Me).
bool IsCombiningMark(char32_t code_point);
