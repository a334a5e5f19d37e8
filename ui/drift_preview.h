#pragma once

#include <string>

#include "engine/rewrite_line.h"
#include "engine/sync_settings.h"

// What a run with `settings` would do to the cue times of settings.m_strInputFile, in a line for the correct-drift
// dialog: the correction, then the first and the last cue's start before and after, as in "speed 104.271 % (25 to
// 23.976 fps), offset +0.000 s; first cue 0:01:02,345 -> 0:00:59,791, last 1:58:00,000 -> 1:53:10,000". The file is
// read as a dry run reads it; nothing is written. When the run would be refused or cannot read the file, the message
// that says why instead. `spans`, unless null, gets the cues the file was found to have (`found` false when none).
std::string DriftPreview(const SyncSettings& settings, CueSpans* spans = nullptr);

// What matching the cues of settings.m_strInputFile to those of `reference` finds, in a line for the same dialog: the
// correction and how well it matches, as in "speed 104.271 % (25 to 23.976 fps), offset -2.290 s; 591 of 716 cues
// (83 %) start within 0.4 s of a reference cue (chance: 25 %)", and true. False, with the reason instead, when a run
// must not be asked to match: no reference (kNoReferenceMessage), a file that cannot be read, or a match that cannot
// be trusted (naming the two files without their folders). Both files are read; nothing is written.
bool MatchPreview(const SyncSettings& settings, const std::string& reference, std::string* text);

extern const char kNoReferenceMessage[];
