#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sync_settings.h"
#include "platform/status.h"

// A right-to-left line as the file has it and as a run with the given settings will write it, both in UTF-8 (a
// single-byte line decoded in the file's code page).
struct RtlPreviewLine {
    std::string before;
    std::string after;
};

// The first `count` text lines of `text` (the first bytes of the file `name`, as read from disk) that hold a
// right-to-left letter, before and after the right-to-left fix and UTF-8 conversion of `settings`. Fails with the
// message the run would give when the run would refuse (the file's convention or code page cannot be told).
Status PreviewRtlFix(const SyncSettings& settings,
                     std::string_view text,
                     const std::string& name,
                     std::size_t count,
                     std::vector<RtlPreviewLine>* lines);
