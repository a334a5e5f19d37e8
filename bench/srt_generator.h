#pragma once

#include <cstdint>
#include <string>

struct GeneratedFile {
    std::uint64_t bytes = 0;
    std::uint64_t cues = 0;
};

// Writes an SRT file of at least `target_bytes` to `path` with CR LF line ends: numbered cues (the numbers soon
// pass 999), "HH:MM:SS,mmm --> HH:MM:SS,mmm" timing lines, one or two UTF-8 text lines of 30 to 45 bytes in
// English, Hebrew (some with points) or Arabic (see TextMix), and a blank line after each cue. The content is the same
// on every run. Streams through a small buffer and flushes the file to disk before returning, so that its write-back
// does not fall into a later measurement. Throws std::runtime_error on a file error.
enum class TextMix {
    kMixed,        // half English, the rest Hebrew and Arabic
    kRightToLeft,  // Hebrew and Arabic as real files have them: brackets, Latin words, numbers, dialogue dashes
};
GeneratedFile GenerateSrt(const std::string& path, std::uint64_t target_bytes, TextMix mix = TextMix::kMixed);
