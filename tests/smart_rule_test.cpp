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
// Nearly greedy wrapping at `width`, where the next word fits after
// `per_mille` of 1000 wrapped lines.
constexpr TextLayout nearly_greedy_at(std::int32_t width, std::int32_t per_mille) {
    return {.width = width,
            .wrapped = true,
            .wrap_floor = 22,
            .fit_per_mille = per_mille,
            .wrapping = Wrapping::nearly_greedy};
}
constexpr TextLayout nearly_greedy = nearly_greedy_at(30, 100);
constexpr TextLayout unfilled{
    .width = 30, .wrapped = true, .wrap_floor = 22, .wrapping = Wrapping::unfilled};
// The same where paragraphs follow each other without blank lines.
constexpr TextLayout unfilled_run_on{.width = 30,
                                     .wrapped = true,
                                     .wrap_floor = 22,
                                     .wrapping = Wrapping::unfilled,
                                     .long_blocks = true};

constexpr TextLayout greedy_run_on{
    .width = 30, .wrapped = true, .wrap_floor = 22, .long_blocks = true};

constexpr TextLayout with_utf8(TextLayout layout) {
    layout.utf8 = true;
    return layout;
}

constexpr TextLayout with_print_style(TextLayout layout) {
    layout.print_style = true;
    return layout;
}

constexpr TextLayout with_speakers(TextLayout layout) {
    layout.speakers = true;
    return layout;
}

