#include "engine/text_units.h"

#include <algorithm>

namespace {

std::size_t NameStart(const unsigned char* text, std::size_t start) {
    return start + (TagCloses(text, start) ? 2 : 1);
}

}  // namespace

bool TagHasName(const unsigned char* text, std::size_t start) {
    return UnitScanner::IsTagNameLetter(text[NameStart(text, start)]);
}

int CompareTagNames(const unsigned char* text, std::size_t first, std::size_t second) {
    const unsigned char* a = text + NameStart(text, first);
    const unsigned char* b = text + NameStart(text, second);
    for (;; ++a, ++b) {
        // A tag ends in '>', which stops both names.
        const int x = UnitScanner::IsTagNameLetter(*a) ? *a | 0x20 : 0;
        const int y = UnitScanner::IsTagNameLetter(*b) ? *b | 0x20 : 0;
        if (x != y || x == 0) {
            return x - y;
        }
    }
}

bool IsFrameLine(std::string_view line) {
    std::size_t i = 0;
    for (int field = 0; field < 2; ++field) {
        if (i >= line.size() || line[i] != '{') {
            return false;
        }
        const std::size_t digits = ++i;
        while (i < line.size() && IsAsciiDigit(static_cast<unsigned char>(line[i]))) {
            ++i;
        }
        if (i == digits || i >= line.size() || line[i] != '}') {
            return false;
        }
        ++i;
    }
    return true;
}

void TagPairer::Pair(const unsigned char* text, std::vector<TagSpan>& tags) {
    if (tags.size() < 2) {
        return;
    }
    m_order.resize(tags.size());
    for (std::size_t i = 0; i < m_order.size(); ++i) {
        m_order[i] = i;
    }
    std::sort(m_order.begin(), m_order.end(), [&](std::size_t a, std::size_t b) {
        const int names = CompareTagNames(text, tags[a].start, tags[b].start);
        return names != 0 ? names < 0 : a < b;
    });
    // Within a name, in the order of the line: a closing tag takes the latest opening tag still waiting.
    m_waiting.clear();
    for (std::size_t k = 0; k < m_order.size(); ++k) {
        const std::size_t index = m_order[k];
        if (k > 0 && CompareTagNames(text, tags[m_order[k - 1]].start, tags[index].start) != 0) {
            m_waiting.clear();
        }
        if (!TagCloses(text, tags[index].start)) {
            m_waiting.push_back(index);
        } else if (!m_waiting.empty()) {
            tags[index].partner = m_waiting.back();
            tags[m_waiting.back()].partner = index;
            m_waiting.pop_back();
        }
    }
}
