#pragma once

#include <string>
#include <string_view>

// Checks `file` against the WebVTT file syntax, as far as the program's outputs use it: an optional UTF-8 byte-order
// mark, the WEBVTT line and its header lines, then blocks separated by blank lines: NOTE blocks, STYLE and REGION
// blocks (before the first cue only) and cues (optional identifier, timing line with NAME:VALUE settings of known
// names, payload; timestamps (HH+:)?MM:SS.mmm). Times must be in order too: each cue ends after it starts, no cue
// starts before the one above it, and timestamp tags in a payload rise strictly between the cue's start and end. On
// failure returns false and, when `error` is not null, sets it to "line N: " and what is wrong there.
bool ValidateWebVtt(std::string_view file, std::string* error);
