#include "engine/visual_order.h"

#include <algorithm>
#include <cstring>

#include "engine/utf8.h"

bool VisualOrder::CutUnits(const unsigned char* text,
                           std::size_t begin,
                           std::size_t end,
                           bool utf8,
                           CodePage code_page) {
    m_units.clear();
    m_code_points.clear();
    const UnitScanner scanner(text, end, utf8);
    bool right_to_left = false;
    for (std::size_t i = begin, next; i < end; i = next) {
        const unsigned char c = text[i];
        if (c < 0x80 && c != '<' && c != '{') {
            // ASCII is neither a right-to-left letter nor direction formatting.
            m_units.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(i + 1), Kind::kCharacter});
            m_code_points.push_back(c);
            next = i + 1;
            continue;
        }
        if (c == '<' || c == '{') {
            const UnitKind kind = scanner.Next(i, &next);
            if (kind == UnitKind::kTag || kind == UnitKind::kBraces) {
                m_units.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(next),
                                   kind == UnitKind::kTag ? Kind::kTag : Kind::kBraces});
                m_code_points.push_back(kNeutralPlaceholder);
                continue;
            }
        }
        char32_t code_point = c;
        next = i + 1;
        if (c >= 0x80 && utf8) {
            next = i + DecodeValidUtf8(text + i, &code_point);
        } else if (c >= 0x80) {
            code_point = DecodeByte(code_page, c);
            code_point = code_point != 0 ? code_point : kNeutralPlaceholder;  // a byte the code page leaves undefined
        }
        const bool formatting = IsDirectionFormatting(code_point);
        right_to_left = right_to_left || (!formatting && IsRightToLeftLetter(code_point));
        m_units.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(next),
                           formatting ? Kind::kFormatting : Kind::kCharacter});
        m_code_points.push_back(code_point);
    }
    return right_to_left;
}

bool VisualOrder::Write(const unsigned char* text,
                        std::size_t begin,
                        std::size_t end,
                        bool utf8,
                        CodePage code_page,
                        char* out) {
    if (!CutUnits(text, begin, end, utf8, code_page)) {
        return false;
    }
    const std::size_t size = m_units.size();
    const auto kept = [](const Unit& unit) { return unit.kind == Kind::kBraces || unit.kind == Kind::kFormatting; };
    for (m_lead = 0; m_lead < size && kept(m_units[m_lead]);) {
        ++m_lead;
    }
    for (m_trail = size; m_trail > m_lead && kept(m_units[m_trail - 1]);) {
        --m_trail;
    }
    m_paragraph.Resolve(m_code_points.data(), size);
    // Always some unit in the middle: a right-to-left letter is kept at neither end.
    const std::size_t middle_begin = m_units[m_lead].start;
    const std::size_t middle_end = m_units[m_trail - 1].end;
    std::memcpy(out + begin, text + begin, middle_begin - begin);
    std::memcpy(out + middle_end, text + middle_end, end - middle_end);
    char* to = out + middle_begin;
    if (!PlaceTagsAndFormatting(text)) {
        for (const std::uint32_t logical : m_paragraph.VisualToLogical()) {
            if (logical >= m_lead && logical < m_trail) {
                to = WriteUnit(text, logical, utf8, code_page, to);
            }
        }
        return true;
    }
    std::sort(m_placed.begin(), m_placed.end(), [](const Placed& a, const Placed& b) {
        return a.rank != b.rank ? a.rank < b.rank : a.phase != b.phase ? a.phase < b.phase : a.logical < b.logical;
    });
    for (const Placed& placed : m_placed) {
        to = WriteUnit(text, placed.logical, utf8, code_page, to);
    }
    return true;
}

