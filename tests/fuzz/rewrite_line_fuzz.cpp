// Any line under any settings: no crash, no undefined behaviour, the shape of the result fits its class, and a
// reversed text line matches a plain character-by-character reversal.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/rewrite_line.h"
#include "engine/text_reversal.h"

namespace {

// The slow and obvious reversal: split into clusters (a character and its marks), reverse their order; byte by byte
// when the line is not valid UTF-8 or is plain ASCII.
std::string ReferenceReversal(std::string_view line) {
    std::vector<std::string_view> clusters;
    std::size_t i = 0;
    while (i < line.size()) {
        const auto lead = static_cast<unsigned char>(line[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        char32_t code_point = length == 1 ? lead : lead & (0x7F >> length);
        if (length == 0 || i + length > line.size()) {
            return std::string(line.rbegin(), line.rend());
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(line[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::string(line.rbegin(), line.rend());
            }
            code_point = (code_point << 6) | (next & 0x3F);
        }
        const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (lead > 0xF4 || code_point < minimum[length] || code_point > 0x10FFFF ||
            (code_point >= 0xD800 && code_point <= 0xDFFF)) {
            return std::string(line.rbegin(), line.rend());
        }
        if (!clusters.empty() && IsCombiningMark(code_point)) {
            clusters.back() = std::string_view(clusters.back().data(), clusters.back().size() + length);
        } else {
            clusters.push_back(line.substr(i, length));
        }
        i += length;
    }
    std::string reversed;
    for (auto it = clusters.rbegin(); it != clusters.rend(); ++it) {
        reversed.append(*it);
    }
    return reversed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) {
        return 0;
    }
    SyncSettings settings;
    settings.m_nDirection = data[0] & 1;
    settings.m_bSwitchOrientation = (data[0] >> 1) & 1;
    settings.m_bBetweenTimes = (data[0] >> 2) & 1;
    settings.m_nHours = data[1] % 4;
    settings.m_nMinutes = data[2] % 60;
    settings.m_nSeconds = data[3] % 60;
    settings.m_nMilliseconds = (data[4] * 4u) % 1000;
    settings.m_nReduceNumber = data[5] * 20u;
    settings.m_timeFrom = 3600 * (data[1] % 3);
    settings.m_timeTo = 3600 * (data[2] % 3);
    const std::string_view line(reinterpret_cast<const char*>(data + 6), size - 6);

    LineRewriter rewriter(settings);
    const std::string_view result = rewriter.Rewrite(line);
    const bool number_line = !line.empty() && line.size() <= 3;
    const bool timing_line = !number_line && line.find("-->") != std::string_view::npos;
    if (timing_line) {
        if (result.size() < 29 || result.find(" --> ") == std::string_view::npos) {
            std::abort();
        }
    } else if (!number_line) {
        const std::string expected = settings.m_bSwitchOrientation ? ReferenceReversal(line) : std::string(line);
        if (result != expected) {
            std::abort();
        }
    }
    return 0;
}
