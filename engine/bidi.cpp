#include "engine/bidi.h"

#include "engine/bidi_rules.h"

#include <algorithm>
#include <iterator>
#include <numeric>

namespace {

using C = BidiClass;

struct BidiClassRange {
    char32_t first;
    char32_t last;
    BidiClass bidi_class;
};

struct MirrorPair {
    char32_t code_point;
    char32_t mirror;
};

struct BracketPair {
    char32_t code_point;
    char32_t pair;
    bool opens;
};

#include "engine/bidi_tables.inc"

constexpr std::size_t kMaxBracketDepth = 63;

template <typename Entry, std::size_t N, typename Key>
const Entry* FindEntry(const Entry (&table)[N], char32_t code_point, Key key) {
    const Entry* it = std::lower_bound(std::begin(table), std::end(table), code_point,
                                       [key](const Entry& entry, char32_t value) { return key(entry) < value; });
    return it != std::end(table) && key(*it) == code_point ? it : nullptr;
}

const BracketPair* FindBracket(char32_t code_point) {
    return FindEntry(kBracketPairs, code_point, [](const BracketPair& entry) { return entry.code_point; });
}

// U+2329 and U+232A are canonically the same as U+3008 and U+3009, so either closes either.
char32_t CanonicalBracket(char32_t code_point) {
    return code_point == 0x2329 ? 0x3008 : code_point == 0x232A ? 0x3009 : code_point;
}

// What X9 removes (BN and the explicit embeddings), and the isolates, which are not done.
bool IsRemoved(C c) {
    return c == C::BN || c >= C::LRE;
}

bool IsNeutral(C c) {
    return c == C::B || c == C::S || c == C::WS || c == C::ON;
}

// N0 and N1 count numbers as right-to-left; ON for anything without a direction.
C Direction(C c) {
    return c == C::L ? C::L : (c == C::R || c == C::AL || c == C::EN || c == C::AN) ? C::R : C::ON;
}

using bidi_internal::kLowLimit;

// The table below U+0800, built from the ranges by the compiler.
constexpr std::array<BidiClass, kLowLimit> BuildLowClasses() {
    std::array<BidiClass, kLowLimit> low{};
    for (char32_t c = 0; c < kLowLimit; ++c) {
        low[c] = c < 128 ? kAsciiBidiClasses[c] : C::L;
    }
    for (const BidiClassRange& range : kBidiClassRanges) {
        for (char32_t c = range.first; c <= range.last && c < kLowLimit; ++c) {
            low[c] = range.bidi_class;
        }
    }
    return low;
}

// Which code points below U+0800 are brackets, and (below) their mirrors: the text of subtitles lies there, and a
// lookup beats a search for every character.
template <typename Entry, std::size_t N>
constexpr std::array<bool, kLowLimit> BuildLowFlags(const Entry (&table)[N]) {
    std::array<bool, kLowLimit> flags{};
    for (const Entry& entry : table) {
        if (entry.code_point < kLowLimit) {
            flags[entry.code_point] = true;
        }
    }
    return flags;
}

constexpr std::array<bool, kLowLimit> kLowBrackets = BuildLowFlags(kBracketPairs);

// The mirror of each code point below U+0800, or the code point itself.
constexpr std::array<char32_t, kLowLimit> BuildLowMirrors() {
    std::array<char32_t, kLowLimit> mirrors{};
    for (char32_t c = 0; c < kLowLimit; ++c) {
        mirrors[c] = c;
    }
    for (const MirrorPair& pair : kMirrorPairs) {
        if (pair.code_point < kLowLimit) {
            mirrors[pair.code_point] = pair.mirror;
        }
    }
    return mirrors;
}

}  // namespace

bool bidi_rules::MayBeBracket(char32_t code_point) {
    return code_point >= kLowLimit || kLowBrackets[code_point];
}

namespace bidi_internal {

constexpr std::array<BidiClass, kLowLimit> kLowClasses = BuildLowClasses();
constexpr std::array<char32_t, kLowLimit> kLowMirrors = BuildLowMirrors();

BidiClass HighBidiClass(char32_t code_point) {
    const BidiClassRange* it =
        std::upper_bound(std::begin(kBidiClassRanges), std::end(kBidiClassRanges), code_point,
                         [](char32_t value, const BidiClassRange& range) { return value < range.first; });
    return it != std::begin(kBidiClassRanges) && code_point <= it[-1].last ? it[-1].bidi_class : C::L;
}

}  // namespace bidi_internal

char32_t MirrorOf(char32_t code_point) {
    if (code_point < kLowLimit) {
        return bidi_internal::kLowMirrors[code_point];
    }
    const MirrorPair* pair =
        FindEntry(kMirrorPairs, code_point, [](const MirrorPair& entry) { return entry.code_point; });
    return pair ? pair->mirror : code_point;
}

