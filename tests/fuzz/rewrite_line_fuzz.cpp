// Any line under any settings: no crash, no undefined behaviour, and the shape of the result fits its class.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/rewrite_line.h"

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
        if (result.size() != line.size()) {
            std::abort();
        }
        if (!settings.m_bSwitchOrientation && std::memcmp(result.data(), line.data(), line.size()) != 0) {
            std::abort();
        }
    }
    return 0;
}
