// Words hyphenated across a line end (engine/smart/hyphens.h).
#include "engine/smart/hyphens.h"

namespace parafold::smart {

void add_words(Vocabulary& vocabulary, std::string_view text) {
    char word[longest_word];
    std::size_t i = 0;
    while (i < text.size()) {
        if (!is_letter(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < text.size() && is_letter(text[i])) ++i;
        if (i - start > longest_word) continue;
        for (std::size_t k = start; k < i; ++k) word[k - start] = lower(text[k]);
        const std::string_view found(word, i - start);
        if (!vocabulary.words.contains(found)) vocabulary.words.emplace(found);
    }
}

bool splits_word(const LineFacts& a, const LineFacts& b) { return a.hyphen_end && b.starts_letter; }

std::string_view before_split_word(std::string_view a, std::string_view b,
                                   const Vocabulary* vocabulary, std::string& scratch) {
    if (!vocabulary) return a;
    std::size_t start = a.size() - 1;
    while (start > 0 && is_letter(a[start - 1])) --start;
    b = trim_left(b);
    std::size_t stop = 0;
    while (stop < b.size() && is_letter(b[stop])) ++stop;
    scratch.clear();
    for (char c : a.substr(start, a.size() - 1 - start)) scratch += lower(c);
    for (char c : b.substr(0, stop)) scratch += lower(c);
    if (vocabulary->words.contains(scratch)) a.remove_suffix(1);
    return a;
}

}  // namespace parafold::smart