constexpr TextLayout with_floor(TextLayout layout, std::int32_t wrap_floor) {
    layout.wrap_floor = wrap_floor;
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
    // Lines that each leave room for the next word, the first not short.
    const std::string roomy =
        "Down by the river we wander far away\nOver the hills\nUnder a sky of gray\nAll of us\n";
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
        {"a sentence ends also before a closing quotation mark",
         TextLayout{.width = 30, .wrapped = true, .wrap_floor = 22, .two_spaces = true},
         "He said it was so done.\"\nWhere did it go\n", {join}},
        {"a word alone fits", greedy, "It was all set down in\nSection 4 of the rules\n", {fits}},
        {"a word with its number does not fit where they go together",
         TextLayout{.width = 30, .wrapped = true, .wrap_floor = 22, .bound_numbers = true},
         "It was all set down in\nSection 4 of the rules\n", {join}},
        {"a block of short lines", greedy, "Part 1 Apples\nPart 2 Pears\nPart 3 Plums\n",
         {short_lines, short_lines}},
        {"a quote set narrower", greedy, "    Whatever you do\n    extraordinarily well\n",
         {narrow_quote}},
        {"a quote set narrower holds a word too long for any line", greedy,
         "    See the notes at\n    https://example.org/notes/all\n    for all of it as\n"
         "    written there in\n    the last part\n",
         {narrow_quote, narrow_quote, narrow_quote, narrow_quote}},
        {"verse: capitals, punctuation, and the next word fits",
         TextLayout{.width = 30, .wrapped = true, .wrap_floor = 10},
         "Roses are red,\nViolets are blue,\nSugar is sweet,\nAnd so are you.\n",
         {verse, verse, verse}},
        {"verse of long lines, though a next word would not fit", greedy,
         "Now the winds of evening,\nGo whispering over waters,\n"
         "In the shadows and silence,\nRemembering all that is gone.\n",
         {verse, verse, verse}},
        {"verse of lines that run past the width", greedy,
         "Now the winds of evening wander,\nWhispering over all the waters,\n"
         "Gathering shadows and the silence,\nRemembering all that is now gone.\n",
         {verse, verse, verse}},
        {"prose of full lines that start with capitals is no verse", greedy,
         "The winds of evening wander,\nWhispering over the waters,\n"
         "Gathering shadows and silence,\nRemembering all that is gone.\n",
         {join, join, join}},
        {"greedy: the next word would have fit", greedy,
         "CHAPTER ONE\nIt was a dark and stormy night\nand the rain fell\n", {fits, join}},
        {"nearly greedy: a fitting word alone proves nothing", nearly_greedy,
         "It was a dark and stormy\nNight came\n", {join}},
        {"nearly greedy: room after every line, as prose seldom leaves, keeps the breaks",
         nearly_greedy_at(50, 50), roomy, {fits, fits, fits}},
        {"but not where prose leaves room that often", nearly_greedy_at(50, 300), roomy,
         {join, short_before_capital, short_before_capital}},
        {"nor in lines filled to a narrower width of their own", nearly_greedy_at(50, 50),
         "NO EVENT SHALL ANY OF THEM BE LIABLE FOR\nANY DAMAGES WHATSOEVER RESULTING FROM\n"
         "LOSS OF USE OR DATA OR PROFITS, WHETHER\nIN AN ACTION OF CONTRACT\n",
         {join, join, join}},
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
        {"nearly greedy: a Latin-1 capital in 8-bit text", nearly_greedy,
         "It was late.\n\xC9mile slept all through\nthe night\n", {short_before_capital, join}},
        {"nearly greedy: a guillemet opens a quotation in 8-bit text", nearly_greedy,
         "It was late.\n\xBBWell,\xAB he said, and they\nslept\n", {short_before_capital, join}},
        {"nearly greedy: a dash opens a speech before a capital", with_utf8(nearly_greedy),
         "It was late.\n\xE2\x80\x94Well, he said, and they\nslept\n",
         {short_before_capital, join}},
        {"a guillemet closes a quotation in 8-bit text", greedy,
         "so he said that it was \xBBover\xAB\n(c) the third\n", {list_item}},
        {"nearly greedy: a hyphenated word runs on before a capital", nearly_greedy,
         "It was a well-\nKnown thing in the old days\nand more\n", {join, join}},
        {"unfilled: a line far short of the short mark before a capital", unfilled,
         "It was late.\nThen they slept all through\nthe night\n",
         {short_before_capital, join}},
        {"unfilled: a line not that short runs on", unfilled,
         "It was late, and so\nThen they slept all through\nthe night\n", {join, join}},
        {"a quoted line is measured from its first word", greedy,
         "> he said that it was all\n> wonderful and more\n", {join}},
        {"a word that would end at the width fits", greedy, "It was all set down in\nSection\n",
         {fits}},
        {"but not where the wrapper leaves a column to spare",
         TextLayout{.width = 30, .wrapped = true, .wrap_floor = 22, .room_to_spare = 1},
         "It was all set down in\nSection\n", {join}},
        {"a fitting word before a small letter: prose runs on", greedy,
         "It was a dark and stormy\nnight came\n", {join}},
        {"in a block where most words fit it keeps the break", greedy,
         "the cat sat on the mat now\nthe dog ran\nthe bird flew\n", {fits, fits}},
        {"a paragraph filled narrower than the text runs on",
         TextLayout{.width = 40, .wrapped = true, .wrap_floor = 30},
         "It was late when they came\nand the night was cold and\nstill as stone, and so on.\n"
         "Then they slept\n",
         {join, join, join}},
        {"a label that starts many lines marks rows", greedy,
         "A.1.  Introduction to it all\nA.2.  Constants of Interest\nA.3.  The cases\n",
         {row, row}},
        {"numbers that start lines of prose are no labels", greedy,
         "the years were many and long\n1991-1996 by the river, and\n"
         "1996-1999 by the sea, and then\n1999-2003 by the hills\n",
         {join, join, join}},
        {"a second column that many lines share marks rows", greedy,
         "AM      |Ammunition going up\nCCC     |Charge at once now\nDT      |Double time\n",
         {row, row}},
        {"numbers and ranges after leaders end rows", greedy,
         "Introduction ............ 1\nThe first chapter ..... 9-16\nThe second one ...... 17-30\n",
         {row, row}},
        {"a speaker's name heads a speech",
         TextLayout{.width = 30, .wrapped = true, .wrap_floor = 22, .speakers = true},
         "He went out at last and so\nHELMER. Then what?\n", {speaker}},
        {"a speaker's name alone, where short lines are not told",
         TextLayout{.width = 30,
                    .wrapped = true,
                    .wrap_floor = 4,
                    .wrapping = Wrapping::nearly_greedy,
                    .speakers = true},
         "NORA.\nThen what do we do now\n", {speaker}},
        {"a name alone is no line of verse: two lines of speech under it run on",
         with_speakers(unfilled),
         "NORA.\nIt was late, so it went.\nThen they slept on\n", {speaker, join}},
        {"a title over a shorter title", with_floor(greedy, 28),
         "The Power of the Union Today\nFrom the New York Packet\n", {heading}},
        {"names without a small word are no title", with_floor(greedy, 28),
         "Lee Laurent Martelli Rickard\nFrom the New York Packet\n", {join}},
        {"a stray blank before a line that goes on", with_utf8(greedy),
         "He said \xE2\x80\x9Cno more\xE2\x80\x9D and then it\n the others went on with it\n"
         "and so it ended\n",
         {join, join}},
        {"paragraphs run on in unfilled text: a sentence ends before a capital",
         unfilled_run_on,
         "It was late, and so it was.\nThen they slept all through\nthe night\n",
         {sentence_end, join}},
        {"or before a quotation",
         unfilled_run_on,
         "And then he said to them all:\n\"Go now,\" and they went off\n", {sentence_end}},
        {"or before a number", unfilled_run_on,
         "It was late, and so it was.\n2nd. Then they slept all\nthe night\n",
         {sentence_end, join}},
        {"a question goes on in the paragraph",
         unfilled_run_on,
         "Was it late, or was it not?\nThen they slept all through\nthe night\n", {join, join}},
        {"greedy run-on paragraphs: a speech ends a full line, another opens",
         greedy_run_on,
         "\"It was late, and so I went.\"\n\"Go now,\" and they went off\n", {sentence_end}},
        {"curly quotation marks alike", with_utf8(greedy_run_on),
         "\xE2\x80\x9CIt was late, and so I went.\xE2\x80\x9D\n"
         "\xE2\x80\x9CGo now,\xE2\x80\x9D and they went off\n",
         {sentence_end}},
        {"or a sentence ends before a speech that opens with a dash",
         greedy_run_on,
         "It was late, and so it went.\n--Go now, and they went off\n", {sentence_end}},
        {"but not a sentence before a quotation, which goes on as often",
         greedy_run_on,
         "It was late, and so it went.\n\"Go now,\" and they went off\n", {join}},
        {"nor a bracket closed before one opens",
         greedy_run_on,
         "It was late, so it went (ok.)\n[Go now], and they went off\n", {join}},
        {"nor before a capital alone",
         greedy_run_on,
         "It was late, and so it went.\nThen they slept all through\n", {join}},
        {"print style: the indentation, not a sentence end, starts a paragraph",
         with_print_style(unfilled_run_on),
         "It was late, and so it was.\nThen they slept all through\nthe night\n", {join, join}},
        {"paragraphs set apart: a sentence end alone runs on", unfilled,
         "It was late, and so it was.\nThen they slept all through\nthe night\n", {join, join}},
        {"unfilled: two short lines are no block of short lines", unfilled,
         "The day was over.\nThen home\n", {join}},
        {"lines that each open and close their emphasis are no prose",
         TextLayout{.width = 42, .wrapped = true, .wrap_floor = 30},
         "    _the letter was burnt_\n    _and only this was left of_\n    _it, and no more_\n",
         {narrow_quote, narrow_quote}},
        {"prose set narrower and filled unevenly runs on",
         TextLayout{.width = 42, .wrapped = true, .wrap_floor = 30},
         "    and so the men went\n    out to the fields where the\n    corn was high\n"
         "    and the sun was hot\n",
         {join, join, join}},
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

// The gap of three blanks or a tab that parts a table's columns, wherever
// it falls in steps of 16 and 32 bytes: the column where the body goes on.
TEST(LineFacts, FindsTheSecondColumn) {
    const std::string x30(30, 'x');
    const struct {
        const char* name;
        std::string line;
        std::int32_t column;
    } rows[] = {
        {"a short line", "ab   cd", 5},
        {"two blanks are no gap", "ab  cd ef", 0},
        {"indentation is no gap", "    ab cd", 0},
        {"a tab", "ab\tcd", 8},
        {"a line of 16 to 31 bytes", "word word word   next", 17},
        {"a gap across 32 bytes", x30 + " y   " + x30, 35},
        {"a gap that ends a step of 32 bytes", x30 + "   y" + x30, 33},
        {"a gap in the last step", x30 + x30 + " y   z", 65},
        {"a gap across the scanner's windows of 64 bytes", x30 + x30 + "xxx   y", 66},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<LineFacts> facts = facts_of(row.line + "\n", false);
        ASSERT_EQ(facts.size(), 1u);
        EXPECT_EQ(facts[0].column, row.column);
    }
}

// ---------------------------------------------------------------- layout

struct Style {
    bool print_style = false;    // paragraphs start with an indented line, no blank line between
    bool two_spaces = false;     // two blanks after a sentence
    bool units = false;          // "Section 12" now and then,
    bool bound = false;          // never parted by a line end (else now and then)
    bool brackets = false;       // "(Section 12)"
    std::size_t indent = 0;      // of every line
    bool run_on = false;         // no blank line between paragraphs
    bool headings = false;       // a heading set apart by blank lines before every tenth
    std::size_t page_lines = 0;  // a blank line after every so many lines, as between pages
    bool spare = false;          // some lines wrapped a column short, as by a wrapper that
                                 // counts one of their characters twice
    bool speakers = false;       // each paragraph a speech after its speaker's name
};

// Forty paragraphs of random words and sentences, wrapped greedily at 66
// columns in `style`.
std::string styled_prose(const Style& style, unsigned seed) {
    std::mt19937 rng(seed);
    const std::size_t width = 66;
    const std::string margin(style.indent, ' ');
    std::string text;
    const char* const names[] = {"HELMER.", "NORA.", "MRS. LINDE."};
    auto limit = [&] { return style.spare && rng() % 5 == 0 ? width - 1 : width; };
    for (int paragraph = 0; paragraph < 40; ++paragraph) {
        if (style.headings && paragraph % 10 == 0)
            text += (paragraph == 0 ? "" : "\n") + margin + "Chapter " +
                    std::to_string(paragraph / 10 + 1) + "\n\n";
        std::vector<std::string> words;
        if (style.speakers) words.push_back(names[paragraph % 3]);
        bool capital = true;
        for (std::size_t i = 0, n = 40 + rng() % 40; i < n; ++i) {
            if (style.units && rng() % 6 == 0) {
                const std::string number = std::to_string(1 + rng() % 20);
                if (style.bound) {
                    words.push_back(style.brackets ? "(Section " + number + ")"
                                                   : "Section " + number);
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
        std::size_t room = limit();
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
            if (!empty && line.size() + gap.size() + word.size() > room) {
                text += line + "\n";
                line = margin + word;
                room = limit();
            } else {
                line += gap + word;
            }
            empty = false;
        }
        text += line + (style.print_style || style.run_on ? "\n" : "\n\n");
    }
    if (style.page_lines == 0) return text;
    std::string pages;
    std::size_t lines = 0;
    for (char c : text) {
        pages += c;
        if (c == '\n' && ++lines % style.page_lines == 0) pages += '\n';
    }
    return pages;
}

TextLayout layout_of(const std::string& text) {
    const SmartScanState scan = start_layout_scan(false);
    scan_layout(*scan, text.data(), text.size());
    return finish_layout(*scan, 0);
}

// What the scan learns of a text's style, each fact from a text that shows it.
TEST(FinishLayout, LearnsTheTextsStyle) {
    // What the scan should find: the facts a row's style shows, the rest
    // as in plain prose.
    const auto plain = [](TextLayout found) {
        found.width = 66;
        found.wrapped = true;
        return found;
    };
    const struct {
        const char* name;
        Style style;
        TextLayout expected;
    } rows[] = {
        {"plain", {}, plain({})},
        {"print style", {.print_style = true}, plain({.print_style = true, .long_blocks = true})},
        {"two blanks after a sentence", {.two_spaces = true}, plain({.two_spaces = true})},
        {"a word and its number kept together", {.units = true, .bound = true},
         plain({.bound_numbers = true})},
        {"the same in brackets", {.units = true, .bound = true, .brackets = true},
         plain({.bound_numbers = true})},
        {"a word and its number parted at line ends", {.units = true}, plain({})},
        {"every line indented", {.indent = 4}, plain({.body_indent = 4})},
        {"no blank lines between paragraphs", {.run_on = true}, plain({.long_blocks = true})},
        {"nor between paragraphs under headings set apart", {.run_on = true, .headings = true},
         plain({.long_blocks = true})},
        {"nor on pages set apart", {.run_on = true, .page_lines = 48},
         plain({.long_blocks = true})},
        {"a column to spare", {.spare = true}, plain({.room_to_spare = 1})},
        {"speakers' names", {.speakers = true}, plain({.speakers = true})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TextLayout layout = layout_of(styled_prose(row.style, 7));
        const TextLayout& want = row.expected;
        EXPECT_EQ(layout.wrapped, want.wrapped);
        EXPECT_EQ(layout.width, want.width);
        EXPECT_EQ(layout.wrapping, Wrapping::greedy);
        EXPECT_EQ(layout.body_indent, want.body_indent);
        EXPECT_EQ(layout.print_style, want.print_style);
        EXPECT_EQ(layout.two_spaces, want.two_spaces);
        EXPECT_EQ(layout.bound_numbers, want.bound_numbers);
        EXPECT_EQ(layout.room_to_spare, want.room_to_spare);
        EXPECT_EQ(layout.long_blocks, want.long_blocks);
        EXPECT_EQ(layout.speakers, want.speakers);
    }
}

}  // namespace
}  // namespace parafold::smart
