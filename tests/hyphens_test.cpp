// Dehyphenation: the decision from a text's evidence as a pure function,
// what the scan counts of a text's spellings, and a word list asked
// about them (given here, never the system's).
#include "engine/smart/hyphens.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/smart/layout.h"
#include "engine/smart/word_list.h"

namespace parafold::smart {
namespace {

using enum HyphenStyle;
using enum Listed;

TEST(KeepsHyphen, SpellsAsTheTextDoes) {
    const struct {
        const char* name;
        SplitEvidence evidence;  // whole, compound, first half, second half, capital
        HyphenStyle style;
        Listed listed;
        bool keeps;
    } rows[] = {
        {"capital after the hyphen", {3, 0, 1, 1, true}, print, joined, true},
        {"whole word more often", {2, 1, 1, 1, false}, compounds, halves, false},
        {"compound more often", {1, 3, 0, 0, false}, print, joined, true},
        {"both as often, print", {2, 2, 1, 1, false}, print, none, false},
        {"both as often, compounds", {2, 2, 1, 1, false}, compounds, none, true},
        {"silent, compounds: no list asked", {0, 0, 0, 0, false}, compounds, joined, true},
        {"silent, print: halves are words", {0, 0, 4, 2, false}, print, none, true},
        {"silent, print: a half is no word", {0, 0, 4, 0, false}, print, none, false},
        {"silent, print: the list has the word", {0, 0, 4, 2, false}, print, both, false},
        {"silent, print: the list has the halves", {0, 0, 4, 0, false}, print, halves, true},
        {"silent, unknown: as written", {0, 0, 0, 0, false}, unknown, neither, true},
        {"silent, unknown: the list has the word", {0, 0, 4, 2, false}, unknown, joined, false},
        {"silent, unknown: the list has all", {0, 0, 4, 2, false}, unknown, both, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(keeps_hyphen(row.evidence, row.style, row.listed), row.keeps);
    }
}

// The vocabulary of `text`, as the layout scan collects it.
struct Scanned {
    SmartScanState scan;
    Vocabulary& vocabulary;
};
Scanned scanned(const std::string& text) {
    SmartScanState scan = start_layout_scan(true);
    scan_layout(*scan, text.data(), text.size());
    finish_layout(*scan, 0);
    Vocabulary& vocabulary = *vocabulary_of(*scan);
    return {std::move(scan), vocabulary};
}

TEST(Vocabulary, CountsSplitWordsApart) {
    const Scanned text =
        scanned("An econo-\nmist, a well-known Mother-in-\nLaw.\nA lone half-\n\nway.\n");
    const struct {
        const char* word;
        std::uint32_t words, splits;
    } rows[] = {
        {"econo", 0, 0}, {"mist", 0, 0}, {"econo-mist", 0, 1}, {"well-known", 1, 0},
        {"known", 1, 0}, {"in-law", 0, 1}, {"law", 0, 0},       {"half", 0, 0},
        {"way", 1, 0},   {"half-way", 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.word);
        EXPECT_EQ(text.vocabulary.words.count(row.word), row.words);
        EXPECT_EQ(text.vocabulary.splits.count(row.word), row.splits);
    }
}

// Words short and long, far more than the table starts with: each keeps
// its own count as the table grows.
TEST(WordCounts, KeepsEachWordsCount) {
    WordCounts counts;
    auto word = [](int i) {
        return std::string(static_cast<std::size_t>(i % 40 + 1), 'a') + std::to_string(i);
    };
    for (int times = 1; times <= 3; ++times) {
        for (int i = 0; i < 5000; ++i) {
            if (i % 3 < times) counts.add(word(i));
        }
    }
    EXPECT_EQ(counts.size(), 5000u);
    for (int i = 0; i < 5000; i += 7) {
        SCOPED_TRACE(word(i));
        EXPECT_EQ(counts.count(word(i)), static_cast<std::uint32_t>(3 - i % 3));
    }
    // Past a cap on the words told apart, only those already counted count on.
    counts.add("b", 5000);
    counts.add(word(0), 5000);
    EXPECT_EQ(counts.size(), 5000u);
    EXPECT_EQ(counts.count("b"), 0u);
    EXPECT_EQ(counts.count(word(0)), 4u);
}

// A text of more different words than any book, as random strings are:
// the vocabulary, and so its memory, stops growing at its cap.
TEST(Vocabulary, TellsApartAtMostItsCapOfWords) {
    std::string text;
    for (std::size_t i = 0; i < max_text_words + 1000; ++i) {
        std::size_t n = i;
        do {
            text += static_cast<char>('a' + n % 26);
            n /= 26;
        } while (n != 0);
        text += i % 10 == 9 ? '\n' : ' ';
    }
    EXPECT_EQ(scanned(text).vocabulary.words.size(), max_text_words);
}

TEST(Vocabulary, StyleFromTheSplitWordsItResolves) {
    const std::string print_lines = "the where-\nabouts\nthe after-\nnoon\n";
    const std::string solid = "whereabouts afternoon\n";
    const std::string hyphened = "where-abouts after-noon\n";
    const struct {
        const char* name;
        std::string text;
        HyphenStyle style;
    } rows[] = {
        {"mostly whole words", print_lines + print_lines + print_lines + solid, print},
        {"mostly compounds", print_lines + print_lines + print_lines + hyphened, compounds},
        {"too few to tell", print_lines + print_lines + solid, unknown},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(style_of(scanned(row.text).vocabulary), row.style);
    }
}

// A list read in pieces of every size gives the same answers, and only
// when it is of the text's language.
TEST(WordList, AnswersOnlyForTheTextsLanguage) {
    const std::string english =
        "the cat and the dog saw the econo-\nmist and a gree-\nnery of the wood.\n";
    const std::string list_english = "cat\ndog\neconomist\r\ngreen\nOf\nSaw\nthe\nwood\nA\nand\n";
    const struct {
        const char* name;
        std::string list;
        bool suits;
    } rows[] = {
        {"the text's language", list_english, true},
        {"another language", "chat\nchien\neconomist\nle\n", false},
        {"a long entry", list_english + std::string(200, 'x') + "\n", true},
        {"no line end after the last", "the\ncat\ndog\nsaw\nof\nwood\na\nand\neconomist", true},
    };
    for (const auto& row : rows) {
        for (std::size_t piece : {std::size_t{1}, std::size_t{7}, row.list.size()}) {
            SCOPED_TRACE(std::string(row.name) + ", pieces of " + std::to_string(piece));
            Scanned text = scanned(english);
            WordListMatch match = start_match(text.vocabulary, true);
            for (std::size_t at = 0; at < row.list.size(); at += piece)
                match_list(match, std::string_view(row.list).substr(at, piece));
            EXPECT_EQ(take_answers(match, text.vocabulary), row.suits);
            std::string scratch;
            EXPECT_EQ(listed_of(text.vocabulary, {"econo", "mist"}, scratch),
                      row.suits ? joined : none);
            EXPECT_EQ(listed_of(text.vocabulary, {"gree", "nery"}, scratch),
                      row.suits ? neither : none);
        }
    }
}

}  // namespace
}  // namespace parafold::smart
