// Words hyphenated across a line end, in the reading-quality unwrap: the
// vocabulary that the layout scan collects (the text is its own
// dictionary) and the join of the two halves.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

#include "engine/smart/lines.h"

namespace parafold::smart {

// Hashes a word by its bytes, so that a view of a word can be looked up
// without making a string of it.
struct WordHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view word) const {
        return std::hash<std::string_view>{}(word);
    }
};

// The words of a text, lower-cased.
struct Vocabulary {
    std::unordered_set<std::string, WordHash, std::equal_to<>> words;
};

// Adds the words of `text` to the vocabulary: runs of letters, lower-cased,
// of at most `longest_word` bytes.
inline constexpr std::size_t longest_word = 64;
void add_words(Vocabulary& vocabulary, std::string_view text);

// Whether a word is hyphenated across the break between lines `a` and `b`:
// A ends in a letter and one '-', B starts with a letter. Such a word is
// joined without a blank.
bool splits_word(const LineFacts& a, const LineFacts& b);

// The text of line A (without its trailing blanks) as it goes before B
// when a word is split across them: without its hyphen when `vocabulary`
// (nullptr: none) has the whole word. `scratch` is reused between calls.
std::string_view before_split_word(std::string_view a, std::string_view b,
                                   const Vocabulary* vocabulary, std::string& scratch);

}  // namespace parafold::smart
