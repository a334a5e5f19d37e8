// Whole streams, delivered in uneven pieces: no crash, and exactly one CR LF-terminated output line per input line.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/synchronize_file.h"

namespace {

class PieceReader : public ReadableFile {
public:
    PieceReader(std::string_view data, std::size_t piece) : m_data(data), m_piece(piece) {}
    Status Read(char* buffer, std::size_t capacity, std::size_t* got) override {
        *got = std::min({capacity, m_piece, m_data.size()});
        std::copy_n(m_data.data(), *got, buffer);
        m_data.remove_prefix(*got);
        return Status::OK();
    }
    Status Close() override { return Status::OK(); }

private:
    std::string_view m_data;
    std::size_t m_piece;
};

class StringWriter : public WritableFile {
public:
    Status Append(const char* data, std::size_t size) override {
        text.append(data, size);
        return Status::OK();
    }
    Status Sync() override { return Status::OK(); }
    Status Close() override { return Status::OK(); }
    std::string text;
};

class SilentReporter : public RunReporter {
public:
    void Succeeded(const std::string&) override {}
    void Refused(const std::string&) override {}
    void FileFailed(const std::string&) override { std::abort(); }
};

std::size_t ExpectedLines(std::string_view input) {
    input = input.substr(0, input.find('\x1A'));
    if (input.substr(0, 3) == "\xEF\xBB\xBF") {
        input.remove_prefix(3);
    }
    const auto terminated = static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n'));
    return terminated + (!input.empty() && input.back() != '\n' ? 1 : 0);
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
    PieceReader reader(input, 1 + data[1] % 7);
    StringWriter writer;
    SilentReporter reporter;
    const RunOutcome outcome = SynchronizeStream(settings, reader, writer, reporter);
    if (outcome == RunOutcome::kRefused) {
        return 0;  // UTF-16
    }
    std::size_t lines = 0;
    for (std::size_t at = writer.text.find("\r\n"); at != std::string::npos; at = writer.text.find("\r\n", at + 2)) {
        ++lines;
    }
    const std::size_t line_feeds = static_cast<std::size_t>(std::count(writer.text.begin(), writer.text.end(), '\n'));
    if (lines != ExpectedLines(input) || line_feeds != lines) {
        std::abort();
    }
    return 0;
}
