#pragma once

#include <cstdint>
#include <string>

#include "engine/sync_settings.h"

// An offset, at most 3:59:59,999, in any of these forms (a fraction is 1 to 3 digits after '.' or ','):
//   S[.f]      seconds, any number of digits: 2, 2.5, 2,5, 90
//   S[.f]s     the same with a unit: 2s, 2.5s
//   Nms        whole milliseconds: 500ms
//   M:SS[.f]   minutes 0 to 59, seconds 00 to 59: 1:30, 1:30.25
//   H:MM:SS[.f] hours of one or two digits: 0:00:02,500, 1:02:03.4
// No sign and no blanks. On success sets the four offset fields.
bool ParseOffset(const std::string& text, SyncSettings* settings);

// An offset with an optional sign, '+' or '-', before it. On success sets the four offset fields and m_nDirection:
// 1 (reduce) after '-', else 0 (add); "-0" is no shift, and adds.
bool ParseSignedOffset(const std::string& text, SyncSettings* settings);

// A time of day HH:MM:SS (hours 0 to 23); on success sets `*seconds` to the seconds since midnight.
bool ParseTimeOfDay(const std::string& text, int* seconds);

// A count of cue numbers to take away: decimal digits, 0 to 5000. On success sets `*number`.
bool ParseReduceNumber(const std::string& text, std::uint32_t* number);
