#pragma once

#include <string>
#include <vector>

#include "engine/code_pages.h"

// Reading subtitle files of right-to-left text in tests.

// The lines of a file, without a byte-order mark and line ends.
std::vector<std::string> AllLines(std::string content);

// Its text lines: neither blank, nor a cue number, nor a timing line.
std::vector<std::string> TextLines(const std::string& content);

// `line` in UTF-8; kDetect: it is UTF-8 already.
std::string ToUtf8(const std::string& line, CodePage code_page);

// Whether the line (UTF-8) holds a letter of class R or AL, direction marks aside.
bool HoldsRightToLeftLetter(const std::string& utf8);
