#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/bidi.h"

// The resolving rules of the bidirectional algorithm, over the classes of the characters that X9 keeps in one
// paragraph whose sos and eos are `edge` (R in a right-to-left paragraph). BidiParagraph resolves every line with
// them; QuickVisualOrder resolves the common lines with them, faster.
namespace bidi_rules {

// W1-W7 on `types`. `present`: a bit (1 << class) for each class among them, so that rules about absent classes are
// skipped.
void ResolveWeakTypes(BidiClass* types, std::size_t size, std::uint32_t present, BidiClass edge);

// N0 on `types`, which W1-W7 resolved: `text` and `original` hold the code point and the own class of each.
// `stack` and `pairs` are memory kept between calls.
void ResolveBracketPairs(BidiClass* types,
                         std::size_t size,
                         const char32_t* text,
                         const BidiClass* original,
                         BidiClass edge,
                         std::vector<std::uint32_t>& stack,
                         std::vector<std::uint64_t>& pairs);

// N1-N2 on `types`.
void ResolveNeutrals(BidiClass* types, std::size_t size, BidiClass edge);

// Whether a character of class ON may be a bracket of N0 (false for most characters below U+0800).
bool MayBeBracket(char32_t code_point);

}  // namespace bidi_rules
