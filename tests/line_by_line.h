#pragma once

#include <string>
#include <string_view>

#include "engine/rewrite_line.h"
#include "platform/text_mode.h"
#include "tests/memory_files.h"

// What a run writes when every line of `input` is fed to `rewriter` one at a time, as the simplest reading of the
// rules; empty when the reader refuses the input.
inline std::string RewriteLineByLine(const std::string& input, LineRewriter& rewriter) {
    MemoryReadableFile file(input);
    MemoryWritableFile output;
    TextLineReader reader(file, "f.srt");
    TextLineWriter writer(output);
    if (!reader.Begin().ok()) {
        return std::string();
    }
    if (reader.Head().substr(0, 3) == "\xEF\xBB\xBF") {
        reader.Skip(3);
        writer.WriteRaw("\xEF\xBB\xBF");
    }
    std::string_view line;
    while (reader.ReadLine(&line)) {
        for (std::size_t i = 0, ready = rewriter.Feed(line); i < ready; ++i) {
            writer.WriteLine(rewriter.Line(i));
        }
    }
    for (std::size_t i = 0, ready = rewriter.Finish(); i < ready; ++i) {
        writer.WriteLine(rewriter.Line(i));
    }
    writer.Flush();
    return reader.status().ok() ? output.content : std::string();
}
