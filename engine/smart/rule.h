// The break rule of the reading-quality unwrap: whether the break between
// two lines of a block stays, decided from the two lines' facts
// (engine/smart/lines.h), the signs of their block and the layout the
// scan learned (engine/smart/layout.h). Pure functions: the join
// (engine/smart/join.cpp) asks them and writes what they decide.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/smart/layout.h"
#include "engine/smart/lines.h"

namespace parafold::smart {

// Why a break stays, or that it does not.
enum class Verdict : std::uint8_t {
    join,
    unwrapped,     // the text is not hard-wrapped
    blank,         // a blank line on either side
    list_item,     // B starts a numbered item, or A and B start with a bullet
    indented,      // B is indented more than A, and does not hang from it
    outdented,     // B is indented less than A, which does not start a paragraph
    short_lines,   // every line of the block ends well before the width
    narrow_quote,  // an indented block whose lines of more than one word end well before the width
    verse,         // a block of lines that each start with a capital and end in punctuation
    fits,          // B's first word would have fit on A, in a text where that tells
    short_pair,    // a short line after a kept break, before a short line with a capital
    short_before_capital,  // A ends well before the width, and B starts with a capital
    row,           // a row of a table or of contents: a label that repeats, a number at the end
    speaker,       // a speaker's name in a play
    heading,       // two lines of a title
    sentence_end,  // a sentence ends before a capital, in unfilled text without blank lines
};

// The reason as the --explain report words it.
const char* reason_of(Verdict verdict);

// What the rule knows of the block around a break: its lines that are not
// blank, as far as they are held.
struct BlockSigns {
    // The width its lines were wrapped to: the text's, or less where its
    // plainly wrapped lines crowd up to less (a paragraph filled narrower).
    std::int32_t width = 0;
    bool fitting = false;      // at least half its breaks leave room for the next word
    // All its breaks leave room for the next word, as prose does seldom by
    // chance, and its lines are not filled to a width of their own.
    bool all_fitting = false;
    bool ragged = false;       // prose set narrower and filled unevenly
    std::uint16_t row_label = 0;  // a label (LineFacts::label) that starts many of its lines
    bool row_ends = false;     // many of its lines end in a number
    std::int32_t row_column = 0;  // a column (LineFacts::column) that many of its lines share
    bool verse = false;        // the lines start with capitals and end in punctuation
    bool short_lines = false;  // every line ends well before the width
    bool long_verse = false;   // verse whose lines reach the wrapped lines' widths
    bool narrow_quote = false; // indented alike, deeper than the body, and set narrower
};

// The signs of the block of `count` lines (none blank) from `lines`; the
// median width of long verse is taken over its first `smart_held_lines`.
BlockSigns signs_of(const LineFacts* lines, std::size_t count, const TextLayout& layout);

// The break rule between `a` and `b`, two lines of a block (neither
// blank). `a_starts` tells that `a` starts a paragraph: it is the block's
// first line, or the break before it stayed.
Verdict judge_break(const LineFacts& a, const LineFacts& b, bool a_starts,
                    const BlockSigns& block, const TextLayout& layout);

// The verdicts on the `count - 1` breaks between `count` lines (none blank)
// of one block, or of a part of one, into `verdicts`; `first_starts` tells
// that the first line starts a paragraph. Returns the block's signs.
BlockSigns judge_block(const LineFacts* lines, std::size_t count, bool first_starts,
                       const TextLayout& layout, Verdict* verdicts);

}  // namespace parafold::smart
