// Whole streams, delivered in uneven pieces: no crash, and exactly one CR LF-terminated output line per input line.
// A SubRip file's run, which hands lines it keeps out in runs and rewrites big blocks in two parts at once, writes what
// feeding every line to the rewriter writes, and counts the same.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/rewrite_stream.h"
#include "engine/synchronize_file.h"
#include "tests/memory_files.h"

namespace {

class SilentReporter : public RunReporter {
  public:
    void Succeeded(const std::string&) override {}
    void Refused(const std::string&) override {}
    void FileFailed(const std::string&) override { std::abort(); }
};

// Lines end at LF, CR LF, CR CR LF and a CR alone; a last line without an end counts too.
std::size_t ExpectedLines(std::string_view input) {
    input = input.substr(0, input.find('\x1A'));
    if (input.substr(0, 3) == "\xEF\xBB\xBF") {
        input.remove_prefix(3);
    }
    std::size_t lines = 0;
    std::size_t line_start = 0;
    for (std::size_t i = 0; i < input.size();) {
        if (input[i] != '\n' && input[i] != '\r') {
            ++i;
            continue;
        }
        i += input.compare(i, 3, "\r\r\n") == 0 ? 3 : input.compare(i, 2, "\r\n") == 0 ? 2 : 1;
        ++lines;
        line_start = i;
    }
    return lines + (line_start < input.size() ? 1 : 0);
}

// What RewriteStream does, a line at a time.
std::string LineByLine(const SyncSettings& settings, const std::string& input, LineRewriter& rewriter) {
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
    static_cast<void>(settings);
    return reader.status().ok() ? output.content : std::string();
}

void CompareWithLineByLine(const SyncSettings& settings, const std::string& input, std::size_t piece) {
    LineRewriter runs(settings, SubtitleFormat::kSubRip);
    MemoryReadableFile file(input, piece);
    MemoryWritableFile output;
    if (!RewriteStream(file, "f.srt", output, runs).ok()) {
        return;
    }
    LineRewriter lines(settings, SubtitleFormat::kSubRip);
    if (LineByLine(settings, input, lines) != output.content ||
        RewriteNotes(settings, runs) != RewriteNotes(settings, lines) || runs.MovedTimes() != lines.MovedTimes()) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    SyncSettings settings;
    settings.m_nSeconds = data[0] % 60;
    settings.m_nDirection = data[0] & 1;
    settings.m_bSwitchOrientation = (data[0] >> 6) & 1;
    settings.m_nReduceNumber = data[1] < 128 ? 0 : data[1] - 128;  // half the runs lower no number
    std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
    // Some inputs are repeated into a file of several blocks, which the run rewrites two parts at a time.
    std::string repeated;
    if ((data[0] & 0x10) != 0 && !input.empty()) {
        while (repeated.size() < 600 * 1024) {
            repeated += input;
        }
        input = repeated;
    }
    MemoryReadableFile reader(std::string(input), 1 + data[1] % 7);
    MemoryWritableFile writer;
    SilentReporter reporter;
    const RunOutcome outcome = SynchronizeStream(settings, reader, writer, reporter);
    if (outcome == RunOutcome::kRefused) {
        return 0;  // UTF-16, a NUL byte or text after a Ctrl-Z
    }
    if (settings.m_bSwitchOrientation == 0) {
        // In pieces of a few bytes most lines cross a read; whole, most come in runs.
        CompareWithLineByLine(settings, std::string(input), (data[0] & 0x20) != 0 ? 1 + data[1] % 7 : input.size());
    }
    std::size_t lines = 0;
    for (std::size_t at = writer.content.find("\r\n"); at != std::string::npos;
         at = writer.content.find("\r\n", at + 2)) {
        ++lines;
    }
    const std::size_t line_feeds =
        static_cast<std::size_t>(std::count(writer.content.begin(), writer.content.end(), '\n'));
    if (lines != ExpectedLines(input) || line_feeds != lines) {
        std::abort();
    }
    return 0;
}
