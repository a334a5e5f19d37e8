#include "engine/rtl_fix.h"

bool ParseRtlFixMode(std::string_view name, RtlFixMode* mode) {
    if (name == "all-players") {
        *mode = RtlFixMode::kAllPlayers;
    } else if (name == "ltr-players") {
        *mode = RtlFixMode::kLtrPlayers;
    } else if (name == "logical") {
        *mode = RtlFixMode::kLogical;
    } else {
        return false;
    }
    return true;
}

const char* RtlFixModeName(RtlFixMode mode) {
    switch (mode) {
        case RtlFixMode::kAllPlayers:
            return "all-players";
        case RtlFixMode::kLtrPlayers:
            return "ltr-players";
        case RtlFixMode::kLogical:
            return "logical";
        case RtlFixMode::kOff:
            break;
    }
    return "off";
}

bool ParseRtlSource(std::string_view name, RtlSource* source) {
    if (name == "community") {
        *source = RtlSource::kCommunity;
    } else if (name == "logical") {
        *source = RtlSource::kLogical;
    } else {
        return false;
    }
    return true;
}

const char* RtlSourceName(RtlSource source) {
    switch (source) {
        case RtlSource::kCommunity:
            return "community";
        case RtlSource::kLogical:
            return "logical";
        case RtlSource::kDetect:
            break;
    }
    return "detect";
}

void ConventionVotes::CountText(std::string_view, CodePage) {}
void ConventionVotes::CountLine(std::string_view, CodePage) {}
RtlSource ConventionVotes::Decision() const {
    return RtlSource::kDetect;
}

void RtlFixer::Configure(RtlFixMode mode, RtlSource source, CodePage code_page) {
    m_mode = mode;
    m_source = source;
    m_code_page = code_page;
}

std::string_view RtlFixer::Fix(std::string_view line) {
    return line;
}
