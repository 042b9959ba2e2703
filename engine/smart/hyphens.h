// Words hyphenated across a line end, in the reading-quality unwrap: what
// the text shows of its own spelling (the layout scan collects it: the
// text is its own dictionary), the decision whether a split word keeps its
// hyphen, and the join of the two halves.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/smart/lines.h"
#include "engine/smart/word_counts.h"

namespace parafold::smart {

// Hashes a word by its bytes, so that a view of a word can be looked up
// without making a string of it.
struct WordHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view word) const {
        return std::hash<std::string_view>{}(word);
    }
};

// How a text's hyphens at line ends read, from the split words whose
// spelling the text shows elsewhere.
enum class HyphenStyle : std::uint8_t {
    unknown,    // too few of them say
    print,      // most are whole words elsewhere: the lines were hyphenated as print is
    compounds,  // most are compounds elsewhere: a hyphen at a line end is the word's own
};

// What a word list says of a split word; `none` where no list that suits
// the text was asked about it.
enum class Listed : std::uint8_t {
    none,
    joined,   // the joined word is listed, not both halves
    halves,   // both halves are listed, not the joined word
    both,     // the joined word and both halves
    neither,  // neither the joined word nor both halves
};

// The words of a text, lower-cased, with how often each occurs; a
// hyphenated compound inside a line also counts as "first-second". The
// halves of a word split at a line end do not count as words: they are
// counted apart, as "first-second" in `splits`.
struct Vocabulary {
    WordCounts words;
    WordCounts splits;  // at most `max_split_words` told apart
    std::string open_half;  // the first half of a word the previous line split
    std::string scratch;    // reused while counting
    HyphenStyle style = HyphenStyle::unknown;
    // The words asked of a word list that suits the text, and whether it
    // has them; empty: no such list.
    std::unordered_map<std::string, bool, WordHash, std::equal_to<>> listed;
};

// Words longer than this are no words of a language: they are not counted.
inline constexpr std::size_t longest_word = 64;
// Split words told apart for the style and for a word list: a book has a
// few thousand at most; more only repeat what those show.
inline constexpr std::size_t max_split_words = std::size_t{1} << 16;
// Different words told apart, so that the vocabulary's memory stays
// bounded whatever the text (50 MiB for short words, about 100 MiB at most
// for long ones): a long novel has some 20,000 and a shelf of books a few
// hundred thousand. Past this (random strings, say) only the words already
// counted count on.
inline constexpr std::size_t max_text_words = std::size_t{1} << 19;

// Adds the words of a line to the vocabulary (every line in order, blank
// ones too: a blank line ends a split word).
void add_line_words(Vocabulary& vocabulary, std::string_view line, const LineFacts& facts);

// Decides the style from the split words counted, once the text is read.
HyphenStyle style_of(const Vocabulary& vocabulary);

// Whether a word is hyphenated across the break between lines `a` and `b`:
// A ends in a letter and one '-', B starts with a letter. Such a word is
// joined without a blank. Inline: the join asks it of every line it joins.
inline bool splits_word(const LineFacts& a, const LineFacts& b) {
    return a.hyphen_end && b.starts_letter;
}

// The halves of a word split between `a` (without its trailing blanks,
// ending in '-') and `b`: the letters before the hyphen, and B's first
// letters.
struct Halves {
    std::string_view first, second;
};
Halves halves_of(std::string_view a, std::string_view b);

// What the text shows of one split word.
struct SplitEvidence {
    std::uint32_t whole = 0;        // the joined word, unsplit elsewhere
    std::uint32_t compound = 0;     // the hyphenated compound inside a line elsewhere
    std::uint32_t first_half = 0;   // the first half as a word of its own
    std::uint32_t second_half = 0;  // the second half as a word of its own
    bool second_capital = false;    // the second half starts with a capital, then small letters
};

SplitEvidence evidence_of(const Vocabulary& vocabulary, Halves halves, std::string& scratch);
Listed listed_of(const Vocabulary& vocabulary, Halves halves, std::string& scratch);

// Whether a split word keeps its hyphen (`well-known`) or loses it
// (`economies`), from the text's evidence, its style and a word list's.
bool keeps_hyphen(const SplitEvidence& evidence, HyphenStyle style, Listed listed);

// The text of line A (without its trailing blanks) as it goes before B
// when a word is split across them: without its hyphen when the
// vocabulary (nullptr: none, the hyphen stays) says the word has none.
// `scratch` is reused between calls.
std::string_view before_split_word(std::string_view a, std::string_view b,
                                   const Vocabulary* vocabulary, std::string& scratch);

}  // namespace parafold::smart
