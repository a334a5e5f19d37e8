#include "engine/rtl_fix.h"

#include <algorithm>

#include "engine/bidi.h"
#include "engine/text_units.h"
#include "engine/utf8.h"

namespace {

constexpr char32_t kRlm = 0x200F;
constexpr char32_t kRle = 0x202B;
constexpr char32_t kPdf = 0x202C;

// Punctuation that ends a sentence or a clause: where it stands tells the convention of a right-to-left line.
bool IsClosingPunctuation(char32_t c) {
    return c == '.' || c == ',' || c == '!' || c == '?' || c == ':' || c == ';' || c == 0x2026;
}

// A dialogue dash: at the start of a logical line, at the end of one written for left-to-right players.
bool IsDash(char32_t c) {
    return c == '-' || c == 0x2013 || c == 0x2014;
}

bool IsBlank(char32_t c) {
    return c == ' ' || c == '\t';
}

// The direction mark an HTML entity at text[i] names ("&rlm;", "&lrm;", "&#x200F;", "&#8207;", ...), and its length;
// 0 when there is none.
std::size_t MarkEntity(std::string_view text, std::size_t i, char32_t* mark) {
    if (text.compare(i, 5, "&rlm;") == 0 || text.compare(i, 5, "&lrm;") == 0) {
        *mark = text[i + 1] == 'r' ? 0x200F : 0x200E;
        return 5;
    }
    if (text.compare(i, 2, "&#") != 0) {
        return 0;
    }
    const bool hex = i + 2 < text.size() && (text[i + 2] == 'x' || text[i + 2] == 'X');
    char32_t value = 0;
    std::size_t j = i + (hex ? 3 : 2);
    const std::size_t digits_start = j;
    for (; j < text.size() && j - digits_start < 6; ++j) {
        const char c = text[j];
        int digit = c >= '0' && c <= '9' ? c - '0' : -1;
        if (hex && digit < 0 && (c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
            digit = (c | 0x20) - 'a' + 10;
        }
        if (digit < 0) {
            break;
        }
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
    }
    if (j == digits_start || j >= text.size() || text[j] != ';' || !IsDirectionFormatting(value)) {
        return 0;
    }
    *mark = value;
    return j + 1 - i;
}

void AppendUtf8(std::string& out, char32_t code_point) {
    char encoded[4];
    out.append(encoded, EncodeUtf8(code_point, encoded));
}

// Reads a line as code points into `out`: UTF-8 when it is valid, else single bytes in `code_page`, with mark
// entities read as the marks they name. Returns false when a byte has no meaning in the code page.
bool ReadLine(std::string_view line, CodePage code_page, std::u32string& out) {
    out.clear();
    const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
    const bool utf8 = IsValidUtf8(bytes, line.size());
    for (std::size_t i = 0; i < line.size();) {
        char32_t c = bytes[i];
        std::size_t length = 1;
        if (c == '&') {
            length = MarkEntity(line, i, &c);
            c = length != 0 ? c : '&';
            length = std::max<std::size_t>(length, 1);
        } else if (c >= 0x80 && utf8) {
            length = DecodeValidUtf8(bytes + i, &c);
        } else if (c >= 0x80) {
            c = DecodeByte(code_page, bytes[i]);
            if (c == 0) {
                return false;
            }
        }
        out.push_back(c);
        i += length;
    }
    return true;
}

// The units a right-to-left line starts and ends with that are not text: tags, brace blocks, blanks.
struct Edges {
    std::size_t content_begin;  // code point index
    std::size_t content_end;
};

// Whether text[i] opens a brace block or a tag as the units of a line are cut (see UnitScanner): '{', or '<' and an
// ASCII letter, a digit or '/'.
bool OpensUnit(const std::u32string& text, std::size_t i) {
    const char32_t next = i + 1 < text.size() ? text[i + 1] : 0;
    return text[i] == '{' || (next < 0x80 && (UnitScanner::IsTagNameLetter(static_cast<unsigned char>(next)) ||
                                              IsAsciiDigit(static_cast<unsigned char>(next)) || next == '/'));
}

Edges FindEdges(const std::u32string& text) {
    const std::size_t size = text.size();
    Edges edges{0, size};
    for (;;) {
        const std::size_t i = edges.content_begin;
        if (i < size && IsBlank(text[i])) {
            ++edges.content_begin;
            continue;
        }
        if (i < size && (text[i] == '<' || text[i] == '{')) {
            const char32_t close = text[i] == '<' ? '>' : '}';
            const std::size_t end = text.find_first_of(close == '>' ? U"<>" : U"{}", i + 1);
            if (end != std::u32string::npos && text[end] == close && OpensUnit(text, i)) {
                edges.content_begin = end + 1;
                continue;
            }
        }
        break;
    }
    for (;;) {
        const std::size_t i = edges.content_end;
        if (i > edges.content_begin && IsBlank(text[i - 1])) {
            --edges.content_end;
            continue;
        }
        if (i > edges.content_begin && (text[i - 1] == '>' || text[i - 1] == '}')) {
            const char32_t open = text[i - 1] == '>' ? '<' : '{';
            const std::size_t start = text.find_last_of(open == '<' ? U"<>" : U"{}", i - 2);
            if (start != std::u32string::npos && start >= edges.content_begin && text[start] == open &&
                OpensUnit(text, start)) {
                edges.content_end = start;
                continue;
            }
        }
        break;
    }
    return edges;
}

bool HasRightToLeftLetter(const std::u32string& text) {
    return std::any_of(text.begin(), text.end(), IsRightToLeftLetter);
}

// What the fix does not rewrite, as it cannot tell where it shows: a control character (a tab among them, which
// splits the line into segments laid out apart), or a combining mark at the start or after a blank, a tag, a brace
// block or a direction mark, which has no letter to belong to.
bool IsUnclear(const std::u32string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const BidiClass bidi_class = GetBidiClass(text[i]);
        if (text[i] < 0x20 || (text[i] >= 0x7F && text[i] <= 0x9F)) {
            return true;
        }
        const char32_t before = i > 0 ? text[i - 1] : 0;
        if (bidi_class == BidiClass::NSM &&
            (before <= ' ' || before == '>' || before == '}' || IsDirectionFormatting(before))) {
            return true;
        }
    }
    return false;
}

// Whether the text between the leading and trailing tags and blanks starts with RLE or RLM: a line its author (or
// a fix for all players) marked as logical, whatever the file's convention.
bool MarkedLogical(const std::u32string& text, const Edges& edges) {
    return edges.content_begin < edges.content_end &&
           (text[edges.content_begin] == kRle || text[edges.content_begin] == kRlm);
}

// What an unmarked line tells of its convention: +1 for left-to-right players, -1 for logical order, 0 nothing.
int Vote(const std::u32string& text, const Edges& edges) {
    if (edges.content_begin >= edges.content_end) {
        return 0;
    }
    const char32_t first = text[edges.content_begin];
    std::size_t last_index = edges.content_end - 1;
    while (last_index > edges.content_begin && GetBidiClass(text[last_index]) == BidiClass::NSM) {
        --last_index;  // a mark belongs to the character before it
    }
    const char32_t last = text[last_index];
    const int community = int{IsClosingPunctuation(first)} + int{IsDash(last)};
    const int logical = int{IsClosingPunctuation(last)} + int{IsDash(first)};
    return community > logical ? 1 : community < logical ? -1 : 0;
}

template <typename Value>
struct Named {
    Value value;
    const char* name;
};

constexpr Named<RtlFixMode> kModeNames[] = {
    {RtlFixMode::kAllPlayers, "all-players"},
    {RtlFixMode::kLtrPlayers, "ltr-players"},
    {RtlFixMode::kLogical, "logical"},
};
constexpr Named<RtlSource> kSourceNames[] = {{RtlSource::kCommunity, "community"}, {RtlSource::kLogical, "logical"}};

template <typename Value, std::size_t N>
bool ParseName(const Named<Value> (&table)[N], std::string_view name, Value* value) {
    for (const Named<Value>& entry : table) {
        if (name == entry.name) {
            *value = entry.value;
            return true;
        }
    }
    return false;
}

template <typename Value, std::size_t N>
const char* NameOf(const Named<Value> (&table)[N], Value value, const char* other) {
    for (const Named<Value>& entry : table) {
        if (entry.value == value) {
            return entry.name;
        }
    }
    return other;
}

}  // namespace

