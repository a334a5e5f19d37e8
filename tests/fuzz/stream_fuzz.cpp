// Whole streams, delivered in uneven pieces: no crash, and exactly one CR LF-terminated output line per input line.
// A SubRip file's run, which hands lines it keeps out in runs and rewrites big blocks in two parts at once, writes what
// feeding every line to the rewriter writes, and counts the same.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/rewrite_stream.h"
#include "engine/synchronize_file.h"
#include "tests/line_by_line.h"
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

void CompareWithLineByLine(const SyncSettings& settings, const std::string& input, std::size_t piece) {
    LineRewriter runs(settings, SubtitleFormat::kSubRip);
    MemoryReadableFile file(input, piece);
    MemoryWritableFile output;
    if (!RewriteStream(file, "f.srt", output, runs).ok()) {
        return;
    }
    // A run that reads text decides the code page from the first block, as the run did.
    LineRewriter lines(settings, SubtitleFormat::kSubRip);
    const std::size_t mark = input.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (!lines.Decide(std::string_view(input).substr(mark, TextLineReader::kDefaultBlockSize - mark), "f.srt").ok()) {
        std::abort();
    }
    if (RewriteLineByLine(input, lines) != output.content ||
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
    // One input in eight is repeated into a file of two blocks, read whole, which the run rewrites two parts at a
    // time.
    std::string repeated;
    const bool big = (data[0] & 0x10) != 0 && (data[1] & 0x03) == 0 && !input.empty();
    while (big && repeated.size() < 300 * 1024) {
        repeated += input;
    }
    input = big ? std::string_view(repeated) : input;
    MemoryReadableFile reader(std::string(input), big ? input.size() : 1 + data[1] % 7);
    MemoryWritableFile writer;
    SilentReporter reporter;
    const RunOutcome outcome = SynchronizeStream(settings, reader, writer, reporter);
    if (outcome == RunOutcome::kRefused) {
        return 0;  // UTF-16, a NUL byte or text after a Ctrl-Z
    }
    if (settings.m_bSwitchOrientation == 0 || big) {
        // In pieces of a few bytes most lines cross a read; whole, most come in runs, and big inputs in two parts.
        const bool pieces = (data[0] & 0x20) != 0 && !big;
        CompareWithLineByLine(settings, std::string(input), pieces ? 1 + data[1] % 7 : input.size());
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
