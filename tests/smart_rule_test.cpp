// The break rule and the layout scan of the reading-quality unwrap, each
// from a table: the rule on the facts of a block's lines as the cutter
// measures them, the scan on texts made in a known style.
#include "engine/smart/rule.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/smart/layout.h"
#include "engine/smart/lines.h"

namespace parafold::smart {
namespace {

// The facts of each line of `text`, cut as the join cuts it.
std::vector<LineFacts> facts_of(const std::string& text, bool utf8) {
    std::vector<LineFacts> facts;
    LineCutter cutter;
    auto keep = [](void* context, const CutLine& line) {
        static_cast<std::vector<LineFacts>*>(context)->push_back(line.facts);
    };
    cut_lines(cutter, text.data(), text.size(), utf8, keep, &facts);
    end_lines(cutter, utf8, keep, &facts);
    return facts;
}

std::vector<std::string> reasons(const std::vector<Verdict>& verdicts) {
    std::vector<std::string> said;
    for (Verdict verdict : verdicts) said.push_back(reason_of(verdict));
    return said;
}

using enum Verdict;

// Greedy wrapping at 30 columns, lines shorter than 22 short.
constexpr TextLayout greedy{.width = 30, .wrapped = true, .wrap_floor = 22};
constexpr TextLayout nearly_greedy{
    .width = 30, .wrapped = true, .wrap_floor = 22, .wrapping = Wrapping::nearly_greedy};
constexpr TextLayout unfilled{
    .width = 30, .wrapped = true, .wrap_floor = 22, .wrapping = Wrapping::unfilled};

constexpr TextLayout with_utf8(TextLayout layout) {
    layout.utf8 = true;
    return layout;
}

struct RuleRow {
    const char* name;
    TextLayout layout;
    std::string block;               // its lines, none blank
    std::vector<Verdict> verdicts;   // on the breaks between them
};

// Every rule, with the facts and signs each reads.
TEST(JudgeBlock, KeepsEachBreakForItsReason) {
    const RuleRow rows[] = {
        {"a numbered item", greedy, "Do this:\n1. Install the package\n", {list_item}},
        {"a lettered item after punctuation, though it would not fit", greedy,
         "the cases are these, in turn;\n(b) the second\n", {list_item}},
        {"a roman numeral marks a lettered item", greedy,
         "the cases are these, in turn;\n(iv) the fourth\n", {list_item}},
        {"a closing quotation mark is punctuation", with_utf8(greedy),
         "so he said that it was \xE2\x80\x9Cover\xE2\x80\x9D\n(c) the third\n", {list_item}},
        {"a letter in brackets after a full line is a reference", greedy,
         "as explained at length in part\n(b) of the notes\n", {join}},
        {"a bullet after a bullet", greedy, "- one item fills the line so\n- another item\n",
         {list_item}},
        {"a list item's text goes on under it", greedy,
         "- one item fills the line so\n  it goes on here\n", {join}},
        {"a deeper line after one with room starts a quote", greedy,
         "He wrote these words:\n    Whatever you do\n", {indented}},
        {"a definition hangs under a full first line", greedy,
         "Term:  a definition that fills\n       the line and goes on\n", {join}},
        {"indentation returns inside a paragraph", greedy,
         "He said it, and went on at it\n    the quote goes on and on\nand the rest of it\n",
         {join, outdented}},
        {"without print style a full indented line runs on", greedy,
         "  That was all there was to it\n  Then the rain came down\n", {join}},
        {"in print style an indented line starts a paragraph",
         TextLayout{.width = 30, .wrapped = true, .wrap_floor = 22, .print_style = true},
         "  That was all there was to it\n  Then the rain came down\n", {indented}},
        {"after a sentence one blank: the word fits", greedy,
         "The rain fell all night.\nWhere did it go\n", {fits}},
        {"after a sentence two blanks: the word does not fit",
         TextLayout{.width = 30, .wrapped = true, .wrap_floor = 22, .two_spaces = true},
         "The rain fell all night.\nWhere did it go\n", {join}},
        {"a word alone fits", greedy, "It was all set down in\nSection 4 of the rules\n", {fits}},
        {"a word with its number does not fit where they go together",
         TextLayout{.width = 30, .wrapped = true, .wrap_floor = 22, .bound_numbers = true},
         "It was all set down in\nSection 4 of the rules\n", {join}},
        {"a block of short lines", greedy, "Part 1 Apples\nPart 2 Pears\nPart 3 Plums\n",
         {short_lines, short_lines}},
        {"a quote set narrower", greedy, "    Whatever you do\n    extraordinarily well\n",
         {narrow_quote}},
        {"verse: capitals, punctuation, and the next word fits",
         TextLayout{.width = 30, .wrapped = true, .wrap_floor = 10},
         "Roses are red,\nViolets are blue,\nSugar is sweet,\nAnd so are you.\n",
         {verse, verse, verse}},
        {"verse of long lines, though the next word would not fit", greedy,
         "The winds of evening wander,\nWhispering over the waters,\n"
         "Gathering shadows and silence,\nRemembering all that is gone.\n",
         {verse, verse, verse}},
        {"greedy: the next word would have fit", greedy,
         "CHAPTER ONE\nIt was a dark and stormy night\nand the rain fell\n", {fits, join}},
        {"greedy: a short line before a short capitalised one", greedy,
         "Roses are red now\nIncomprehensibly so\n", {short_lines}},
        {"nearly greedy: a fitting word alone proves nothing", nearly_greedy,
         "It was a dark and stormy\nNight came\n", {join}},
        {"nearly greedy: a short line before a capital", nearly_greedy,
         "It was late.\nThen they slept all through\nthe night\n",
         {short_before_capital, join}},
        {"nearly greedy: a Latin-1 capital", with_utf8(nearly_greedy),
         "It was late.\n\xC3\x89mile slept all through\nthe night\n",
         {short_before_capital, join}},
        {"nearly greedy: a capital after an opening quotation mark", with_utf8(nearly_greedy),
         "It was late.\n\xE2\x80\x9CWell,\xE2\x80\x9D he said, and they\nslept\n",
         {short_before_capital, join}},
        {"nearly greedy: a capital after a typed quotation mark", nearly_greedy,
         "It was late.\n\"Well,\" he said, and they\nslept\n",
         {short_before_capital, join}},
        {"nearly greedy: a hyphenated word runs on before a capital", nearly_greedy,
         "It was a well-\nKnown thing in the old days\nand more\n", {join, join}},
        {"unfilled: a line far short of the short mark before a capital", unfilled,
         "It was late.\nThen they slept all through\nthe night\n",
         {short_before_capital, join}},
        {"unfilled: a line not that short runs on", unfilled,
         "It was late, and so\nThen they slept all through\nthe night\n", {join, join}},
        {"a quoted line is measured from its first word", greedy,
         "> he said that it was all\n> wonderful and more\n", {join}},
    };
    for (const RuleRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<LineFacts> facts = facts_of(row.block, row.layout.utf8);
        ASSERT_EQ(facts.size(), row.verdicts.size() + 1);
        std::vector<Verdict> got(row.verdicts.size());
        judge_block(facts.data(), facts.size(), true, row.layout, got.data());
        EXPECT_EQ(reasons(got), reasons(row.verdicts));
    }
}

// ---------------------------------------------------------------- layout

struct Style {
    bool print_style = false;    // paragraphs start with an indented line, no blank line between
    bool two_spaces = false;     // two blanks after a sentence
    bool units = false;          // "Section 12" now and then,
    bool bound = false;          // never parted by a line end (else now and then)
    std::size_t indent = 0;      // of every line
};

// Forty paragraphs of random words and sentences, wrapped greedily at 66
// columns in `style`.
std::string styled_prose(const Style& style, unsigned seed) {
    std::mt19937 rng(seed);
    const std::size_t width = 66;
    const std::string margin(style.indent, ' ');
    std::string text;
    for (int paragraph = 0; paragraph < 40; ++paragraph) {
        std::vector<std::string> words;
        bool capital = true;
        for (std::size_t i = 0, n = 40 + rng() % 40; i < n; ++i) {
            if (style.units && rng() % 6 == 0) {
                const std::string number = std::to_string(1 + rng() % 20);
                if (style.bound) {
                    words.push_back("Section " + number);
                } else {
                    // A wrapper that knows nothing of them parts them now and then.
                    words.push_back("Section");
                    if (rng() % 4 == 0) words.push_back("\n");
                    words.push_back(number);
                }
                continue;
            }
            std::string word;
            for (std::size_t k = 0, letters = 1 + rng() % 9; k < letters; ++k)
                word += static_cast<char>('a' + rng() % 26);
            if (capital) word[0] = static_cast<char>(word[0] - 32);
            capital = rng() % 8 == 0;
            if (capital) word += '.';
            words.push_back(word);
        }
        words.back() += '.';
        std::string line = margin + (style.print_style ? "  " : "");
        bool empty = true;
        for (const std::string& word : words) {
            if (word == "\n") {
                text += line + "\n";
                line = margin;
                empty = true;
                continue;
            }
            const std::string gap = empty                                        ? ""
                                    : style.two_spaces && line.back() == '.' ? "  "
                                                                             : " ";
            if (!empty && line.size() + gap.size() + word.size() > width) {
                text += line + "\n";
                line = margin + word;
            } else {
                line += gap + word;
            }
            empty = false;
        }
        text += line + (style.print_style ? "\n" : "\n\n");
    }
    return text;
}

TextLayout layout_of(const std::string& text) {
    const SmartScanState scan = start_layout_scan(false);
    scan_layout(*scan, text.data(), text.size());
    return finish_layout(*scan, 0);
}

// What the scan learns of a text's style, each fact from a text that shows it.
TEST(FinishLayout, LearnsTheTextsStyle) {
    const struct {
        const char* name;
        Style style;
        bool print_style, two_spaces, bound_numbers;
        std::int32_t body_indent;
    } rows[] = {
        {"plain", {}, false, false, false, 0},
        {"print style", {.print_style = true}, true, false, false, 0},
        {"two blanks after a sentence", {.two_spaces = true}, false, true, false, 0},
        {"a word and its number kept together", {.units = true, .bound = true}, false, false,
         true, 0},
        {"a word and its number parted at line ends", {.units = true}, false, false, false, 0},
        {"every line indented", {.indent = 4}, false, false, false, 4},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TextLayout layout = layout_of(styled_prose(row.style, 7));
        EXPECT_TRUE(layout.wrapped);
        EXPECT_EQ(layout.width, 66);
        EXPECT_EQ(layout.wrapping, Wrapping::greedy);
        EXPECT_EQ(layout.print_style, row.print_style);
        EXPECT_EQ(layout.two_spaces, row.two_spaces);
        EXPECT_EQ(layout.bound_numbers, row.bound_numbers);
        EXPECT_EQ(layout.body_indent, row.body_indent);
    }
}

}  // namespace
}  // namespace parafold::smart