void BidiParagraph::Resolve(const char32_t* text, std::size_t size, bool marks_after_base) {
    m_text = text;
    m_original.resize(size);
    m_levels.assign(size, BaseLevel());
    m_run.clear();
    m_types.clear();
    m_present = 0;
    m_brackets = false;
    for (std::size_t i = 0; i < size; ++i) {
        const C c = GetBidiClass(text[i]);
        m_original[i] = c;
        if (!IsRemoved(c)) {
            m_run.push_back(static_cast<std::uint32_t>(i));
            m_types.push_back(c);
            m_present |= 1u << static_cast<unsigned>(c);
            m_brackets = m_brackets || (c == C::ON && bidi_rules::MayBeBracket(text[i]));
        }
    }
    const std::size_t kept = m_run.size();
    bidi_rules::ResolveWeakTypes(m_types.data(), kept, m_present, Edge());
    if (m_brackets) {
        // The code points and own classes of the kept characters: the text itself when X9 removed none.
        const char32_t* kept_text = text;
        const C* kept_original = m_original.data();
        if (kept != size) {
            m_kept_text.clear();
            m_kept_original.clear();
            for (const std::uint32_t i : m_run) {
                m_kept_text.push_back(text[i]);
                m_kept_original.push_back(m_original[i]);
            }
            kept_text = m_kept_text.data();
            kept_original = m_kept_original.data();
        }
        bidi_rules::ResolveBracketPairs(m_types.data(), kept, kept_text, kept_original, Edge(), m_bracket_stack,
                                        m_bracket_pairs);
    }
    bidi_rules::ResolveNeutrals(m_types.data(), kept, Edge());
    // I1-I2: at the odd level 1, left-to-right and numbers go up one; at the even level 0, right-to-left goes up one
    // and numbers two.
    for (std::size_t k = 0; k < m_run.size(); ++k) {
        const C type = m_types[k];
        if (m_direction == ParagraphDirection::kRightToLeft) {
            m_levels[m_run[k]] = type == C::R ? 1 : 2;
        } else {
            m_levels[m_run[k]] = type == C::R ? 1 : (type == C::EN || type == C::AN) ? 2 : 0;
        }
    }
    for (std::size_t i = 1; i < size; ++i) {
        if (IsRemoved(m_original[i])) {
            m_levels[i] = m_levels[i - 1];
        }
    }
    ResolveLineLevels();
    Reorder(marks_after_base);
}

