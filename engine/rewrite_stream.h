#pragma once

#include <string>

#include "engine/rewrite_line.h"
#include "engine/run_reporter.h"
#include "engine/sync_settings.h"
#include "platform/file_system.h"
#include "platform/text_mode.h"

// Reads `input` as text (see TextLineReader; `name` is how messages call it), rewrites every line with `rewriter`
// and writes the result to `output` with CR LF line ends, keeping a UTF-8 byte-order mark. UTF-16 text, and text the
// reader refuses (a NUL byte, text after a Ctrl-Z), fail with kUnsupported; after a failure nothing more is written.
// Does not Sync `output`. A run that reads the text (see LineRewriter::Decide) decides how from the first
// `decide_from` bytes (or all, when there are fewer), read before any line is written.
Status RewriteStream(ReadableFile& input,
                     const std::string& name,
                     WritableFile& output,
                     LineRewriter& rewriter,
                     std::size_t decide_from = TextLineReader::kDefaultBlockSize);

// What the user must know beyond success, a line each, every line starting with '\n': cue times set to zero, lines
// that hold "-->" but no readable times, timing lines left as they were because the shift would take a time past the
// largest one, and no cue times at all when an offset or a window was asked. Empty when there is nothing to say.
std::string RewriteNotes(const SyncSettings& settings, const LineRewriter& rewriter);