bool VisualOrder::PlaceTagsAndFormatting(const unsigned char* text) {
    bool formatting = false;
    m_tags.clear();
    m_tag_units.clear();
    for (std::size_t logical = m_lead; logical < m_trail; ++logical) {
        const Unit& unit = m_units[logical];
        formatting = formatting || unit.kind == Kind::kFormatting;
        if (unit.kind == Kind::kTag && TagHasName(text, unit.start)) {
            m_tags.push_back({unit.start, unit.end});
            m_tag_units.push_back(static_cast<std::uint32_t>(logical));
        }
    }
    m_pairer.Pair(text, m_tags);
    const bool paired = std::any_of(m_tags.begin(), m_tags.end(),
                                    [](const TagSpan& tag) { return tag.partner != TagSpan::kNoPartner; });
    if (!formatting && !paired) {
        return false;
    }
    const std::vector<std::uint32_t>& order = m_paragraph.VisualToLogical();
    m_rank.resize(order.size());
    for (std::size_t rank = 0; rank < order.size(); ++rank) {
        m_rank[order[rank]] = static_cast<std::uint32_t>(rank);
    }
    // Every unit at its rank; a paired tag is marked with phase 3 until its place is known.
    m_placed.clear();
    for (std::size_t logical = m_lead; logical < m_trail; ++logical) {
        m_placed.push_back({m_rank[logical], 1, static_cast<std::uint32_t>(logical)});
    }
    for (const TagSpan& tag : m_tags) {
        if (tag.partner != TagSpan::kNoPartner) {
            m_placed[m_tag_units[&tag - m_tags.data()] - m_lead].phase = 3;
        }
    }
    // Inner pairs first: an outer pair then encloses what they enclose, and an inner pair with nothing inside.
    for (std::size_t k = m_tags.size(); k-- > 0;) {
        if (m_tags[k].partner == TagSpan::kNoPartner || m_tags[k].partner < k) {
            continue;  // an unpaired tag, or the closing tag of a pair
        }
        const std::uint32_t open = m_tag_units[k];
        const std::uint32_t close = m_tag_units[m_tags[k].partner];
        std::uint32_t leftmost = ~std::uint32_t{0};
        std::uint32_t rightmost = 0;
        for (std::uint32_t logical = open + 1; logical < close; ++logical) {
            const Placed& inside = m_placed[logical - m_lead];
            if (inside.phase == 1 && m_units[logical].kind != Kind::kFormatting) {
                leftmost = std::min(leftmost, inside.rank);
                rightmost = std::max(rightmost, inside.rank);
            }
        }
        const bool empty = leftmost > rightmost;
        m_placed[open - m_lead] = {empty ? m_rank[open] : leftmost, empty ? 1u : 0u, open};
        m_placed[close - m_lead] = {empty ? m_rank[open] : rightmost, empty ? 1u : 2u, close};
    }
    // A formatting character goes where the unit before it goes, right after it.
    for (std::size_t logical = m_lead + 1; logical < m_trail; ++logical) {
        if (m_units[logical].kind == Kind::kFormatting) {
            const Placed& before = m_placed[logical - 1 - m_lead];
            m_placed[logical - m_lead] = {before.rank, before.phase, static_cast<std::uint32_t>(logical)};
        }
    }
    return true;
}

char* VisualOrder::WriteUnit(const unsigned char* text,
                             std::size_t logical,
                             bool utf8,
                             CodePage code_page,
                             char* out) const {
    const Unit& unit = m_units[logical];
    const std::size_t length = unit.end - unit.start;
    if (unit.kind == Kind::kCharacter && m_paragraph.Mirrored(logical)) {
        const char32_t mirror = MirrorOf(m_code_points[logical]);
        if (utf8) {
            char encoded[4];
            if (EncodeUtf8(mirror, encoded) == length) {
                std::memcpy(out, encoded, length);
                return out + length;
            }
        } else if (const int byte = EncodeByte(code_page, mirror); byte >= 0) {
            *out = static_cast<char>(byte);
            return out + 1;
        }
    }
    // Units are a few bytes long; a call to memcpy would cost more than the copy.
    for (std::size_t k = 0; k < length; ++k) {
        out[k] = static_cast<char>(text[unit.start + k]);
    }
    return out + length;
}
