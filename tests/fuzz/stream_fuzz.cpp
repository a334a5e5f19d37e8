// Whole streams, delivered in uneven pieces: no crash, and exactly one CR LF-terminated output line per input line.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    SyncSettings settings;
    settings.m_nSeconds = data[0] % 60;
    settings.m_nDirection = data[0] & 1;
    settings.m_bSwitchOrientation = (data[0] >> 6) & 1;
    settings.m_nReduceNumber = data[1];
    const std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
    MemoryReadableFile reader(std::string(input), 1 + data[1] % 7);
    MemoryWritableFile writer;
    SilentReporter reporter;
    const RunOutcome outcome = SynchronizeStream(settings, reader, writer, reporter);
    if (outcome == RunOutcome::kRefused) {
        return 0;  // UTF-16, a NUL byte or text after a Ctrl-Z
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
