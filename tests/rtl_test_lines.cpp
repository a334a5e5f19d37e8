#include "tests/rtl_test_lines.h"

#include <sstream>

#include "engine/bidi.h"
#include "tests/fribidi_oracle.h"

std::vector<std::string> AllLines(std::string content) {
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        content.erase(0, 3);
    }
    std::vector<std::string> lines;
    std::istringstream in(content);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> TextLines(const std::string& content) {
    std::vector<std::string> lines;
    for (const std::string& line : AllLines(content)) {
        const bool number = !line.empty() && line.find_first_not_of("0123456789") == std::string::npos;
        if (!line.empty() && !number && line.find("-->") == std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::string ToUtf8(const std::string& line, CodePage code_page) {
    if (code_page == CodePage::kDetect) {
        return line;
    }
    std::vector<char32_t> code_points;
    for (unsigned char c : line) {
        code_points.push_back(DecodeByte(code_page, c));
    }
    return Utf8(code_points);
}

bool HoldsRightToLeftLetter(const std::string& utf8) {
    for (char32_t c : CodePoints(utf8)) {
        if (IsRightToLeftLetter(c)) {
            return true;
        }
    }
    return false;
}
