// The break rule of the reading-quality unwrap (engine/smart/rule.h).
#include "engine/smart/rule.h"

#include <algorithm>
#include <iterator>

#include "engine/smart/join.h"
#include "engine/smart/tuning.h"

namespace parafold::smart {

const char* reason_of(Verdict verdict) {
    switch (verdict) {
        case Verdict::join: return "joined";
        case Verdict::unwrapped: return "not hard-wrapped";
        case Verdict::blank: return "blank line";
        case Verdict::list_item: return "list item";
        case Verdict::indented: return "indented";
        case Verdict::outdented: return "indentation returns";
        case Verdict::short_lines: return "block of short lines";
        case Verdict::narrow_quote: return "quote set narrower";
        case Verdict::verse: return "verse";
        case Verdict::fits: return "next word fits";
        case Verdict::short_before_capital: return "short line before a capital";
    }
    return "";
}

namespace {

// Whether `b`'s first word (with a number after it, where the text keeps
// the two together) would have fit on `a` within the width.
bool would_fit(const LineFacts& a, const LineFacts& b, const TextLayout& layout) {
    const std::int64_t blanks = layout.two_spaces && a.sentence_end ? 2 : 1;
    const std::int64_t word = layout.bound_numbers ? b.first_unit : b.first_word;
    return std::int64_t{a.width} + blanks + word <= layout.width;
}

// Whether a line ends at least `tuning.narrow_margin` columns before the width.
bool ends_early(const LineFacts& line, const TextLayout& layout) {
    return std::int64_t{line.width} + tuning.narrow_margin <= layout.width;
}

}  // namespace

BlockSigns signs_of(const LineFacts* lines, std::size_t count, const TextLayout& layout) {
    BlockSigns signs;
    if (count < 2) return signs;
    const std::size_t breaks = count - 1;
    std::size_t capitals = 0, smalls = 0, punctuated = 0;
    bool all_short = true;
    bool narrow = lines[0].indent > layout.body_indent;
    for (std::size_t i = 0; i < breaks; ++i) {
        const LineFacts& a = lines[i];
        const LineFacts& b = lines[i + 1];
        capitals += b.starts == Case::upper;
        smalls += b.starts == Case::lower;
        punctuated += a.punct_end;
        all_short = all_short && a.width < layout.wrap_floor && would_fit(a, b, layout);
        narrow = narrow && b.indent == a.indent && ends_early(a, layout);
    }
    // A block of short lines: contents, an address, a heading over two lines.
    signs.short_lines = all_short;
    // A quote set narrower: indented deeper than the body, alike, and every
    // line ending early.
    signs.narrow_quote = narrow;
    // Verse: nearly every line starts with a capital, hardly any with a
    // small letter, and many end in punctuation.
    signs.verse = count >= static_cast<std::size_t>(tuning.least_verse_lines) &&
                  at_least(capitals, breaks, tuning.verse_capitals) &&
                  at_most(smalls, breaks, tuning.verse_smalls) &&
                  at_least(punctuated, breaks, tuning.verse_punctuated);
    // Verse of long lines: a line of it may leave no room for the next
    // line's first word, as a wrapped line does. Its median line is as wide
    // as wrapped lines nearly are.
    if (signs.verse && count >= static_cast<std::size_t>(tuning.least_long_verse_lines) &&
        at_least(punctuated, breaks, tuning.long_verse_punctuated)) {
        std::int32_t widths[smart_held_lines];
        const std::size_t measured = std::min(breaks, std::size(widths));
        for (std::size_t i = 0; i < measured; ++i) widths[i] = lines[i].width;
        std::nth_element(widths, widths + measured / 2, widths + measured);
        signs.long_verse =
            std::int64_t{widths[measured / 2]} + tuning.long_word >= layout.wrap_floor;
    }
    return signs;
}

Verdict judge_break(const LineFacts& a, const LineFacts& b, bool a_starts,
                    const BlockSigns& block, const TextLayout& layout) {
    const bool fits = would_fit(a, b, layout);
    // A list item: numbered, or lettered after punctuation or where it
    // fits (a letter in brackets may also be a reference wrapped to the
    // line's start), or a bullet after a bullet.
    if (b.list_marker == ListMarker::number ||
        (b.list_marker == ListMarker::letter && (a.punct_end || fits)) ||
        (b.list_marker == ListMarker::bullet && a.list_marker == ListMarker::bullet))
        return Verdict::list_item;
    // In print style a line at a paragraph's indentation, or deeper, that
    // is not less indented than the line before starts a paragraph.
    if (layout.print_style && b.indent > layout.body_indent && b.indent >= a.indent)
        return Verdict::indented;
    if (b.indent > a.indent) {
        // A hanging indent goes on under a list item's text, or under a
        // first line filled to the width ("Term:  its definition ...").
        const bool hangs = (a.list_marker != ListMarker::none &&
                            b.indent == a.indent + a.marker_width) ||
                           (a_starts && !fits);
        if (!hangs) return Verdict::indented;
    } else if (b.indent < a.indent && !a_starts) {
        return Verdict::outdented;
    }
    if (block.short_lines) return Verdict::short_lines;
    if (block.narrow_quote) return Verdict::narrow_quote;
    const bool b_small = b.starts == Case::lower;
    const bool b_capital = b.starts == Case::upper;
    if (block.verse && !b_small && (fits || block.long_verse)) return Verdict::verse;
    // How far "the next word would have fit" can be trusted depends on how
    // often it holds after lines that plainly were wrapped.
    const bool greedy = layout.wrapping == Wrapping::greedy;
    if (fits && greedy) return Verdict::fits;
    // In greedy wrapping a short line after a meant break, before another
    // short line that starts with a capital: a line of verse before a long
    // first word.
    if (greedy && a_starts && b_capital && ends_early(a, layout) && ends_early(b, layout))
        return Verdict::short_lines;
    if (a.hyphen_end || b_small) return Verdict::join;
    // A short line before a capital: where fitting words are not rare A
    // must also leave room for B's first word; where lines were not filled
    // at all A must be much shorter than the short mark.
    const bool a_short = a.width < layout.wrap_floor;
    if (layout.wrapping != Wrapping::unfilled) {
        if (fits && a_short && b_capital) return Verdict::short_before_capital;
    } else if (!at_least(a.width, layout.wrap_floor, tuning.unfilled_short) && b_capital) {
        return Verdict::short_before_capital;
    }
    return Verdict::join;
}

BlockSigns judge_block(const LineFacts* lines, std::size_t count, bool first_starts,
                       const TextLayout& layout, Verdict* verdicts) {
    const BlockSigns signs = signs_of(lines, count, layout);
    bool starts = first_starts;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        verdicts[i] = judge_break(lines[i], lines[i + 1], starts, signs, layout);
        starts = verdicts[i] != Verdict::join;
    }
    return signs;
}

}  // namespace parafold::smart
