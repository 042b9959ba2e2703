// Every number the reading-quality unwrap weighs its evidence with, in one
// table: the layout estimate (engine/smart/layout.cpp) and the break rule
// (engine/smart/rule.cpp) read them from `tuning`, never a bare number.
// Each has the reason it is what it is beside it.
#pragma once

#include <cstdint>

namespace parafold::smart {

// A share of a count: `parts` in `of`.
struct Share {
    std::int64_t parts;
    std::int64_t of;
};

// Whether `count` of `total` reach the share.
constexpr bool at_least(std::int64_t count, std::int64_t total, Share share) {
    return count * share.of >= total * share.parts;
}

// Whether `count` of `total` stay within the share.
constexpr bool at_most(std::int64_t count, std::int64_t total, Share share) {
    return count * share.of <= total * share.parts;
}

struct Tuning {
    // ---------------------------------------------------- the layout

    // Fewer plainly wrapped lines than this say nothing of a width, nor of
    // how often the next word would have fit.
    std::int64_t least_evidence = 20;
    // No text is wrapped narrower: a narrower band of widths is a column
    // of short lines (a list, a table), not wrapping.
    std::int32_t narrowest_width = 20;
    // Greedy wrapping leaves nearly every full line within a long word of
    // the width: the densest band of this many widths holds them.
    std::int32_t band_span = 12;
    // A line beyond the band counts this much against it: wrapping never
    // goes past its width.
    std::int64_t beyond_weight = 2;
    // The width is what all plainly wrapped lines respect but one in this
    // many and a few more (a word too long to wrap, a typing slip).
    std::int64_t stray_lines_one_in = 200;
    std::int64_t stray_lines_extra = 2;
    // Wrapping makes lines crowd up to the width: the text counts as
    // wrapped when this per cent of its plainly wrapped lines reach
    // `crowding_reach` of the width.
    std::int64_t crowding_per_cent = 50;
    Share crowding_reach{3, 4};
    // Without enough plainly wrapped lines, the densest band of all widths
    // shows wrapping when it holds this many lines, this share of them,
    // and hardly any go beyond it.
    std::int64_t fallback_band_lines = 8;
    Share fallback_band_share{1, 5};
    Share fallback_beyond_share{1, 20};
    // The body's indentation is the least that this share of lines have.
    Share body_indent_share{1, 10};
    // A line shorter than all but this per cent of the plainly wrapped
    // lines is short: it ended before wrapping would have ended it.
    std::int64_t short_per_cent = 3;
    // With too few plainly wrapped lines greedy wrapping is assumed, whose
    // lines end within a long word of the width (and past half of it).
    std::int32_t long_word = 10;
    // A line end falls between a word and a number after it ("Section 4")
    // about once in ten times by chance; over enough cases, one in twenty
    // or fewer shows a text that keeps them together.
    std::int64_t least_units = 24;
    Share parted_units_share{1, 20};
    // Paragraphs of prose are seldom this many lines long: a block that
    // long most likely holds several paragraphs, not set apart by blank
    // lines. Where paragraphs are set apart, a long paragraph or a poem
    // puts at most about a tenth of a text's lines in such blocks; where
    // they are not, a third or more lie there, although headings, letters
    // and verse around them are set apart: a quarter tells the two apart.
    std::int64_t long_block_lines = 50;
    Share long_blocks_share{1, 4};
    // Nor are paragraphs this long on average (a long one has half as
    // many): blocks longer than that on average hold several, as pages of
    // a transcription that marks its page breaks with blank lines do.
    std::int64_t long_block_average = 40;
    // A play names its speakers in capitals at the start of their speeches
    // ("HELMER.", "THE NAVVY:") many times: at least this many lines, with
    // each name found this many times on average, where a line that only
    // happens to start with capitals ("NOTE:", a chapter's number) seldom
    // repeats.
    std::int64_t least_speaker_lines = 12;
    std::int64_t speaker_repeats = 3;
    // How often the next word would have fit after a plainly wrapped line,
    // per mille: under `greedy_fits` the wrapping is greedy (a word that
    // fits marks a meant break); under `unfilled_fits` nearly greedy (a
    // paragraph optimiser, a slip now and then); from there on the lines
    // were not filled to a width at all (by hand, after a printed page).
    std::int32_t greedy_fits = 30;
    std::int32_t unfilled_fits = 350;
    // Words that would have ended exactly at the width, moved by a wrapper
    // that stops a column short of its widest lines: at least this many,
    // so that a few slips of a greedy wrapper do not count.
    std::int64_t least_exact_fits = 3;
    // A block whose lines leave room for the next word after this share of
    // them is not prose wrapped to the width (verse, a list, a table).
    Share fitting_block{1, 2};
    // A block of prose filled narrower than the text shows it in this many
    // plainly wrapped lines, and this share of its lines (most lines of
    // prose are followed by a small letter), which all lie within
    // `band_span` of the widest.
    std::int64_t least_block_wraps = 2;
    Share block_wraps_share{1, 2};

    // ------------------------------------------------------ the rule

    // A block whose every line leaves room for the next word, where prose
    // lines do so this seldom by chance or less, is no prose filled to the
    // width: among a book's thousand or so blocks, about one would pass.
    Share chance_fits{1, 1000};

    // A quote set narrower than the body leaves at least this many columns
    // free on every line; so does a line that ends early in greedy text.
    std::int32_t narrow_margin = 10;
    // Verse: at least this many lines, this share of them starting with a
    // capital, hardly any with a small letter, and half ending in
    // punctuation (prose lines start with small letters nearly always).
    std::int64_t least_verse_lines = 3;
    Share verse_capitals{4, 5};
    Share verse_smalls{1, 10};
    Share verse_punctuated{1, 2};
    // Verse of long lines, which may leave no room for the next line's
    // first word: more lines and more of them punctuated than verse needs,
    // and their median within a long word of the short mark.
    std::int64_t least_long_verse_lines = 4;
    Share long_verse_punctuated{3, 4};
    // Rows of a table or of contents: a label that starts at least this
    // many lines and this share of its block, or numbers that end as many.
    std::int64_t least_rows = 3;
    Share rows_share{1, 3};
    // A title has at least this many words of weight, all capitalised; the
    // line below it one fewer (prose seldom capitalises so many).
    std::int32_t title_words = 3;
    // A line of the body indented this many columns deeper, and going on
    // with a small letter, has a stray blank.
    std::int32_t stray_indent = 1;
    // In unfilled text only a line shorter than this share of the short
    // mark ends a paragraph before a capital.
    Share unfilled_short{3, 5};
};

inline constexpr Tuning tuning{};

}  // namespace parafold::smart
