// The layout estimate and the break rule of the reading-quality unwrap
// (engine/smart_join.h), on the lines that engine/smart_lines.cpp cuts.
#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <unordered_set>

#include "engine/smart_join.h"
#include "engine/smart_lines.h"

namespace parafold {

using smart::CutLine;
using smart::LineFacts;
using smart::ListMarker;

namespace {

// Widths are tallied up to this; wider lines count as too wide for any width.
constexpr std::int32_t max_tallied_width = 1024;
// Widths below this are not taken for a wrap width by the estimate.
constexpr std::int32_t narrowest_estimate = 20;
// The estimate looks for the densest band of this many widths: greedy
// wrapping leaves nearly every full line within a long word of the width.
constexpr std::int32_t band_span = 12;
// A line ends "well before the width" with at least this many columns left.
constexpr std::int32_t short_margin = 10;

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
};

namespace {

void tally_line(void* context, const CutLine& line) {
    SmartScan& scan = *static_cast<SmartScan*>(context);
    if (line.kind == CutLine::Kind::long_rest || line.kind == CutLine::Kind::long_end) return;
    const LineFacts& facts = line.facts;
    if (facts.blank) return;
    const std::string_view body = smart::trim_left(smart::trim_right(line.text));
    if (scan.collect_words) add_words(scan.vocabulary, body);
    if (scan.words_only) return;
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
    if (columns > 0) {
        layout.width = columns;
        layout.wrapped = true;
        return layout;
    }
    const std::int64_t* widths = layout.utf8 ? scan.char_widths : scan.byte_widths;
    // The width is where the densest band of line widths ends, less twice
    // the lines that would be wider than it: greedy wrapping fills nearly
    // every line to within a long word of the width and never beyond it.
    std::int64_t beyond = scan.measured;
    std::int64_t band = 0;
    std::int64_t best_score = INT64_MIN;
    std::int64_t best_band = 0;
    std::int64_t best_beyond = 0;
    std::int32_t best = 0;
    for (std::int32_t width = 0; width < max_tallied_width; ++width) {
        band += widths[width];
        beyond -= widths[width];
        if (width >= band_span) band -= widths[width - band_span];
        const std::int64_t score = band - 2 * beyond;
        if (width >= narrowest_estimate && score > best_score) {
            best_score = score;
            best_band = band;
            best_beyond = beyond;
            best = width;
        }
    }
    // Enough full lines to speak of a width at all, a fair share of the
    // lines in the band, and hardly any wider than it.
    layout.wrapped = best_band >= 8 && best_band * 5 >= scan.measured &&
                     best_beyond * 20 <= scan.measured;
    layout.width = layout.wrapped ? best : 0;
    return layout;
}

// ----------------------------------------------------------- second pass

namespace {

// Why a break stays, or that it does not.
enum class Verdict { join, blank, indented, ended_early, list_item, short_block };

// The break rule between the pending line `a` and the next line `b`.
// `a_ended_early` tells that the break before `a` stayed because `a`'s
// first word would have fit on the line before.
Verdict judge_break(bool a_ended_early, const LineFacts& a, const LineFacts& b,
                    const TextLayout& layout) {
    if (a.blank || b.blank) return Verdict::blank;
    if (b.indent > layout.body_indent) return Verdict::indented;
    const std::int64_t room =
        std::int64_t{layout.width} - a.width - (a.hyphen_end && b.starts_letter ? 0 : 1);
    if (b.first_word <= room) return Verdict::ended_early;
    if (b.list_marker == ListMarker::number ||
        (b.list_marker == ListMarker::bullet && a.list_marker == ListMarker::bullet))
        return Verdict::list_item;
    auto is_short = [&](const LineFacts& f) {
        return std::int64_t{f.width} + short_margin <= layout.width;
    };
    if (a_ended_early && is_short(a) && is_short(b)) return Verdict::short_block;
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
    smart::LineCutter cutter;
    Output* out = nullptr;  // where the current call writes
    // The pending line: read whole but not yet written, because its end
    // waits on the next line.
    LineFacts pending;
    bool pending_ended_early = false;  // the break before it stayed: it would have fit
    bool next_ended_early = false;
    std::string_view pending_view;  // its text: in the input block, or pending_text
    std::string pending_text;
    bool have_pending = false;
    bool pending_long = false;     // already written; only its line end waits
    bool pending_has_end = false;  // ended by a line end (not the input's end)
    bool pending_joined = false;   // joined to its predecessor: drop its indentation
    std::string word;              // scratch for dehyphenation
};

void SmartStateFree::operator()(SmartJoin* join) const { delete join; }

namespace {

// Writes the pending line and what stands between it and the next line
// `b`; says whether `b` was joined to it.
bool settle_pending(SmartJoin& join, const LineFacts& b, std::string_view b_text) {
    Output& out = *join.out;
    const Verdict verdict = join.layout.wrapped
                                ? judge_break(join.pending_ended_early, join.pending, b, join.layout)
                                : Verdict::blank;
    join.next_ended_early = verdict == Verdict::ended_early;
    const bool keep = verdict != Verdict::join;
    if (join.pending_long) {
        out.put(keep ? '\n' : ' ');
        return !keep;
    }
    std::string_view a = join.pending_view;
    if (join.pending_joined) a = smart::trim_left(a);
    if (keep) {
        out.put(a);
        out.put('\n');
        return false;
    }
    a = smart::trim_right(a);
    if (join.pending.hyphen_end && b.starts_letter) {
        if (join.vocabulary && known_whole(*join.vocabulary, a, b_text, join.word))
            a.remove_suffix(1);
        out.put(a);
    } else {
        out.put(a);
        out.put(' ');
    }
    return true;
}

// Makes `b` the pending line, settling the one before it.
bool take(SmartJoin& join, const LineFacts& b, std::string_view b_text) {
    bool joined = false;
    join.next_ended_early = false;
    if (join.have_pending) joined = settle_pending(join, b, b_text);
    join.pending_ended_early = join.next_ended_early;
    join.pending = b;
    join.have_pending = true;
    join.pending_joined = joined;
    return joined;
}

void join_line(void* context, const CutLine& line) {
    SmartJoin& join = *static_cast<SmartJoin*>(context);
    switch (line.kind) {
        case CutLine::Kind::whole:
            take(join, line.facts, line.text);
            // A line inside the caller's block is kept as a view until the
            // block ends (see smart_join); one from the cutter's buffer is copied.
            if (line.text.data() == join.cutter.done.data()) {
                join.pending_text.assign(line.text);
                join.pending_view = join.pending_text;
            } else {
                join.pending_view = line.text;
            }
            join.pending_long = false;
            join.pending_has_end = line.has_end;
            break;
        case CutLine::Kind::long_head: {
            const bool joined = take(join, line.facts, line.text);
            join.out->put(joined ? smart::trim_left(line.text) : line.text);
            join.pending_view = {};
            join.pending_long = true;
            break;
        }
        case CutLine::Kind::long_rest: join.out->put(line.text); break;
        case CutLine::Kind::long_end: join.pending_has_end = line.has_end; break;
    }
}

}  // namespace

SmartJoinState start_join(const TextLayout& layout, const SmartScan* words) {
    SmartJoinState join(new SmartJoin);
    join->layout = layout;
    if (words && words->collect_words) join->vocabulary = &words->vocabulary;
    return join;
}

std::size_t smart_join(SmartJoin& join, const char* data, std::size_t size, char* out) {
    Output output{out};
    join.out = &output;
    smart::cut_lines(join.cutter, data, size, join.layout.utf8, join_line, &join);
    // The block goes away: keep the pending line's own copy.
    if (join.pending_view.data() != join.pending_text.data()) {
        join.pending_text.assign(join.pending_view);
        join.pending_view = join.pending_text;
    }
    return static_cast<std::size_t>(output.w - out);
}

std::size_t smart_join_finish(SmartJoin& join, char* out) {
    Output output{out};
    join.out = &output;
    smart::end_lines(join.cutter, join.layout.utf8, join_line, &join);
    if (join.have_pending) {
        if (!join.pending_long) {
            const std::string_view text = join.pending_view;
            output.put(join.pending_joined ? smart::trim_left(text) : text);
        }
        if (join.pending_has_end) output.put('\n');
        join.have_pending = false;
    }
    return static_cast<std::size_t>(output.w - out);
}

void smart_join(SmartJoin& join, const char* data, std::size_t size, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + smart_join_room(size));
    out.resize(start + smart_join(join, data, size, out.data() + start));
}

void smart_join_finish(SmartJoin& join, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + smart_join_room(0));
    out.resize(start + smart_join_finish(join, out.data() + start));
}

std::string smart_reflow_text(std::string_view text, std::int32_t columns, bool dehyphenate,
                              TextLayout* layout) {
    const SmartScanState scan = start_layout_scan(dehyphenate);
    scan_layout(*scan, text.data(), text.size());
    const TextLayout found = finish_layout(*scan, columns);
    if (layout) *layout = found;
    const SmartJoinState join = start_join(found, dehyphenate ? scan.get() : nullptr);
    std::string out;
    smart_join(*join, text.data(), text.size(), out);
    smart_join_finish(*join, out);
    return out;
}

}  // namespace parafold
