#pragma once

#include <string>
#include <vector>

#include "engine/cue_match.h"
#include "engine/sync_settings.h"
#include "platform/file_system.h"

// Reads the start time of every cue of `input`, named `name` (".vtt" read as WebVTT, anything else as SubRip, with
// MicroDVD frame lines at `fps` or the rate their first line declares), into `*starts`, in file order. Fails as a
// run does on text it cannot read, and when frame lines are all there is and no rate is known.
Status ReadCueStarts(ReadableFile& input, const std::string& name, const FrameRate& fps, std::vector<CueTime>* starts);

// Opens `reference`, which must be a subtitle file (its name ending in .srt, .sub or .vtt), and reads its cue starts.
Status ReadReferenceStarts(FileSystem& file_system,
                           const std::string& reference,
                           const FrameRate& fps,
                           std::vector<CueTime>* starts);

// Matches the cues of `file` to those of `reference` as a run does, without writing anything: for a preview. A file
// that cannot be read, or a reference that is the file itself, fails; a match that cannot be trusted is returned
// with its verdict.
Status MatchFiles(FileSystem& file_system,
                  const std::string& file,
                  const std::string& reference,
                  const FrameRate& fps,
                  CueMatch* match);
