// The layout estimate and the break rule of the reading-quality unwrap
// (engine/smart/join.h), on the lines that engine/smart/lines.cpp cuts.
#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <unordered_set>
#include <vector>

#include "engine/smart/join.h"
#include "engine/smart/lines.h"
#include "engine/smart/simd.h"

namespace parafold {

using smart::CutLine;
using smart::LineFacts;
using smart::ListMarker;

namespace {

// Widths are tallied up to this; wider lines count as too wide for any width.
constexpr std::int32_t max_tallied_width = 1024;
// Indentations up to this are told apart when the fit of words is measured.
constexpr std::int32_t tallied_indents = 9;
// Widths below this are not taken for a wrap width by the estimate.
constexpr std::int32_t narrowest_estimate = 20;
// The estimate looks for the densest band of this many widths: greedy
// wrapping leaves nearly every full line within a long word of the width.
constexpr std::int32_t band_span = 12;

// Hashes a word by its bytes, so that a view of a word can be looked up
// without making a string of it.
struct WordHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view word) const {
        return std::hash<std::string_view>{}(word);
    }
};

using Vocabulary = std::unordered_set<std::string, WordHash, std::equal_to<>>;

// Adds the words of `text` to the vocabulary: runs of letters, lower-cased,
// of at most `longest_word` bytes.
void add_words(Vocabulary& vocabulary, std::string_view text) {
    constexpr std::size_t longest_word = 64;
    char word[longest_word];
    std::size_t i = 0;
    while (i < text.size()) {
        if (!smart::is_letter(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < text.size() && smart::is_letter(text[i])) ++i;
        if (i - start > longest_word) continue;
        for (std::size_t k = start; k < i; ++k) word[k - start] = smart::lower(text[k]);
        const std::string_view found(word, i - start);
        if (!vocabulary.contains(found)) vocabulary.emplace(found);
    }
}

}  // namespace

// ------------------------------------------------------------ first pass

struct SmartScan {
    smart::LineCutter cutter;
    std::int64_t lines = 0;     // lines that are not blank
    std::int64_t measured = 0;  // of those, lines of more than one word
    // Widths of the measured lines, in bytes and in characters; the last
    // entry counts the wider ones.
    std::int64_t byte_widths[max_tallied_width + 1] = {};
    std::int64_t char_widths[max_tallied_width + 1] = {};
    std::int64_t indents[65] = {};  // last: 64 or more
    bool valid_utf8 = true;
    bool any_non_ascii = false;
    bool collect_words = false;
    Vocabulary vocabulary;
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
};

namespace {

bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_small(char c) { return c >= 'a' && c <= 'z'; }

// Looks at the word that starts at `word`, after a blank or at the body's
// start: a capitalised word followed by a number ("Section 4", "(Figure 2").
void tally_word(SmartScan& scan, const char* word, const char* end) {
    const char* at = word + (word < end && *word == '(');
    if (at >= end || !is_upper(*at)) return;
    const char* stop = at + 1;
    while (stop < end && is_small(*stop)) ++stop;
    if (stop - at >= 2 && end - stop >= 2 && stop[0] == ' ' && stop[1] >= '0' && stop[1] <= '9')
        ++scan.units_inside;
}

// Looks at the blank at `blank`, not the body's first byte nor its last:
// the end of a sentence before it, followed by one blank or more, and the
// word after it.
void tally_blank(SmartScan& scan, const char* begin, const char* blank, const char* end) {
    if (blank[-1] == ' ') return;  // not the first of its run
    const char* next = blank + 1;
    while (next < end && *next == ' ') ++next;
    if (next == end) return;
    if (blank - begin >= 2 && (blank[-1] == '.' || blank[-1] == '!' || blank[-1] == '?') &&
        is_small(blank[-2]) && is_upper(*next))
        (next - blank >= 2 ? scan.two_spaces : scan.one_space)++;
    tally_word(scan, next, end);
}

// Counts in a line's body the sentence ends followed by one blank and by
// two, and the capitalised words followed by a number. Both follow a
// blank, so only the blanks are visited, found sixteen bytes at a time.
void tally_inside(SmartScan& scan, std::string_view body) {
    const char* const begin = body.data();
    const char* const end = begin + body.size();
    tally_word(scan, begin, end);
    const char* p = begin + 1;
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) {
        std::uint32_t blanks = simd::byte_mask(simd::equal_to(simd::load16(p), ' '));
        while (blanks != 0) {
            tally_blank(scan, begin, p + simd::first_bit(blanks), end);
            blanks &= blanks - 1;
        }
    }
#endif
    for (; p < end; ++p) {
        if (*p == ' ') tally_blank(scan, begin, p, end);
    }
}

