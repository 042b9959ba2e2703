// A word list that the system has (one word a line, as Debian's word list
// packages install under /usr/share/dict), asked about the split words of
// a text for dehyphenation where the text itself is silent on them. It
// is optional: without one the text's own evidence decides alone.
//
// A list is asked only when it suits the text: when most of the text's
// commonest words are in it, which they are only when the list is of the
// text's language. Only the words the text needs (the halves of its split
// words and their joins) are kept of it, so a list of any size costs a
// read and a few kilobytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/smart/hyphens.h"

namespace parafold::smart {

// The lists tried in turn when the caller names none: the system's default
// list first, then the lists of the languages that Debian packages.
inline constexpr const char* system_word_lists[] = {
    "/usr/share/dict/words",         "/usr/share/dict/american-english",
    "/usr/share/dict/british-english", "/usr/share/dict/ngerman",
    "/usr/share/dict/french",        "/usr/share/dict/dutch",
};

// No word list is larger (the largest Debian packages hold 7 MiB): the
// rest of a longer file is not read.
inline constexpr std::size_t max_word_list_bytes = 32 << 20;

// The words of a list that a text asks about, found as the list is read.
struct WordListMatch {
    // The words asked (lower-cased): the text's commonest words and the
    // halves and joins of its split words; true once found in the list.
    std::unordered_map<std::string, bool, WordHash, std::equal_to<>> asked;
    std::vector<std::string> common;  // the text's commonest words
    std::string open;                 // an entry a piece of the list left unfinished
};

// The words of `vocabulary` to ask a list about. A word with bytes beyond
// ASCII is asked only of a UTF-8 text (`utf8`): the lists are in UTF-8.
WordListMatch start_match(const Vocabulary& vocabulary, bool utf8);

// Reads a piece of a list; pieces may cut entries anywhere.
void match_list(WordListMatch& match, std::string_view piece);

// Whether the list read suits the text; if so, its answers go into
// `vocabulary.listed`.
bool take_answers(WordListMatch& match, Vocabulary& vocabulary);

// Once the text is read: its hyphen style, and the answers of the first
// list that suits it. `path` names the list; nullptr tries the system's
// lists; "" asks none. A list that is missing or unreadable is passed over.
void learn_spellings(Vocabulary& vocabulary, const char* path, bool utf8);

}  // namespace parafold::smart
