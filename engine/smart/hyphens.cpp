// Words hyphenated across a line end (engine/smart/hyphens.h).
#include "engine/smart/hyphens.h"

#include <algorithm>

namespace parafold::smart {
namespace {

// Split words whose spelling the text shows elsewhere, fewer than this say
// nothing of its style: a few compounds that the text also writes solid
// ("to-day" beside "today") could be all of them.
constexpr std::int64_t least_style_evidence = 5;

bool is_capital(char c) { return c >= 'A' && c <= 'Z'; }

// Counts a word lower-cased, unless it is too long.
void count_word(WordCounts& counts, std::string_view word) {
    if (word.size() > longest_word) return;
    char lowered[longest_word];
    for (std::size_t i = 0; i < word.size(); ++i) lowered[i] = lower(word[i]);
    counts.add(std::string_view(lowered, word.size()), max_text_words);
}

// "first-second", lower-cased, into `scratch`.
std::string_view compound_of(std::string_view first, std::string_view second,
                             std::string& scratch) {
    scratch.clear();
    for (char c : first) scratch += lower(c);
    scratch += '-';
    for (char c : second) scratch += lower(c);
    return scratch;
}

}  // namespace

void add_line_words(Vocabulary& vocabulary, std::string_view line, const LineFacts& facts) {
    std::string& scratch = vocabulary.scratch;
    if (facts.blank) {
        vocabulary.open_half.clear();
        return;
    }
    const std::string_view body = trim_left(trim_right(line));
    std::size_t i = 0;
    // The second half of a word the line before split: counted with its
    // first half, as a split word.
    if (!vocabulary.open_half.empty() && facts.starts_letter) {
        while (i < body.size() && is_letter(body[i])) ++i;
        const std::string_view split =
            compound_of(vocabulary.open_half, body.substr(0, i), scratch);
        if (split.size() <= longest_word) vocabulary.splits.add(split, max_split_words);
    }
    vocabulary.open_half.clear();
    // The first half of a word split at this line's end waits for the next.
    const std::size_t split_at = facts.hyphen_end ? body.size() - 1 : std::string_view::npos;
    std::string_view before;  // the word before, when a single hyphen joins it to this one
    while (i < body.size()) {
        if (!is_letter(body[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < body.size() && is_letter(body[i])) ++i;
        const std::string_view word = body.substr(start, i - start);
        if (i == split_at) {
            vocabulary.open_half.assign(word);
            break;
        }
        count_word(vocabulary.words, word);
        if (!before.empty() && before.size() + word.size() < longest_word) {
            vocabulary.words.add(compound_of(before, word, scratch), max_text_words);
        }
        const bool hyphen_next =
            i + 1 < body.size() && body[i] == '-' && is_letter(body[i + 1]);
        before = hyphen_next ? word : std::string_view();
    }
}

HyphenStyle style_of(const Vocabulary& vocabulary) {
    std::int64_t whole = 0, compound = 0;
    std::string scratch;
    vocabulary.splits.for_each([&](std::string_view split, std::uint32_t times) {
        const std::size_t hyphen = split.find('-');
        const Halves halves{split.substr(0, hyphen), split.substr(hyphen + 1)};
        const SplitEvidence evidence = evidence_of(vocabulary, halves, scratch);
        if (evidence.whole > evidence.compound) whole += times;
        if (evidence.compound > evidence.whole) compound += times;
    });
    if (whole + compound < least_style_evidence) return HyphenStyle::unknown;
    return whole > compound ? HyphenStyle::print : HyphenStyle::compounds;
}

Halves halves_of(std::string_view a, std::string_view b) {
    std::size_t start = a.size() - 1;
    while (start > 0 && is_letter(a[start - 1])) --start;
    b = trim_left(b);
    std::size_t stop = 0;
    while (stop < b.size() && is_letter(b[stop])) ++stop;
    return {a.substr(start, a.size() - 1 - start), b.substr(0, stop)};
}

SplitEvidence evidence_of(const Vocabulary& vocabulary, Halves halves, std::string& scratch) {
    SplitEvidence evidence;
    const std::string_view second = halves.second;
    evidence.second_capital =
        !second.empty() && is_capital(second[0]) &&
        std::any_of(second.begin(), second.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    const std::string_view compound = compound_of(halves.first, second, scratch);
    const std::size_t hyphen = halves.first.size();
    evidence.compound = vocabulary.words.count(compound);
    evidence.first_half = vocabulary.words.count(compound.substr(0, hyphen));
    evidence.second_half = vocabulary.words.count(compound.substr(hyphen + 1));
    scratch.erase(hyphen, 1);
    evidence.whole = vocabulary.words.count(scratch);
    return evidence;
}

Listed listed_of(const Vocabulary& vocabulary, Halves halves, std::string& scratch) {
    if (vocabulary.listed.empty()) return Listed::none;
    const std::string_view compound = compound_of(halves.first, halves.second, scratch);
    const std::size_t hyphen = halves.first.size();
    const auto first = vocabulary.listed.find(compound.substr(0, hyphen));
    const auto second = vocabulary.listed.find(compound.substr(hyphen + 1));
    scratch.erase(hyphen, 1);
    const auto joined = vocabulary.listed.find(std::string_view(scratch));
    const auto end = vocabulary.listed.end();
    if (first == end || second == end || joined == end) return Listed::none;
    const bool halves_listed = first->second && second->second;
    if (joined->second) return halves_listed ? Listed::both : Listed::joined;
    return halves_listed ? Listed::halves : Listed::neither;
}

bool keeps_hyphen(const SplitEvidence& evidence, HyphenStyle style, Listed listed) {
    // A capital inside a word follows a hyphen of its own ("anti-Slavery").
    if (evidence.second_capital) return true;
    // The spelling the text uses more often elsewhere; where it uses both
    // as often, the one its style makes likelier.
    if (evidence.whole != evidence.compound) return evidence.compound > evidence.whole;
    if (evidence.whole > 0) return style != HyphenStyle::print;
    // The text is silent on this word.
    switch (style) {
        case HyphenStyle::compounds:
            // Its hyphens at line ends are its words' own.
            return true;
        case HyphenStyle::print:
            // A word list that suits the text knows the joined word or
            // the halves; else a break inside a word seldom leaves two
            // words of the text, a compound's halves are words.
            if (listed == Listed::joined || listed == Listed::both) return false;
            if (listed == Listed::halves) return true;
            return evidence.first_half > 0 && evidence.second_half > 0;
        case HyphenStyle::unknown:
            // As the text has it, unless a word list knows the joined word
            // and not both halves.
            return listed != Listed::joined;
    }
    return true;
}

std::string_view before_split_word(std::string_view a, std::string_view b,
                                   const Vocabulary* vocabulary, std::string& scratch) {
    if (!vocabulary) return a;
    const Halves halves = halves_of(a, b);
    const SplitEvidence evidence = evidence_of(*vocabulary, halves, scratch);
    const Listed listed = listed_of(*vocabulary, halves, scratch);
    if (!keeps_hyphen(evidence, vocabulary->style, listed)) a.remove_suffix(1);
    return a;
}

}  // namespace parafold::smart