// Tallies the pair of the line before and `facts`.
void tally_pair(SmartScan& scan, const LineFacts& facts) {
    const LineFacts& a = scan.previous;
    if (a.blank || facts.blank) return;
    if (a.ends_capital_word && facts.starts_digit && facts.list_marker == ListMarker::none)
        ++scan.units_parted;
    if (facts.starts != smart::Case::lower) return;
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
        tally_pair(scan, facts);
        scan.after_blank = scan.previous.blank;
        scan.previous = facts;
    }
    if (facts.blank) return;
    const std::string_view body = smart::trim_left(smart::trim_right(line.text));
    if (scan.collect_words) add_words(scan.vocabulary, body);
    if (scan.words_only) return;
    tally_inside(scan, body);
    ++scan.lines;
    ++scan.indents[std::min(facts.indent, 64)];
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

void SmartStateFree::operator()(SmartScan* scan) const { delete scan; }

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

namespace {

// Fewer plainly wrapped lines than this say nothing of a width.
constexpr std::int64_t least_evidence = 20;

// The width nearly every line respects: the smallest that at most one in
// `share` of the counted widths exceeds, and two more.
std::int32_t limit_of(const std::int64_t* widths, std::int64_t count, std::int64_t share) {
    std::int64_t beyond = count;
    for (std::int32_t width = 0; width < max_tallied_width; ++width) {
        beyond -= widths[width];
        if (beyond <= count / share + 2) return width;
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

// The top of the densest band of `band_span` widths, less twice the lines
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
        if (width >= band_span) band -= widths[width - band_span];
        const std::int64_t score = band - 2 * beyond;
        if (width >= narrowest_estimate && score > best_score) {
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
    layout.wrapped = band >= 8 && band * 5 >= scan.measured && beyond * 20 <= scan.measured;
    layout.width = layout.wrapped ? top : 0;
}

}  // namespace

TextLayout finish_layout(SmartScan& scan, std::int32_t columns) {
    smart::end_lines(scan.cutter, true, tally_line, &scan);

    TextLayout layout;
    layout.utf8 = scan.valid_utf8 && scan.any_non_ascii;
    for (std::int32_t indent = 0; indent <= 64; ++indent) {
        if (scan.indents[indent] > 0 && scan.indents[indent] * 10 >= scan.lines) {
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
    } else if (pairs >= least_evidence) {
        // The width is the limit that the plainly wrapped lines respect,
        // but for one in 200 (a word too long to wrap, a typing slip).
        // Lines beyond the densest band of their widths by more than its
        // span (a table row, a long address) are not wrapping: then the
        // width is that band's top. The text counts as wrapped when half
        // the lines reach three quarters of the width, as wrapping makes
        // them crowd up to it.
        std::int64_t band = 0, beyond = 0;
        const std::int32_t limit = limit_of(scan.wrap_widths, pairs, 200);
        const std::int32_t top = band_top(scan.wrap_widths, pairs, band, beyond);
        layout.width = std::max(limit > top + band_span ? top : limit, narrowest_estimate);
        layout.wrapped = low_end_of(scan.wrap_widths, pairs, 50) * 4 >= layout.width * 3;
        if (!layout.wrapped) layout.width = 0;
    } else {
        estimate_from_all_lines(scan, layout);
    }
    layout.two_spaces = scan.two_spaces > scan.one_space;
    layout.print_style = scan.first_lines_indented > scan.first_lines_flush;
    // By chance a line end falls between a word and the next about once in
    // ten times; one in twenty or fewer, over enough cases, shows a text
    // that keeps them together.
    layout.bound_numbers = scan.units_inside >= 24 && scan.units_parted * 20 <= scan.units_inside;
    const std::int32_t body = std::min(layout.body_indent, tallied_indents - 1);
    const std::int64_t* need = layout.two_spaces ? scan.double_spaced_need[body]
                                                 : scan.single_spaced_need[body];
    std::int64_t body_pairs = 0;
    std::int64_t fits = 0;
    for (std::int32_t width = 0; width <= max_tallied_width; ++width) {
        body_pairs += need[width];
        if (width <= layout.width) fits += need[width];
    }
    if (body_pairs >= least_evidence)
        layout.fit_per_mille = static_cast<std::int32_t>(fits * 1000 / body_pairs);
    if (pairs >= least_evidence) {
        layout.wrap_floor = low_end_of(scan.wrap_widths, pairs, 3);
    } else {
        // Too few to measure: greedy wrapping is assumed, whose lines end
        // within a long word of the width.
        layout.wrap_floor = std::max(layout.width - 10, layout.width / 2);
    }
    return layout;
}

// ----------------------------------------------------------- second pass

namespace {

// Lines held at most before the breaks between them are decided: a longer
// block (or one of more than smart_held_bytes) is decided in parts.
constexpr std::size_t block_lines = smart_held_lines;

// A quote set narrower than the body leaves at least this many columns.
constexpr std::int32_t narrow_margin = 10;

// Why a break stays, or that it does not.
enum class Verdict : std::uint8_t {
    join,
    unwrapped,     // the text is not hard-wrapped
    blank,         // a blank line on either side
    list_item,     // B starts a numbered item, or A and B start with a bullet
    indented,      // B is indented more than A, and does not hang from it
    outdented,     // B is indented less than A, which does not start a paragraph
    short_lines,   // every line of the block ends well before the width
    narrow_quote,  // an indented block whose lines all end well before the width
    verse,         // a block of lines that each start with a capital and end in punctuation
    fits,          // B's first word would have fit on A, in a text where that tells
    short_before_capital,  // A ends well before the width, and B starts with a capital
};

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

// What the rule knows of the block around a break: its lines that are not
// blank, as far as they are held.
struct BlockSigns {
    bool verse = false;        // the lines start with capitals and end in punctuation
    bool short_lines = false;  // every line ends well before the width
    bool long_verse = false;   // verse whose lines reach the wrapped lines' widths
    bool narrow_quote = false; // indented alike, deeper than the body, and set narrower
};

// Whether `b`'s first word (with a number after it, where the text keeps
// the two together) would have fit on `a` within the width.
bool would_fit(const LineFacts& a, const LineFacts& b, const TextLayout& layout) {
    const std::int64_t blanks = layout.two_spaces && a.sentence_end ? 2 : 1;
    const std::int64_t word = layout.bound_numbers ? b.first_unit : b.first_word;
    return std::int64_t{a.width} + blanks + word <= layout.width;
}

// A line read whole whose end waits on the lines after it.
struct HeldLine {
    LineFacts facts;
    std::string_view text;      // in the caller's block, the cutter's buffer or `store`
    std::int64_t number = 0;    // counted from 1
    bool written = false;       // a long line already written: only its end waits
    bool has_end = true;        // ended by a line end, not by the input's end
};

// The signs of the block of `count` lines (none blank) from `lines`.
BlockSigns signs_of(const HeldLine* lines, std::size_t count, const TextLayout& layout) {
    BlockSigns signs;
    if (count < 2) return signs;
    const std::size_t breaks = count - 1;
    std::size_t capitals = 0, smalls = 0, punctuated = 0;
    bool all_short = true;
    bool narrow = lines[0].facts.indent > layout.body_indent;
    for (std::size_t i = 0; i < breaks; ++i) {
        const LineFacts& a = lines[i].facts;
        const LineFacts& b = lines[i + 1].facts;
        capitals += b.starts == smart::Case::upper;
        smalls += b.starts == smart::Case::lower;
        punctuated += a.punct_end;
        all_short = all_short && a.width < layout.wrap_floor && would_fit(a, b, layout);
        narrow = narrow && b.indent == a.indent &&
                 std::int64_t{a.width} + narrow_margin <= layout.width;
    }
    signs.short_lines = all_short;
    signs.narrow_quote = narrow;
    // Verse: nearly every line starts with a capital, hardly any with a
    // small letter, and at least half end in punctuation.
    signs.verse = count >= 3 && capitals * 5 >= breaks * 4 && smalls * 10 <= breaks &&
                  punctuated * 2 >= breaks;
    // Verse of long lines: a line of it may leave no room for the next
    // line's first word, as a wrapped line does. Four lines at least, with
    // three in four ending in punctuation, and their median as wide as
    // wrapped lines nearly are.
    if (signs.verse && count >= 4 && punctuated * 4 >= breaks * 3) {
        std::int32_t widths[block_lines + 1];
        for (std::size_t i = 0; i < breaks; ++i) widths[i] = lines[i].facts.width;
        std::nth_element(widths, widths + breaks / 2, widths + breaks);
        signs.long_verse = std::int64_t{widths[breaks / 2]} + 10 >= layout.wrap_floor;
    }
    return signs;
}

// The break rule between `a` and `b`, two lines of a block (neither
// blank). `a_starts` tells that `a` starts a paragraph: it is the block's
// first line, or the break before it stayed.
Verdict judge_break(const LineFacts& a, const LineFacts& b, bool a_starts,
                    const BlockSigns& block, const TextLayout& layout) {
    const bool fits = would_fit(a, b, layout);
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
    const bool b_small = b.starts == smart::Case::lower;
    const bool b_capital = b.starts == smart::Case::upper;
    if (block.verse && !b_small && (fits || block.long_verse)) return Verdict::verse;
    // How far "the next word would have fit" can be trusted depends on how
    // often it holds after lines that plainly were wrapped: hardly ever in
    // greedy wrapping, often where the lines were filled by hand or by a
    // paragraph optimiser, or copied from a printed page.
    const std::int32_t fit_rate = layout.fit_per_mille;
    if (fits && fit_rate < 30) return Verdict::fits;
    // In greedy wrapping a short line after a meant break, before another
    // short line that starts with a capital: a line of verse before a long
    // first word.
    auto ends_early = [&](const LineFacts& f) { return std::int64_t{f.width} + 10 <= layout.width; };
    if (fit_rate < 30 && a_starts && b_capital && ends_early(a) && ends_early(b))
        return Verdict::short_lines;
    if (a.hyphen_end || b_small) return Verdict::join;
    const bool a_short = a.width < layout.wrap_floor;
    if (fit_rate < 350) {
        if (fits && a_short && b_capital) return Verdict::short_before_capital;
    } else if (std::int64_t{a.width} * 5 < std::int64_t{layout.wrap_floor} * 3 && b_capital) {
        return Verdict::short_before_capital;
    }
    return Verdict::join;
}

// Whether the word hyphenated across `a` (ending in '-') and `b` occurs
// whole in the vocabulary.
bool known_whole(const Vocabulary& vocabulary, std::string_view a, std::string_view b,
                 std::string& word) {
    std::size_t start = a.size() - 1;
    while (start > 0 && smart::is_letter(a[start - 1])) --start;
    b = smart::trim_left(b);
    std::size_t stop = 0;
    while (stop < b.size() && smart::is_letter(b[stop])) ++stop;
    word.clear();
    for (char c : a.substr(start, a.size() - 1 - start)) word += smart::lower(c);
    for (char c : b.substr(0, stop)) word += smart::lower(c);
    return vocabulary.contains(word);
}

// Writes into a buffer that has room for all it is given.
struct Output {
    char* w;

    void put(std::string_view bytes) {
        std::memcpy(w, bytes.data(), bytes.size());
        w += bytes.size();
    }
    void put(char byte) { *w++ = byte; }
};

}  // namespace

struct SmartJoin {
    TextLayout layout;
    const Vocabulary* vocabulary = nullptr;  // nullptr: no dehyphenation
    std::string* explain = nullptr;          // where the report goes, if anywhere
    smart::LineCutter cutter;
    Output* out = nullptr;  // where the current call writes
    // The lines of the current block not yet written, the last of which
    // (at least) waits on the next line.
    std::vector<HeldLine> held;
    std::size_t held_bytes = 0;  // of their text
    bool first_starts = true;   // held[0] starts a paragraph
    bool first_joined = false;  // held[0] was joined to the line before it
    std::int64_t lines = 0;     // lines seen
    // Copies of held lines whose bytes go away: one line from the cutter's
    // buffer, and all held lines at the end of a call; two stores that take
    // turns, so that a copy never moves what it copies from.
    std::string from_cutter;
    std::vector<char> store, spare;
    std::vector<Verdict> verdicts;  // scratch
    std::string word;               // scratch for dehyphenation
};

void SmartStateFree::operator()(SmartJoin* join) const { delete join; }

namespace {

// The start of a line's body for the report: its first 24 bytes, cut
// before a UTF-8 character's continuation.
std::string_view line_start(std::string_view text) {
    std::string_view body = smart::trim_left(text);
    if (body.size() <= 24) return body;
    std::size_t cut = 24;
    while (cut > 0 && (static_cast<unsigned char>(body[cut]) & 0xC0) == 0x80) --cut;
    return body.substr(0, cut);
}

void report_kept(SmartJoin& join, const HeldLine& a, const HeldLine& b, Verdict verdict) {
    std::string& report = *join.explain;
    report += "kept ";
    report += std::to_string(a.number);
    report += ": ";
    report += reason_of(verdict);
    report += " | ";
    report += a.written ? std::string_view("(long line)") : line_start(a.text);
    report += " | ";
    report += line_start(b.text);
    report += '\n';
}

// Names what a block reads as, when it reads as more than paragraphs.
void report_block(SmartJoin& join, const HeldLine& first, const HeldLine& last,
                  const BlockSigns& signs) {
    const char* kind = signs.short_lines    ? "short lines"
                       : signs.long_verse   ? "verse of long lines"
                       : signs.verse        ? "verse"
                       : signs.narrow_quote ? "quote set narrower"
                                            : nullptr;
    if (!kind) return;
    *join.explain += "block " + std::to_string(first.number) + "-" +
                     std::to_string(last.number) + ": " + kind + "\n";
}

// Decides the breaks between the held lines, writes all but the last and
// keeps that one held. With `last_too` the last line is written as well,
// with its own line end: the input ended.
void settle(SmartJoin& join, bool last_too) {
    std::vector<HeldLine>& held = join.held;
    const std::size_t n = held.size();
    if (n == 0) return;
    std::vector<Verdict>& verdicts = join.verdicts;
    verdicts.resize(n);
    // The signs of each run of lines that are not blank.
    BlockSigns signs;
    std::size_t run_start = 0;
    bool starts = join.first_starts;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const HeldLine& a = held[i];
        const HeldLine& b = held[i + 1];
        if (!join.layout.wrapped) {
            verdicts[i] = Verdict::unwrapped;
        } else if (a.facts.blank || b.facts.blank) {
            verdicts[i] = Verdict::blank;
        } else {
            if (i == 0 || held[i - 1].facts.blank) {
                run_start = i;
                std::size_t run_end = i + 1;
                while (run_end < n && !held[run_end].facts.blank) ++run_end;
                signs = signs_of(held.data() + run_start, run_end - run_start, join.layout);
                if (join.explain) report_block(join, held[run_start], held[run_end - 1], signs);
            }
            verdicts[i] = judge_break(a.facts, b.facts, starts || a.facts.blank, signs,
                                      join.layout);
        }
        starts = verdicts[i] != Verdict::join;
        if (join.explain && starts && verdicts[i] != Verdict::blank &&
            verdicts[i] != Verdict::unwrapped)
            report_kept(join, a, b, verdicts[i]);
    }
    Output& out = *join.out;
    bool joined = join.first_joined;
    const std::size_t written = last_too ? n : n - 1;
    for (std::size_t i = 0; i < written; ++i) {
        const HeldLine& a = held[i];
        const bool last = i + 1 == n;
        const bool keep = last || verdicts[i] != Verdict::join;
        std::string_view text = a.text;
        if (joined) text = smart::trim_left(text);
        joined = !keep;
        if (last) {
            if (!a.written) out.put(text);
            if (a.has_end) out.put('\n');
        } else if (a.written) {
            out.put(keep ? '\n' : ' ');
        } else if (keep) {
            out.put(text);
            out.put('\n');
        } else {
            text = smart::trim_right(text);
            const HeldLine& b = held[i + 1];
            if (a.facts.hyphen_end && b.facts.starts_letter) {
                if (join.vocabulary && known_whole(*join.vocabulary, text, b.text, join.word))
                    text.remove_suffix(1);
                out.put(text);
            } else {
                out.put(text);
                out.put(' ');
            }
        }
    }
    if (last_too) {
        held.clear();
        join.held_bytes = 0;
        join.first_starts = true;
        join.first_joined = false;
        return;
    }
    join.first_starts = n < 2 || verdicts[n - 2] != Verdict::join;
    join.first_joined = !join.first_starts;
    held.front() = held.back();
    held.resize(1);
    join.held_bytes = held.front().text.size();
}

void hold(SmartJoin& join, const CutLine& line) {
    const bool edge =
        !join.held.empty() && (line.facts.blank || join.held.back().facts.blank);
    HeldLine& next = join.held.emplace_back();
    next.facts = line.facts;
    next.text = line.text;
    next.number = ++join.lines;
    next.has_end = line.has_end;
    // A line from the cutter's buffer is copied: the buffer takes the
    // next unfinished line.
    if (line.text.data() == join.cutter.done.data()) {
        join.from_cutter.assign(line.text);
        next.text = join.from_cutter;
    }
    join.held_bytes += next.text.size();
    if (edge || join.held.size() > block_lines || join.held_bytes > smart_held_bytes)
        settle(join, false);
}

void join_line(void* context, const CutLine& line) {
    SmartJoin& join = *static_cast<SmartJoin*>(context);
    switch (line.kind) {
        case CutLine::Kind::whole: hold(join, line); break;
        case CutLine::Kind::long_head: {
            // Its head is written now and the rest streams through: the
            // breaks before it are decided first.
            hold(join, line);
            if (join.held.size() > 1) settle(join, false);
            HeldLine& head = join.held.front();
            join.out->put(join.first_joined ? smart::trim_left(line.text) : line.text);
            head.text = {};
            head.written = true;
            join.held_bytes = 0;
            break;
        }
        case CutLine::Kind::long_rest: join.out->put(line.text); break;
        case CutLine::Kind::long_end:
            if (!join.held.empty()) join.held.back().has_end = line.has_end;
            break;
    }
}

// The held lines' own copies, before the caller's block goes away.
void keep_held_lines(SmartJoin& join) {
    const char* const kept = join.store.data();
    auto in_store = [&](const HeldLine& line) {
        return line.text.empty() ||
               (line.text.data() >= kept && line.text.data() < kept + join.store.size());
    };
    if (std::all_of(join.held.begin(), join.held.end(), in_store)) return;
    std::size_t bytes = 0;
    for (const HeldLine& line : join.held) bytes += line.text.size();
    join.spare.resize(bytes);
    char* at = join.spare.data();
    for (HeldLine& line : join.held) {
        if (!line.text.empty()) std::memcpy(at, line.text.data(), line.text.size());
        line.text = std::string_view(at, line.text.size());
        at += line.text.size();
    }
    join.store.swap(join.spare);
}

void describe_layout(const TextLayout& layout, std::string& report) {
    auto line = [&](const std::string& text) { report += "layout: " + text + "\n"; };
    if (!layout.wrapped) {
        line("not hard-wrapped: every line break kept");
        return;
    }
    line("width " + std::to_string(layout.width) +
         (layout.utf8 ? " characters (UTF-8)" : " bytes"));
    line("body indent " + std::to_string(layout.body_indent));
    if (layout.wrapped_lines < least_evidence) {
        line("plainly wrapped lines " + std::to_string(layout.wrapped_lines) +
             ", too few to measure: greedy wrapping assumed");
    } else {
        line("plainly wrapped lines " + std::to_string(layout.wrapped_lines) + ", 97% at least " +
             std::to_string(layout.wrap_floor) + " wide");
        const std::int32_t rate = layout.fit_per_mille;
        line("next word would fit after " + std::to_string(rate / 10) + "." +
             std::to_string(rate % 10) + "% of them: " +
             (rate < 30    ? "greedy wrapping, a fitting word marks a meant break"
              : rate < 350 ? "wrapping not quite greedy, a fitting word alone proves nothing"
                           : "lines not filled to a width, fitting words prove nothing"));
    }
    if (layout.print_style) line("print style: paragraphs start with an indented line");
    if (layout.two_spaces) line("two blanks after a sentence");
    if (layout.bound_numbers) line("a word and a number after it are kept together");
}

}  // namespace

SmartJoinState start_join(const TextLayout& layout, const SmartScan* words,
                          std::string* explain) {
    SmartJoinState join(new SmartJoin);
    join->layout = layout;
    join->explain = explain;
    if (words && words->collect_words) join->vocabulary = &words->vocabulary;
    join->held.reserve(block_lines + 2);
    if (explain) describe_layout(layout, *explain);
    return join;
}

std::size_t smart_join(SmartJoin& join, const char* data, std::size_t size, char* out) {
    Output output{out};
    join.out = &output;
    smart::cut_lines(join.cutter, data, size, join.layout.utf8, join_line, &join);
    // The block goes away: the held lines get their own copies.
    keep_held_lines(join);
    return static_cast<std::size_t>(output.w - out);
}

std::size_t smart_join_finish(SmartJoin& join, char* out) {
    Output output{out};
    join.out = &output;
    smart::end_lines(join.cutter, join.layout.utf8, join_line, &join);
    settle(join, true);
    return static_cast<std::size_t>(output.w - out);
}

namespace {

// What smart_join_room() allows for, for this join as it stands: the held
// lines, the unfinished one and `size` more bytes, each byte giving at most
// one (a line end one LF or one space).
std::size_t room_now(const SmartJoin& join, std::size_t size) {
    std::size_t held = 0;
    for (const HeldLine& line : join.held) held += line.text.size() + 1;
    return size + held + join.cutter.open.size() + 2;
}

}  // namespace

void smart_join(SmartJoin& join, const char* data, std::size_t size, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + room_now(join, size));
    out.resize(start + smart_join(join, data, size, out.data() + start));
}

void smart_join_finish(SmartJoin& join, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + room_now(join, 0));
    out.resize(start + smart_join_finish(join, out.data() + start));
}

std::string smart_reflow_text(std::string_view text, std::int32_t columns, bool dehyphenate,
                              TextLayout* layout, std::string* explain) {
    const SmartScanState scan = start_layout_scan(dehyphenate);
    scan_layout(*scan, text.data(), text.size());
    const TextLayout found = finish_layout(*scan, columns);
    if (layout) *layout = found;
    const SmartJoinState join = start_join(found, dehyphenate ? scan.get() : nullptr, explain);
    std::string out;
    smart_join(*join, text.data(), text.size(), out);
    smart_join_finish(*join, out);
    return out;
}

}  // namespace parafold
