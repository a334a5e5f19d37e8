#pragma once

#include <string>

#include "engine/sync_settings.h"

class CDataExchange;

// A cue time as the correct-drift dialog shows it: H:MM:SS,mmm, such as 0:01:02,345.
std::string CueTimeText(CueTime time);
// Reads a cue time as a timing line gives it, blanks around it allowed: H:MM:SS, then ',' or '.' and one to three
// digits of milliseconds if any. False for anything else, the empty text included.
bool ParseCueTimeText(const std::string& text, CueTime* time);
// What the user is told when `field` ("the time of the first cue") holds no time.
std::string CueTimeMessage(const std::string& field);

// A cue time as edit text. A text that is not one fails with CueTimeMessage(field).
void DDX_CueTime(CDataExchange* pDX, int id, CueTime& value, const char* field);
