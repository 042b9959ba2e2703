// The layout estimate of the reading-quality unwrap (engine/smart/layout.h),
// on the lines that engine/smart/lines.cpp cuts.
#include "engine/smart/layout.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

#include "engine/smart/hyphens.h"
#include "engine/smart/lines.h"
#include "engine/smart/simd.h"
#include "engine/smart/tuning.h"

namespace parafold {

using smart::CutLine;
using smart::LineFacts;
using smart::ListMarker;
using smart::tuning;

namespace {

// Widths are tallied up to this; wider lines count as too wide for any width.
constexpr std::int32_t max_tallied_width = 1024;
// Indentations up to this are told apart when the fit of words is measured.
constexpr std::int32_t tallied_indents = 9;
// Indentations are counted up to this; the last entry counts the deeper ones.
constexpr std::int32_t counted_indents = 64;
// Names of speakers are told apart up to this many.
constexpr std::size_t counted_names = 4096;

}  // namespace

struct SmartScan {
    smart::LineCutter cutter;
    std::int64_t lines = 0;     // lines that are not blank
    std::int64_t measured = 0;  // of those, lines of more than one word
    // Widths of the measured lines, in bytes and in characters; the last
    // entry counts the wider ones.
    std::int64_t byte_widths[max_tallied_width + 1] = {};
    std::int64_t char_widths[max_tallied_width + 1] = {};
    std::int64_t indents[counted_indents + 1] = {};
    bool valid_utf8 = true;
    bool any_non_ascii = false;
    bool collect_words = false;
    smart::Vocabulary vocabulary;
    bool words_only = false;  // past the layout's sample: only words are collected
    // Pairs of lines A and B of one block where B starts with a small
    // letter, so that A was plainly wrapped: A's widths, and the widths A
    // would have had with B's first word added after one blank, or after
    // two when A ends a sentence.
    // The widths with B's word are tallied by indentation, for pairs
    // indented alike up to `tallied_indents`: how often the word would fit
    // is measured on the body text alone, not on quotes wrapped narrower.
    LineFacts previous;  // the line before, blank at a block's start
    std::int64_t wrap_widths[max_tallied_width + 1] = {};
    std::int64_t single_spaced_need[tallied_indents][max_tallied_width + 1] = {};
    std::int64_t double_spaced_need[tallied_indents][max_tallied_width + 1] = {};
    // Sentence ends inside lines followed by one blank, and by two or more.
    std::int64_t one_space = 0;
    std::int64_t two_spaces = 0;
    // A capitalised word and a number after it ("Section 4"): inside a
    // line, and parted by a line end.
    std::int64_t units_inside = 0;
    std::int64_t units_parted = 0;
    // Paragraphs whose first line is indented more than the next, which
    // continues it (print style); and paragraphs after a blank line whose
    // first line is indented as the next.
    std::int64_t first_lines_indented = 0;
    std::int64_t first_lines_flush = 0;
    bool after_blank = true;  // `previous` followed a blank line
    std::int64_t blocks = 0;                // runs of lines that are not blank
    std::int64_t block_lines = 0;           // of the block going on
    std::int64_t lines_in_long_blocks = 0;  // of blocks of long_block_lines or more
    // Lines that start with a name in capitals ending in '.' or ':', and
    // the names told apart.
    std::int64_t speaker_lines = 0;
    std::unordered_set<std::uint32_t> speaker_names;
};

namespace {

bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_small(char c) { return c >= 'a' && c <= 'z'; }

// A sentence's end before the run of blanks that starts at `blank`
// (blank[-1] is '.', '!' or '?'), after a small letter and before a
// capital: counted by the run's length.
void tally_sentence_end(SmartScan& scan, const char* begin, const char* blank, const char* end) {
    if (blank - begin < 2 || !is_small(blank[-2])) return;
    const char* next = blank + 1;
    while (next < end && *next == ' ') ++next;
    if (next == end || !is_upper(*next)) return;
    (next - blank >= 2 ? scan.two_spaces : scan.one_space)++;
}

// A capitalised word that starts the body or follows a blank, maybe after
// a '(', and ends at `blank`, which a digit follows ("Section 4",
// "(Figure 2").
void tally_unit(SmartScan& scan, const char* begin, const char* blank) {
    const char* at = blank;
    while (at > begin && is_small(at[-1])) --at;
    if (at == blank || at == begin || !is_upper(at[-1])) return;
    const char* word = at - 1;
    if (word > begin && word[-1] == '(') --word;
    if (word == begin || word[-1] == ' ') ++scan.units_inside;
}

// Counts in a line's body the sentence ends followed by one blank and by
// two, and the capitalised words followed by a number. Both show at a
// blank: after '.', '!' or '?', or before a digit. Such blanks are found
// sixteen bytes at a time, and most blanks are neither (looking at each
// blank took most of the scan's time).
void tally_inside(SmartScan& scan, std::string_view body) {
    const char* const begin = body.data();
    const char* const end = begin + body.size();
    const char* p = begin + 1;  // the body starts with no blank
#if defined(__SSE2__)
    // Each step looks at the byte before and the byte after its sixteen.
    for (; end - p >= 17; p += 16) {
        const __m128i before = simd::load16(p - 1);
        const __m128i after = simd::load16(p + 1);
        const std::uint32_t blanks = simd::byte_mask(simd::equal_to(simd::load16(p), ' '));
        const std::uint32_t ends = simd::byte_mask(
            _mm_or_si128(_mm_or_si128(simd::equal_to(before, '.'), simd::equal_to(before, '!')),
                         simd::equal_to(before, '?')));
        const std::uint32_t digits = simd::byte_mask(
            _mm_and_si128(_mm_cmpgt_epi8(after, _mm_set1_epi8('0' - 1)),
                          _mm_cmplt_epi8(after, _mm_set1_epi8('9' + 1))));
        for (std::uint32_t bits = blanks & ends; bits != 0; bits &= bits - 1)
            tally_sentence_end(scan, begin, p + simd::first_bit(bits), end);
        for (std::uint32_t bits = blanks & digits; bits != 0; bits &= bits - 1)
            tally_unit(scan, begin, p + simd::first_bit(bits));
    }
#endif
    for (; p < end; ++p) {
        if (*p != ' ') continue;
        if (p[-1] == '.' || p[-1] == '!' || p[-1] == '?') tally_sentence_end(scan, begin, p, end);
        if (p + 1 < end && p[1] >= '0' && p[1] <= '9') tally_unit(scan, begin, p);
    }
}

// Counts a line into the block going on; a blank line (or the text's end)
// ends that block instead.
void count_block_line(SmartScan& scan, bool blank) {
    if (!blank) {
        ++scan.block_lines;
        return;
    }
    scan.blocks += scan.block_lines != 0;
    if (scan.block_lines >= tuning.long_block_lines) scan.lines_in_long_blocks += scan.block_lines;
    scan.block_lines = 0;
}

// Tallies the pair of the line before and `facts`.
void tally_pair(SmartScan& scan, const LineFacts& facts) {
    const LineFacts& a = scan.previous;
    if (a.blank || facts.blank) return;
    if (a.ends_capital_word && facts.starts_digit && facts.list_marker == ListMarker::none)
        ++scan.units_parted;
    if (facts.starts != smart::Case::lower) return;
    // A row whose columns a gap parts (an index entry, a table row) was
    // laid out, not wrapped, whatever follows it.
    if (a.column != 0) return;
    if (a.indent > facts.indent) ++scan.first_lines_indented;
    if (a.indent == facts.indent && scan.after_blank) ++scan.first_lines_flush;
    auto tally = [](std::int64_t* widths, std::int64_t width) {
        ++widths[std::min<std::int64_t>(width, max_tallied_width)];
    };
    tally(scan.wrap_widths, a.width);
    if (a.indent != facts.indent || a.indent >= tallied_indents) return;
    tally(scan.single_spaced_need[a.indent], std::int64_t{a.width} + 1 + facts.first_word);
    tally(scan.double_spaced_need[a.indent],
          std::int64_t{a.width} + (a.sentence_end ? 2 : 1) + facts.first_word);
}

void tally_line(void* context, const CutLine& line) {
    SmartScan& scan = *static_cast<SmartScan*>(context);
    if (line.kind == CutLine::Kind::long_rest || line.kind == CutLine::Kind::long_end) return;
    const LineFacts& facts = line.facts;
    if (!scan.words_only) {
        count_block_line(scan, facts.blank);
        tally_pair(scan, facts);
        scan.after_blank = scan.previous.blank;
        scan.previous = facts;
    }
    if (scan.collect_words) add_line_words(scan.vocabulary, line.text, facts);
    if (facts.blank) return;
    const std::string_view body = smart::trim_left(smart::trim_right(line.text));
    if (scan.words_only) return;
    tally_inside(scan, body);
    ++scan.lines;
    if (facts.speaker != 0) {
        ++scan.speaker_lines;
        if (scan.speaker_names.size() < counted_names) scan.speaker_names.insert(facts.speaker);
    }
    ++scan.indents[std::min(facts.indent, counted_indents)];
    // A line of one word says nothing of the width: it could not be
    // wrapped, however long it is.
    if (!facts.multi_word) return;
    ++scan.measured;
    ++scan.byte_widths[std::min(facts.byte_width, max_tallied_width)];
    ++scan.char_widths[std::min(facts.width, max_tallied_width)];
    if (facts.high && line.kind == CutLine::Kind::whole) {
        scan.any_non_ascii = true;
        if (scan.valid_utf8 && !smart::valid_utf8(body)) scan.valid_utf8 = false;
    }
}

}  // namespace

void SmartScanFree::operator()(SmartScan* scan) const { delete scan; }

SmartScanState start_layout_scan(bool collect_words) {
    SmartScanState scan(new SmartScan);
    scan->collect_words = collect_words;
    scan->cutter.for_layout = true;
    return scan;
}

void scan_layout(SmartScan& scan, const char* data, std::size_t size) {
    smart::cut_lines(scan.cutter, data, size, true, tally_line, &scan);
}

void scan_words_only(SmartScan& scan) { scan.words_only = true; }

smart::Vocabulary* smart::vocabulary_of(SmartScan& scan) {
    return scan.collect_words ? &scan.vocabulary : nullptr;
}

const smart::Vocabulary* smart::vocabulary_of(const SmartScan& scan) {
    return scan.collect_words ? &scan.vocabulary : nullptr;
}

namespace {

// The width nearly every line respects: the smallest that at most one in
// `tuning.stray_lines_one_in` of the counted widths exceeds, and a few more.
std::int32_t limit_of(const std::int64_t* widths, std::int64_t count) {
    std::int64_t beyond = count;
    for (std::int32_t width = 0; width < max_tallied_width; ++width) {
        beyond -= widths[width];
        if (beyond <= count / tuning.stray_lines_one_in + tuning.stray_lines_extra) return width;
    }
    return max_tallied_width;
}

// The smallest width that more than `per_cent` of the counted widths reach.
std::int32_t low_end_of(const std::int64_t* widths, std::int64_t count, std::int64_t per_cent) {
    std::int64_t below = 0;
    for (std::int32_t width = 0; width <= max_tallied_width; ++width) {
        below += widths[width];
        if (below * 100 > count * per_cent) return width;
    }
    return max_tallied_width;
}

// The top of the densest band of `tuning.band_span` widths, less the lines
// wider than it: greedy wrapping fills nearly every line to within a long
// word of the width and never beyond it. `band_lines` and `beyond_lines`
// get the lines in the band and beyond it.
std::int32_t band_top(const std::int64_t* widths, std::int64_t count, std::int64_t& band_lines,
                      std::int64_t& beyond_lines) {
    std::int64_t beyond = count;
    std::int64_t band = 0;
    std::int64_t best_score = INT64_MIN;
    std::int32_t best = 0;
    for (std::int32_t width = 0; width < max_tallied_width; ++width) {
        band += widths[width];
        beyond -= widths[width];
        if (width >= tuning.band_span) band -= widths[width - tuning.band_span];
        const std::int64_t score = band - tuning.beyond_weight * beyond;
        if (width >= tuning.narrowest_width && score > best_score) {
            best_score = score;
            band_lines = band;
            beyond_lines = beyond;
            best = width;
        }
    }
    return best;
}

// The fallback estimate, from the widths of all lines of more than one word.
void estimate_from_all_lines(const SmartScan& scan, TextLayout& layout) {
    const std::int64_t* widths = layout.utf8 ? scan.char_widths : scan.byte_widths;
    std::int64_t band = 0, beyond = 0;
    const std::int32_t top = band_top(widths, scan.measured, band, beyond);
    // Enough full lines to speak of a width at all, a fair share of the
    // lines in the band, and hardly any wider than it.
    layout.wrapped = band >= tuning.fallback_band_lines &&
                     smart::at_least(band, scan.measured, tuning.fallback_band_share) &&
                     smart::at_most(beyond, scan.measured, tuning.fallback_beyond_share);
    layout.width = layout.wrapped ? top : 0;
}

// The width from the plainly wrapped lines: the limit they respect, but
// for a few strays. Lines beyond the densest band of their widths by more
// than its span (a table row, a long address) are not wrapping: then the
// width is that band's top. The text counts as wrapped when the lines
// crowd up to the width.
void estimate_from_wrapped_lines(const SmartScan& scan, std::int64_t pairs, TextLayout& layout) {
    std::int64_t band = 0, beyond = 0;
    const std::int32_t limit = limit_of(scan.wrap_widths, pairs);
    const std::int32_t top = band_top(scan.wrap_widths, pairs, band, beyond);
    layout.width = std::max(limit > top + tuning.band_span ? top : limit, tuning.narrowest_width);
    layout.wrapped = smart::at_least(low_end_of(scan.wrap_widths, pairs, tuning.crowding_per_cent),
                                     layout.width, tuning.crowding_reach);
    if (!layout.wrapped) layout.width = 0;
}

// How often the next word would have fit after a plainly wrapped line of
// the body text, and what kind of wrapping that shows.
void measure_fit(const SmartScan& scan, TextLayout& layout) {
    const std::int32_t body = std::min(layout.body_indent, tallied_indents - 1);
    const std::int64_t* need = layout.two_spaces ? scan.double_spaced_need[body]
                                                 : scan.single_spaced_need[body];
    std::int64_t body_pairs = 0;
    std::int64_t fits = 0;  // with a column to spare
    for (std::int32_t width = 0; width <= max_tallied_width; ++width) {
        body_pairs += need[width];
        if (width < layout.width) fits += need[width];
    }
    // A wrapper that stops a column short of the widest lines moves many
    // words that would end exactly at the width, more than it leaves
    // fitting with room to spare: then only such a word fits.
    const std::int64_t exact = layout.width <= max_tallied_width ? need[layout.width] : 0;
    if (exact >= tuning.least_exact_fits && exact > fits) {
        layout.room_to_spare = 1;
    } else {
        fits += exact;
    }
    if (body_pairs >= tuning.least_evidence)
        layout.fit_per_mille = static_cast<std::int32_t>(fits * 1000 / body_pairs);
    layout.wrapping = layout.fit_per_mille < tuning.greedy_fits     ? Wrapping::greedy
                      : layout.fit_per_mille < tuning.unfilled_fits ? Wrapping::nearly_greedy
                                                                    : Wrapping::unfilled;
}

}  // namespace

TextLayout finish_layout(SmartScan& scan, std::int32_t columns) {
    smart::end_lines(scan.cutter, true, tally_line, &scan);

    TextLayout layout;
    layout.utf8 = scan.valid_utf8 && scan.any_non_ascii;
    for (std::int32_t indent = 0; indent <= counted_indents; ++indent) {
        if (scan.indents[indent] > 0 &&
            smart::at_least(scan.indents[indent], scan.lines, tuning.body_indent_share)) {
            layout.body_indent = indent;
            break;
        }
    }
    std::int64_t pairs = 0;
    for (std::int64_t count : scan.wrap_widths) pairs += count;
    layout.wrapped_lines = pairs;
    if (columns > 0) {
        layout.width = columns;
        layout.wrapped = true;
    } else if (pairs >= tuning.least_evidence) {
        estimate_from_wrapped_lines(scan, pairs, layout);
    } else {
        estimate_from_all_lines(scan, layout);
    }
    layout.two_spaces = scan.two_spaces > scan.one_space;
    layout.print_style = scan.first_lines_indented > scan.first_lines_flush;
    count_block_line(scan, true);
    // Blocks long on average, as pages of a transcription parted by blank
    // lines are, show it too.
    layout.long_blocks =
        smart::at_least(scan.lines_in_long_blocks, scan.lines, tuning.long_blocks_share) ||
        scan.lines > tuning.long_block_average * std::max<std::int64_t>(scan.blocks, 1);
    layout.speakers = scan.speaker_lines >= tuning.least_speaker_lines &&
                      scan.speaker_lines >= tuning.speaker_repeats *
                                                static_cast<std::int64_t>(scan.speaker_names.size());
    layout.bound_numbers = scan.units_inside >= tuning.least_units &&
                           smart::at_most(scan.units_parted, scan.units_inside,
                                          tuning.parted_units_share);
    measure_fit(scan, layout);
    if (pairs >= tuning.least_evidence) {
        layout.wrap_floor = low_end_of(scan.wrap_widths, pairs, tuning.short_per_cent);
    } else {
        layout.wrap_floor = std::max(layout.width - tuning.long_word, layout.width / 2);
    }
    return layout;
}

}  // namespace parafold