bool ParseRtlFixMode(std::string_view name, RtlFixMode* mode) {
    return ParseName(kModeNames, name, mode);
}

const char* RtlFixModeName(RtlFixMode mode) {
    return NameOf(kModeNames, mode, "off");
}

bool ParseRtlSource(std::string_view name, RtlSource* source) {
    return ParseName(kSourceNames, name, source);
}

const char* RtlSourceName(RtlSource source) {
    return NameOf(kSourceNames, source, "detect");
}

void ConventionVotes::CountText(std::string_view text, CodePage code_page) {
    // WebVTT's header and its NOTE, STYLE and REGION blocks are copied as they are: they tell nothing.
    bool copied = text.compare(0, 6, "WEBVTT") == 0;
    bool block_start = true;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
        const std::string_view line = text.substr(0, end);
        const bool keyword =
            line.compare(0, 4, "NOTE") == 0 || line.compare(0, 5, "STYLE") == 0 || line.compare(0, 6, "REGION") == 0;
        copied = !line.empty() && (copied || (block_start && keyword));
        block_start = line.empty();
        if (!copied) {
            CountLine(line, code_page);
        }
        const bool crlf = text.compare(end, 2, "\r\n") == 0;
        text.remove_prefix(std::min(end + (crlf ? 2 : 1), text.size()));
    }
}