namespace bidi_rules {

void ResolveWeakTypes(BidiClass* t, std::size_t n, std::uint32_t present, BidiClass edge) {
    const auto Has = [present](C c) { return (present >> static_cast<unsigned>(c) & 1) != 0; };
    // W1: a mark takes the type of what it follows. W2: European digits after Arabic letters are Arabic numbers.
    // W3: Arabic letters are R. One pass: each rule reads only what the rules before it made of the types so far.
    if (Has(C::NSM) || Has(C::AL)) {
        C previous = edge;
        C last_strong = edge;
        for (std::size_t k = 0; k < n; ++k) {
            C type = t[k] == C::NSM ? previous : t[k];
            previous = type;
            if (type == C::L || type == C::R || type == C::AL) {
                last_strong = type;
                type = type == C::AL ? C::R : type;
            } else if (type == C::EN && last_strong == C::AL) {
                type = C::AN;
            }
            t[k] = type;
        }
    }
    const auto separator_or_terminator = [](C type) { return type == C::ES || type == C::ET || type == C::CS; };
    // Without a number, W4 to W7 only make the separators and terminators neutral.
    if (!Has(C::EN) && !Has(C::AN)) {
        if (Has(C::ES) || Has(C::ET) || Has(C::CS)) {
            std::replace_if(t, t + n, separator_or_terminator, C::ON);
        }
        return;
    }
    // W4: one separator between two numbers of a kind joins them. (A mark takes a separator's type only after one.)
    if (Has(C::ES) || Has(C::CS)) {
        for (std::size_t k = 1; k + 1 < n; ++k) {
            if ((t[k] == C::ES && t[k - 1] == C::EN && t[k + 1] == C::EN) ||
                (t[k] == C::CS && t[k - 1] == t[k + 1] && (t[k - 1] == C::EN || t[k - 1] == C::AN))) {
                t[k] = t[k - 1];
            }
        }
    }
    // W5: terminators (currency, %, #) next to European numbers join them.
    if (Has(C::ET)) {
        for (std::size_t k = 0; k < n;) {
            std::size_t end = k;
            while (end < n && t[end] == C::ET) {
                ++end;
            }
            if (end > k && ((k > 0 && t[k - 1] == C::EN) || (end < n && t[end] == C::EN))) {
                std::fill(t + k, t + end, C::EN);
            }
            k = std::max(end, k + 1);
        }
    }
    // W6: the separators and terminators left are neutral. W7: European numbers after left-to-right text are L.
    C last_strong = edge;
    for (std::size_t k = 0; k < n; ++k) {
        C& type = t[k];
        if (separator_or_terminator(type)) {
            type = C::ON;
        } else if (type == C::L || type == C::R) {
            last_strong = type;
        } else if (type == C::EN && last_strong == C::L) {
            type = C::L;
        }
    }
}

void ResolveBracketPairs(BidiClass* t,
                         std::size_t n,
                         const char32_t* text,
                         const BidiClass* original,
                         BidiClass edge,
                         std::vector<std::uint32_t>& stack,
                         std::vector<std::uint64_t>& pairs) {
    // BD16: pairs of brackets that are still neutral, matched with a bounded stack of openers.
    stack.clear();
    pairs.clear();
    for (std::size_t k = 0; k < n; ++k) {
        const char32_t code_point = text[k];
        const BracketPair* bracket = t[k] == C::ON && MayBeBracket(code_point) ? FindBracket(code_point) : nullptr;
        if (!bracket) {
            continue;
        }
        if (bracket->opens) {
            if (stack.size() == kMaxBracketDepth) {
                break;
            }
            stack.push_back(static_cast<std::uint32_t>(k));
            continue;
        }
        const char32_t closing = CanonicalBracket(code_point);
        for (std::size_t j = stack.size(); j-- > 0;) {
            if (CanonicalBracket(FindBracket(text[stack[j]])->pair) == closing) {
                pairs.push_back(std::uint64_t{stack[j]} << 32 | k);
                stack.resize(j);
                break;
            }
        }
    }
    std::sort(pairs.begin(), pairs.end());
    // N0: a pair takes the paragraph's direction when it holds a strong type of it; else the other direction when it
    // holds that and that comes before it.
    for (std::uint64_t pair : pairs) {
        const std::size_t open = pair >> 32;
        const std::size_t close = pair & 0xFFFFFFFF;
        bool holds_other = false;
        bool holds_own = false;
        for (std::size_t k = open + 1; k < close && !holds_own; ++k) {
            const C direction = Direction(t[k]);
            holds_own |= direction == edge;
            holds_other |= direction != edge && direction != C::ON;
        }
        if (!holds_other && !holds_own) {
            continue;
        }
        C direction = edge;
        if (!holds_own) {
            std::size_t k = open;
            while (k > 0 && Direction(t[k - 1]) == C::ON) {
                --k;
            }
            direction = k > 0 ? Direction(t[k - 1]) : edge;
        }
        for (std::size_t bracket : {open, close}) {
            t[bracket] = direction;
            // Marks on a bracket were made ON by W1; they follow the bracket.
            for (std::size_t k = bracket + 1; k < n && original[k] == C::NSM; ++k) {
                t[k] = direction;
            }
        }
    }
}

void ResolveNeutrals(BidiClass* t, std::size_t n, BidiClass edge) {
    // N1: neutrals between two of the same direction take it. N2: the others take the paragraph's.
    C before = edge;
    std::size_t neutrals = 0;  // where the run of neutrals before k starts
    for (std::size_t k = 0; k < n; ++k) {
        if (IsNeutral(t[k])) {
            continue;
        }
        const C direction = Direction(t[k]);
        if (neutrals < k) {
            std::fill(t + neutrals, t + k, before == direction ? before : edge);
        }
        before = direction;
        neutrals = k + 1;
    }
    std::fill(t + neutrals, t + n, edge);  // before eos, which is the edge
}

}  // namespace bidi_rules

void BidiParagraph::ResolveLineLevels() {
    // L1: separators, and the white space before them or at the end of the line, go back to the paragraph's level.
    const std::uint8_t base = BaseLevel();
    bool trailing = true;
    for (std::size_t i = m_levels.size(); i-- > 0;) {
        const C c = m_original[i];
        if (c == C::S || c == C::B) {
            m_levels[i] = base;
            trailing = true;
        } else if (c == C::WS || IsRemoved(c)) {
            m_levels[i] = trailing ? base : m_levels[i];
        } else {
            trailing = false;
        }
    }
}

void BidiParagraph::Reorder(bool marks_after_base) {
    std::vector<std::uint32_t>& order = m_visual_to_logical;
    const std::size_t size = m_levels.size();
    order.resize(size);
    std::iota(order.begin(), order.end(), 0);
    // L3: a base and its marks at an odd level are put in reverse beforehand, so that L2 shows the base first.
    for (std::size_t end = size; marks_after_base && end-- > 0;) {
        if ((m_levels[end] & 1) == 0 || m_original[end] != C::NSM) {
            continue;
        }
        std::size_t start = end;
        while (start > 0 && m_levels[start - 1] == m_levels[end] &&
               (m_original[start - 1] == C::NSM || IsRemoved(m_original[start - 1]))) {
            --start;
        }
        start -= start > 0 && m_levels[start - 1] == m_levels[end] ? 1 : 0;
        std::reverse(order.begin() + start, order.begin() + end + 1);
        end = start;
    }
    // L2: from the highest level down to the lowest odd one, reverse every run at that level or above.
    const std::uint8_t highest = size ? *std::max_element(m_levels.begin(), m_levels.end()) : 0;
    for (std::uint8_t level = highest; level >= 1; --level) {
        for (std::size_t p = 0; p < size;) {
            std::size_t end = p;
            while (end < size && m_levels[order[end]] >= level) {
                ++end;
            }
            std::reverse(order.begin() + p, order.begin() + end);
            p = end + 1;
        }
    }
}
