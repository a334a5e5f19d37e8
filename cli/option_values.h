#pragma once

#include <cstdint>
#include <string>

#include "engine/sync_settings.h"

// An offset: H:MM:SS,mmm or H:MM:SS.mmm (hours 0 to 3, minutes and seconds 0 to 59, milliseconds 0 to 999), H:MM:SS,
// or plain seconds with up to three decimals; at most 3:59:59,999. On success sets the four offset fields.
bool ParseOffset(const std::string& text, SyncSettings* settings);

// A time of day HH:MM:SS (hours 0 to 23); on success sets `*seconds` to the seconds since midnight.
bool ParseTimeOfDay(const std::string& text, int* seconds);

// A count of cue numbers to take away: decimal digits, 0 to 5000. On success sets `*number`.
bool ParseReduceNumber(const std::string& text, std::uint32_t* number);