void ConventionVotes::CountLine(std::string_view line, CodePage code_page) {
    std::u32string text;
    if (!ReadLine(line, code_page == CodePage::kDetect ? CodePage::kWindows1255 : code_page, text)) {
        return;
    }
    if (!HasRightToLeftLetter(text)) {
        return;
    }
    ++right_to_left;
    const Edges edges = FindEdges(text);
    if (MarkedLogical(text, edges)) {
        ++marked;
        return;
    }
    const int vote = Vote(text, edges);
    community += vote > 0 ? 1 : 0;
    logical += vote < 0 ? 1 : 0;
}

RtlSource ConventionVotes::Decision() const {
    const std::uint64_t all = community + logical;
    if (all > 0 && community * 4 >= all * 3) {
        return RtlSource::kCommunity;
    }
    if (all > 0 && logical * 4 >= all * 3) {
        return RtlSource::kLogical;
    }
    return RtlSource::kDetect;
}

void RtlFixer::Configure(RtlFixMode mode, RtlSource source, CodePage code_page) {
    m_mode = mode;
    m_source = source;
    m_code_page = code_page == CodePage::kDetect ? CodePage::kWindows1255 : code_page;
    m_rtl.SetDirection(ParagraphDirection::kRightToLeft);
    m_ltr.SetDirection(ParagraphDirection::kLeftToRight);
}

std::string_view RtlFixer::Fix(std::string_view line) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
    if (!MayNeedFixing(bytes, line.size())) {
        return line;
    }
    const bool utf8 = IsValidUtf8(bytes, line.size());
    if (!ReadLine(line, m_code_page, m_text)) {
        ++m_left;
        return line;
    }
    if (!HasRightToLeftLetter(m_text)) {
        return line;
    }
    ++m_right_to_left;
    m_fixed.clear();
    // A MicroDVD line is fixed a '|' part at a time, each part a line of its own on the screen.
    const bool frame_line = IsFrameLine(line);
    std::size_t begin = 0;
    for (;;) {
        const std::size_t bar = frame_line ? m_text.find('|', begin) : std::u32string::npos;
        const std::size_t end = bar == std::u32string::npos ? m_text.size() : bar;
        m_part.assign(m_text, begin, end - begin);
        if (!FixPart(utf8)) {
            ++m_left;
            return line;
        }
        m_fixed += m_part;
        if (bar == std::u32string::npos) {
            break;
        }
        m_fixed.push_back('|');
        begin = bar + 1;
    }
    m_out.clear();
    for (char32_t c : m_fixed) {
        if (utf8) {
            AppendUtf8(m_out, c);
            continue;
        }
        const int byte = EncodeByte(m_code_page, c);
        if (byte < 0) {
            ++m_left;
            return line;
        }
        m_out.push_back(static_cast<char>(byte));
    }
    if (m_out == line) {
        return line;
    }
    ++m_changed;
    return m_out;
}

