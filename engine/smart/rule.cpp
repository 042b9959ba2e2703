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
        case Verdict::short_pair: return "short line before a short one";
        case Verdict::short_before_capital: return "short line before a capital";
        case Verdict::row: return "row";
        case Verdict::speaker: return "speaker";
        case Verdict::heading: return "heading";
        case Verdict::sentence_end: return "sentence end";
    }
    return "";
}

namespace {

// Whether `b`'s first word (with a number after it, where the text keeps
// the two together) would have fit on `a` within `width`.
bool would_fit(const LineFacts& a, const LineFacts& b, std::int32_t width,
               const TextLayout& layout) {
    const std::int64_t blanks = layout.two_spaces && a.sentence_end ? 2 : 1;
    const std::int64_t word = layout.bound_numbers ? b.first_unit : b.first_word;
    return std::int64_t{a.width} + blanks + word + layout.room_to_spare <= width;
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

    // One look at every line for what does not depend on the width.
    std::size_t number_ends = 0, most_labels = 0, most_columns = 0;
    bool narrow = lines[0].indent > layout.body_indent;
    std::int32_t widest = 0;                // of all lines
    std::int32_t widest_filled = 0;         // of the lines of more than one word
    std::size_t going_on = 0;               // lines that start with a small letter, not marked
    std::size_t wrapped = 0;                // plainly wrapped lines, indented as the next
    std::int32_t widest_wrapped = 0, narrowest_wrapped = long_line_width;
    // A speaker's name standing alone heads a speech of verse or of prose
    // alike: it is no line of verse.
    std::size_t verse_lines = count;
    for (std::size_t i = 0; i < count; ++i) {
        const LineFacts& line = lines[i];
        verse_lines -= layout.speakers && line.speaker_alone;
        number_ends += line.number_end;
        widest = std::max(widest, line.width);
        if (line.multi_word) widest_filled = std::max(widest_filled, line.width);
        if (line.label != 0 || line.column != 0) {
            std::size_t labels = 0, columns = 0;
            for (std::size_t k = i; k < count; ++k) {
                labels += line.label != 0 && lines[k].label == line.label;
                columns += line.column != 0 && lines[k].column == line.column;
            }
            if (labels > most_labels) {
                most_labels = labels;
                signs.row_label = line.label;
            }
            if (columns > most_columns) {
                most_columns = columns;
                signs.row_column = line.column;
            }
        }
        if (i + 1 == count) break;
        const LineFacts& next = lines[i + 1];
        narrow = narrow && next.indent == line.indent &&
                 (ends_early(line, layout) || !line.multi_word);
        going_on += next.starts == Case::lower && !next.marked;
        if (next.starts == Case::lower && next.indent == line.indent) {
            ++wrapped;
            widest_wrapped = std::max(widest_wrapped, line.width);
            narrowest_wrapped = std::min(narrowest_wrapped, line.width);
        }
    }

    // Rows: the label that starts the most lines, the column where the
    // most lines go on after a gap, and lines ending in numbers.
    auto rows = [&](std::size_t found) {
        return found >= static_cast<std::size_t>(tuning.least_rows) &&
               at_least(found, count, tuning.rows_share);
    };
    if (!rows(most_labels)) signs.row_label = 0;
    if (!rows(most_columns)) signs.row_column = 0;
    signs.row_ends = rows(number_ends);

    // The width the lines were wrapped to: the text's, unless enough of
    // them are plainly wrapped, as in prose, and all of those crowd up to a
    // narrower width, as greedy wrapping does.
    const bool narrower = wrapped >= static_cast<std::size_t>(tuning.least_block_wraps) &&
                          at_least(wrapped, breaks, tuning.block_wraps_share) &&
                          widest_wrapped - narrowest_wrapped <= tuning.band_span &&
                          widest_wrapped < layout.width;
    signs.width = narrower ? widest_wrapped : layout.width;

    // A quote set narrower: indented deeper than the body, alike, and every
    // line but the last ending early, but for a line of one word (an
    // address, a long name), which no wrapping could have ended earlier and
    // so says nothing of the quote's width. Prose filled unevenly to a
    // narrower width is no quote: most of its lines go on with a small
    // letter (and do not each open and close an emphasis of their own), and
    // after many of them the next word would have fit within its widest
    // line of more than one word; it is read as prose of that width.
    if (narrow && at_least(going_on, breaks, tuning.block_wraps_share)) {
        std::size_t fitting = 0;
        for (std::size_t i = 0; i < breaks; ++i)
            fitting += would_fit(lines[i], lines[i + 1], widest_filled, layout);
        if (at_least(fitting, breaks, tuning.fitting_block)) {
            narrow = false;
            signs.ragged = true;
            signs.width = widest_filled;
        }
    }
    signs.narrow_quote = narrow;

    std::size_t capitals = 0, smalls = 0, punctuated = 0, fitting = 0;
    bool all_short = true;
    for (std::size_t i = 0; i < breaks; ++i) {
        const LineFacts& a = lines[i];
        const LineFacts& b = lines[i + 1];
        capitals += b.starts == Case::upper;
        smalls += b.starts == Case::lower;
        punctuated += a.punct_end;
        const bool fits = would_fit(a, b, signs.width, layout);
        fitting += fits;
        all_short = all_short && a.width < layout.wrap_floor && fits &&
                    (layout.wrapping == Wrapping::greedy || count > 2 ||
                     !at_least(a.width, layout.wrap_floor, tuning.unfilled_short));
    }
    // A block of short lines: contents, an address, a heading over two lines.
    signs.short_lines = all_short && !signs.ragged;
    signs.fitting = breaks >= 2 && at_least(fitting, breaks, tuning.fitting_block);
    // Room after every line, where prose at the text's rate of fitting
    // words would leave it after all of them too seldom to be chance, and
    // lines that do not crowd up to a width of their own, as a paragraph
    // filled narrower (in capitals, say, so that no small letter shows
    // it) does.
    if (fitting == breaks) {
        double chance = 1;
        std::int32_t widest_fitting = 0, narrowest_fitting = long_line_width;
        for (std::size_t i = 0; i < breaks; ++i) {
            chance *= layout.fit_per_mille / 1000.0;
            widest_fitting = std::max(widest_fitting, lines[i].width);
            narrowest_fitting = std::min(narrowest_fitting, lines[i].width);
        }
        signs.all_fitting = chance * tuning.chance_fits.of < tuning.chance_fits.parts &&
                            widest_fitting - narrowest_fitting > tuning.band_span;
    }
    // Verse: nearly every line starts with a capital, hardly any with a
    // small letter, and many end in punctuation.
    signs.verse = verse_lines >= static_cast<std::size_t>(tuning.least_verse_lines) &&
                  at_least(capitals, breaks, tuning.verse_capitals) &&
                  at_most(smalls, breaks, tuning.verse_smalls) &&
                  at_least(punctuated, breaks, tuning.verse_punctuated);
    // Verse of long lines: a line of it may leave no room for the next
    // line's first word, as a wrapped line does, though most do, or some
    // line runs past the width, as no wrapped line does. Its median line is
    // as wide as wrapped lines nearly are.
    if (signs.verse && verse_lines >= static_cast<std::size_t>(tuning.least_long_verse_lines) &&
        at_least(punctuated, breaks, tuning.long_verse_punctuated) &&
        (signs.fitting || widest > layout.width)) {
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
    const bool fits = would_fit(a, b, block.width, layout);
    // A list item: numbered, or lettered after punctuation or where it
    // fits (a letter in brackets may also be a reference wrapped to the
    // line's start), or a bullet after a bullet.
    if (b.list_marker == ListMarker::number ||
        (b.list_marker == ListMarker::letter && (a.punct_end || fits)) ||
        (b.list_marker == ListMarker::bullet && a.list_marker == ListMarker::bullet))
        return Verdict::list_item;
    // Rows of a table or of contents: B starts with the label that starts
    // many lines of the block, A and B have their second column where many
    // lines of the block have it, or A ends in a number as many of them do.
    if ((block.row_label != 0 && b.label == block.row_label) ||
        (block.row_column != 0 && a.column == block.row_column &&
         b.column == block.row_column) ||
        (block.row_ends && a.number_end))
        return Verdict::row;
    // In a play a speech starts with its speaker's name, which may stand
    // alone on its line.
    if (layout.speakers && (b.speaker != 0 || a.speaker_alone)) return Verdict::speaker;
    // In print style a line at a paragraph's indentation, or deeper, that
    // is not less indented than the line before starts a paragraph.
    if (layout.print_style && b.indent > layout.body_indent && b.indent >= a.indent)
        return Verdict::indented;
    // Indentation changes, unless by a stray blank before a line of the
    // body that goes on with a small letter, or back from it.
    auto stray = [&](const LineFacts& deeper, const LineFacts& body) {
        return body.indent == layout.body_indent &&
               deeper.indent == layout.body_indent + tuning.stray_indent;
    };
    const bool b_small = b.starts == Case::lower;
    const bool b_capital = b.starts == Case::upper;
    if (b.indent > a.indent && !(b_small && stray(b, a))) {
        // A hanging indent goes on under a list item's text, or under a
        // first line filled to the width ("Term:  its definition ...").
        const bool hangs = (a.list_marker != ListMarker::none &&
                            b.indent == a.indent + a.marker_width) ||
                           (a_starts && !fits);
        if (!hangs) return Verdict::indented;
    } else if (b.indent < a.indent && !a_starts && !stray(a, b)) {
        return Verdict::outdented;
    }
    if (block.short_lines) return Verdict::short_lines;
    if (block.narrow_quote) return Verdict::narrow_quote;
    if (block.verse && !b_small && (fits || block.long_verse)) return Verdict::verse;
    // How far "the next word would have fit" can be trusted depends on how
    // often it holds after lines that plainly were wrapped; before a small
    // letter only in a block that is not prose.
    const bool greedy = layout.wrapping == Wrapping::greedy && !block.ragged;
    if (fits && greedy && (!b_small || block.fitting)) return Verdict::fits;
    // Where lines were filled nearly greedily, a word that would have fit
    // tells in a block where it does so after every line, before any but
    // a small letter.
    if (fits && layout.wrapping == Wrapping::nearly_greedy && block.all_fitting &&
        !block.ragged && !b_small)
        return Verdict::fits;
    if (a.hyphen_end || b_small) return Verdict::join;
    // A title over a shorter one: their longer words all capitalised.
    if (a.title_words >= tuning.title_words && b.title_words >= tuning.title_words - 1 &&
        b.width < layout.wrap_floor)
        return Verdict::heading;
    // Where paragraphs are set apart neither by blank lines nor by an
    // indented first line, and lines were not filled greedily, the end of a
    // sentence (not a question, often asked inside a paragraph), of a
    // quotation or before one, before a new sentence, a quotation, a speech
    // or a number, is the only sign of a paragraph's end left. Where they
    // were filled greedily, a paragraph's short last line shows its end
    // (its next word fits), and a full line ends a sentence inside a
    // paragraph as often as at its end, a quotation or a bracket opening
    // after it too (a list of definitions, "X" means ...; a link after an
    // author's name in brackets): only a speech that ends in a closing
    // quotation mark before another opens, as when the speaker changes, or
    // a speech opening with a dash, as each new speaker's does, still tells.
    if (layout.long_blocks && !layout.print_style &&
        ((a.sentence_end && !a.question_end) || a.colon_end || a.closing_end) &&
        (layout.wrapping != Wrapping::greedy ? b_capital || b.opens || b.starts_digit
                                             : (a.speech_end && b.speech_opens) || b.dash_opens))
        return Verdict::sentence_end;
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