bool RtlFixer::MayNeedFixing(const unsigned char* bytes, std::size_t size) {
    // Right-to-left letters and direction marks are never ASCII; nor is anything a single-byte code page reads as one.
    return std::any_of(bytes, bytes + size, [](unsigned char c) { return c >= 0x80; }) ||
           std::string_view(reinterpret_cast<const char*>(bytes), size).find("&") != std::string_view::npos;
}

bool RtlFixer::FixPart(bool utf8) {
    if (!HasRightToLeftLetter(m_part)) {
        return true;
    }
    if (IsUnclear(m_part)) {
        return false;
    }
    const bool has_marks = std::any_of(m_part.begin(), m_part.end(), IsDirectionFormatting);
    const bool logical = MarkedLogical(m_part, FindEdges(m_part)) || m_source == RtlSource::kLogical;
    // What the line shows in the family its convention is for: the meaning to keep.
    Display(logical ? m_rtl : m_ltr, m_part, m_meaning);
    StripMarks(m_meaning);
    // The line in logical order, without marks.
    m_logical = m_part;
    StripMarks(m_logical);
    if ((!logical || has_marks) && !(logical && ShowsAs(m_rtl, m_logical, m_meaning)) &&
        !Inverse(m_rtl, m_meaning, m_logical)) {
        return false;
    }
    switch (m_mode) {
        case RtlFixMode::kLogical:
            m_part = m_logical;
            return true;
        case RtlFixMode::kAllPlayers:
            Wrap(utf8);
            return true;
        case RtlFixMode::kLtrPlayers:
            if (!logical && !has_marks) {
                return true;  // already in the form for left-to-right players
            }
            if (Inverse(m_ltr, m_meaning, m_logical)) {
                m_part = m_logical;
                return true;
            }
            // No text without marks shows so when laid out left to right (a number or a bracket at the start of a
            // line): only the marks of the form for all players would.
            ++m_not_left_to_right;
            return false;
        case RtlFixMode::kOff:
            break;
    }
    return true;
}

bool RtlFixer::Inverse(VisualOrder& order, const std::u32string& shown, std::u32string& text) {
    // Laying out what a line shows gives back the line, but for numbers that Arabic text before them makes Arabic
    // numbers ("1-5", "50%"): there, an Arabic letter mark before it gives the context the line had.
    constexpr char32_t kAlm = 0x061C;
    for (bool arabic_context : {false, true}) {
        m_context.clear();
        if (arabic_context) {
            m_context.push_back(kAlm);
        }
        m_context += shown;
        Display(order, m_context, text);
        StripMarks(text);
        if (ShowsAs(order, text, shown)) {
            return true;
        }
    }
    return false;
}

void RtlFixer::Wrap(bool utf8) {
    const Edges edges = FindEdges(m_logical);
    m_part.assign(m_logical, 0, edges.content_begin);
    m_part.push_back(utf8 ? kRle : kRlm);
    m_part.append(m_logical, edges.content_begin, edges.content_end - edges.content_begin);
    m_part.push_back(utf8 ? kPdf : kRlm);
    m_part.append(m_logical, edges.content_end, std::u32string::npos);
}

void RtlFixer::Display(VisualOrder& order, const std::u32string& text, std::u32string& shown) {
    m_utf8_in.clear();
    for (char32_t c : text) {
        AppendUtf8(m_utf8_in, c);
    }
    m_utf8_out.resize(m_utf8_in.size());
    const auto* in = reinterpret_cast<const unsigned char*>(m_utf8_in.data());
    if (!order.Write(in, 0, m_utf8_in.size(), true, CodePage::kWindows1255, &m_utf8_out[0])) {
        m_utf8_out = m_utf8_in;
    }
    ReadLine(m_utf8_out, CodePage::kWindows1255, shown);
}

bool RtlFixer::ShowsAs(VisualOrder& order, const std::u32string& text, const std::u32string& meaning) {
    Display(order, text, m_check);
    StripMarks(m_check);
    return m_check == meaning;
}

void RtlFixer::StripMarks(std::u32string& text) {
    text.erase(std::remove_if(text.begin(), text.end(), IsDirectionFormatting), text.end());
}
