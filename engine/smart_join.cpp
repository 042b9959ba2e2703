#include "engine/smart_join.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace parafold {
namespace {

// ------------------------------------------------------------ the lines

// Widths below this are not taken for a wrap width by the estimate.
constexpr std::int32_t narrowest_estimate = 20;
// The estimate looks for the densest band of this many widths: greedy
// wrapping leaves nearly every full line within a long word of the width.
constexpr std::int32_t band_span = 12;
// A line ends "well before the width" with at least this many columns left.
constexpr std::int32_t short_margin = 10;
// The width given to a line longer than `max_line_bytes`.
constexpr std::int32_t long_line_width = 1 << 30;

bool is_blank_byte(char c) { return c == ' ' || c == '\t'; }

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Letters for hyphenation and the vocabulary: ASCII letters and every byte
// of a multi-byte UTF-8 character (or of an 8-bit code page).
bool is_letter(char c) {
    return is_ascii_letter(c) || static_cast<unsigned char>(c) >= 0x80;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string_view trim_right(std::string_view text) {
    while (!text.empty() && is_blank_byte(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view trim_left(std::string_view text) {
    while (!text.empty() && is_blank_byte(text.front())) text.remove_prefix(1);
    return text;
}

// Columns taken by `text` starting at `column`: a tab moves to the next
// multiple of 8; with `utf8` the continuation bytes of a character are free.
std::int64_t advance(std::string_view text, std::int64_t column, bool utf8) {
    for (char c : text) {
        if (c == '\t') {
            column = (column / 8 + 1) * 8;
        } else if (!utf8 || (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return column;
}

// UTF-8 continuation bytes (0x80 to 0xBF): those that do not start a character.
std::uint32_t continuation_bytes(std::string_view text) {
    std::uint32_t count = 0;
    for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) == 0x80;
    return count;
}

// The bits set in `bits`, without a call to a library routine where the
// processor's own count is not allowed for.
std::uint32_t count_bits(std::uint64_t bits) {
    bits -= (bits >> 1) & 0x5555555555555555;
    bits = (bits & 0x3333333333333333) + ((bits >> 2) & 0x3333333333333333);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return static_cast<std::uint32_t>((bits * 0x0101010101010101) >> 56);
}

// What a look at every byte of a line finds. The blanks around a line's
// body are ASCII, so what holds for the line holds for its body; only a
// tab may lie outside it.
struct ByteCensus {
    bool tabs = false;               // a tab somewhere in the line
    bool high = false;               // a byte from 0x80 up: the line is not pure ASCII
    std::uint32_t continuation = 0;  // UTF-8 continuation bytes (0x80 to 0xBF)
};

// Finds the lines of a block sixty-four bytes at a time. Each window of 64
// bytes is read once into masks of one bit a byte: the line ends (LF and
// CR) and, only in a window that has any, the bytes that need a closer look
// (tabs and bytes from 0x80 up), the bytes from 0x80 up and the UTF-8
// continuation bytes. A line's end and its census then come from
// arithmetic on the masks, however many lines share a window, and a pure
// ASCII line without tabs costs nothing beyond finding its end.
class LineScanner {
public:
    LineScanner(const char* data, const char* end) : end_(end) { load(data); }

    // The first LF or CR from `p` on (`end` when there is none); the census
    // of the bytes before it is added to `found`.
    const char* line_end(const char* p, ByteCensus& found) {
        while (p - base_ >= 64) load(base_ + 64);
        std::uint64_t from = ~std::uint64_t{0} << (p - base_);  // the bits from p on
        for (;;) {
            const std::uint64_t stops = stops_ & from;
            if (stops != 0) {
                const std::uint64_t before = (stops & (0 - stops)) - 1;  // below the first stop
                if (unusual_ & from & before) count(from & before, found);
                return base_ + std::countr_zero(stops);
            }
            if (unusual_ & from) count(from, found);
            if (end_ - base_ <= 64) return end_;
            load(base_ + 64);
            from = ~std::uint64_t{0};
        }
    }

private:
    void count(std::uint64_t bits, ByteCensus& found) const {
        const std::uint64_t high = high_ & bits;
        found.tabs |= (unusual_ & ~high_ & bits) != 0;
        if (high != 0) {
            found.high = true;
            found.continuation += count_bits(continuation_ & bits);
        }
    }

    // Once a window, so kept out of line: line_end(), once a line, is then
    // small enough to be inlined into the loop over the lines.
    [[gnu::noinline]] void load(const char* at) {
        base_ = at;
        stops_ = unusual_ = high_ = continuation_ = 0;
#if defined(__SSE2__)
        if (end_ - at >= 64) {
            auto mask = [](__m128i test, int i) {
                return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(test))} << i;
            };
            const __m128i lf = _mm_set1_epi8('\n');
            const __m128i cr = _mm_set1_epi8('\r');
            const __m128i tab = _mm_set1_epi8('\t');
            __m128i chunks[4];
            __m128i unusual[4];
            for (int i = 0; i < 4; ++i) {
                const __m128i chunk =
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * i));
                chunks[i] = chunk;
                const __m128i stop =
                    _mm_or_si128(_mm_cmpeq_epi8(chunk, lf), _mm_cmpeq_epi8(chunk, cr));
                stops_ |= mask(stop, 16 * i);
                // A tab's compare sets all its bits; a high byte has its top bit already.
                unusual[i] = _mm_or_si128(chunk, _mm_cmpeq_epi8(chunk, tab));
            }
            // Most windows of most texts have none: one look at all four.
            if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(unusual[0], unusual[1]),
                                               _mm_or_si128(unusual[2], unusual[3]))) == 0)
                return;
            const __m128i top_bits = _mm_set1_epi8(static_cast<char>(0xC0));
            const __m128i continuation = _mm_set1_epi8(static_cast<char>(0x80));
            for (int i = 0; i < 4; ++i) {
                unusual_ |= mask(unusual[i], 16 * i);
                high_ |= mask(chunks[i], 16 * i);
                continuation_ |=
                    mask(_mm_cmpeq_epi8(_mm_and_si128(chunks[i], top_bits), continuation), 16 * i);
            }
            return;
        }
#endif
        const std::ptrdiff_t n = std::min<std::ptrdiff_t>(end_ - at, 64);
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            const unsigned char u = static_cast<unsigned char>(at[i]);
            stops_ |= std::uint64_t{u == '\n' || u == '\r'} << i;
            unusual_ |= std::uint64_t{u == '\t' || u >= 0x80} << i;
            high_ |= std::uint64_t{u >= 0x80} << i;
            continuation_ |= std::uint64_t{(u & 0xC0) == 0x80} << i;
        }
    }

    const char* base_ = nullptr;  // the window's first byte
    const char* const end_;
    std::uint64_t stops_ = 0;
    std::uint64_t unusual_ = 0;
    std::uint64_t high_ = 0;
    std::uint64_t continuation_ = 0;
};

// The census of a line held whole (it has no line end).
ByteCensus census_of(std::string_view text) {
    ByteCensus found;
    const char* const end = text.data() + text.size();
    if (!text.empty()) LineScanner(text.data(), end).line_end(text.data(), found);
    return found;
}

// A line cut into its indentation and its body, the blanks at its end dropped.
struct LineParts {
    std::string_view body;    // empty for a blank line
    std::int64_t indent = 0;  // columns before the body
    bool tabs = false;        // a tab inside the body
};

[[gnu::always_inline]] inline LineParts parts_of(std::string_view text, const ByteCensus& found) {
    const std::string_view trimmed = trim_right(text);
    LineParts parts;
    parts.body = trim_left(trimmed);
    const std::string_view lead = trimmed.substr(0, trimmed.size() - parts.body.size());
    parts.indent = found.tabs ? advance(lead, 0, false) : static_cast<std::int64_t>(lead.size());
    parts.tabs = found.tabs && std::memchr(parts.body.data(), '\t', parts.body.size()) != nullptr;
    return parts;
}

// The column where the body ends, as advance() counts it; without tabs the
// census gives it without another look at the bytes.
std::int64_t body_end(const LineParts& parts, const ByteCensus& found, bool utf8) {
    if (parts.tabs) return advance(parts.body, parts.indent, utf8);
    return parts.indent +
           static_cast<std::int64_t>(parts.body.size() - (utf8 ? found.continuation : 0));
}

std::int32_t clamp_width(std::int64_t width) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(width, long_line_width));
}

bool valid_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        // Runs of ASCII go eight bytes at a time.
        std::uint64_t eight;
        if (i + 8 <= text.size() &&
            (std::memcpy(&eight, text.data() + i, 8), (eight & 0x8080808080808080) == 0)) {
            i += 8;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const std::size_t extra = c >= 0xC2 && c < 0xE0   ? 1
                                  : c >= 0xE0 && c < 0xF0 ? 2
                                  : c >= 0xF0 && c < 0xF5 ? 3
                                                          : 0;
        if (extra == 0 || i + extra >= text.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

// "12. " or "3) " opens a numbered item; "- ", "* ", "+ " or "• " a bullet.
ListMarker list_marker_of(std::string_view text) {
    // Most lines start with a letter: no marker starts that way.
    if (!text.empty() && is_ascii_letter(text[0])) return ListMarker::none;
    auto spaced = [&](std::size_t at) { return at < text.size() && is_blank_byte(text[at]); };
    std::size_t digits = 0;
    while (digits < text.size() && digits < 4 && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    if (digits >= 1 && digits <= 3 && digits < text.size() &&
        (text[digits] == '.' || text[digits] == ')') && spaced(digits + 1))
        return ListMarker::number;
    if (!text.empty() && (text[0] == '-' || text[0] == '*' || text[0] == '+') && spaced(1))
        return ListMarker::bullet;
    if (text.substr(0, 3) == "\xE2\x80\xA2" && spaced(3)) return ListMarker::bullet;
    return ListMarker::none;
}

// Where the first word of a body (its first byte not blank) ends: at the
// next space or tab, or at the body's end.
std::size_t first_word_end(std::string_view body) {
    std::size_t end = 1;
#if defined(__SSE2__)
    // A body of at least 16 bytes has its first word found in one step,
    // unless the word is longer than that.
    if (body.size() >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(body.data()));
        const __m128i blank = _mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(' ')),
                                           _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\t')));
        const unsigned blanks = static_cast<unsigned>(_mm_movemask_epi8(blank));
        if (blanks != 0) return static_cast<std::size_t>(std::countr_zero(blanks));
        end = 16;
    }
#endif
    while (end < body.size() && !is_blank_byte(body[end])) ++end;
    return end;
}

// Inlined into the join's loop: the facts are built where they are kept.
[[gnu::always_inline]] inline LineFacts measure_line(std::string_view text,
                                                     const ByteCensus& found, bool utf8) {
    LineFacts facts;
    const LineParts parts = parts_of(text, found);
    const std::string_view body = parts.body;
    if (body.empty()) return facts;
    facts.blank = false;
    facts.indent = clamp_width(parts.indent);
    facts.width = clamp_width(body_end(parts, found, utf8));
    const std::string_view word = body.substr(0, first_word_end(body));
    const std::size_t word_continuation = utf8 && found.high ? continuation_bytes(word) : 0;
    facts.first_word = clamp_width(static_cast<std::int64_t>(word.size() - word_continuation));
    facts.list_marker = list_marker_of(body);
    facts.starts_letter = is_letter(body[0]);
    const std::size_t n = body.size();
    facts.hyphen_end = n >= 2 && body[n - 1] == '-' && is_letter(body[n - 2]);
    return facts;
}

// Feeds the lines of a stream to a sink with four calls:
//   line(text, census, has_end)  a whole line of at most max_line_bytes bytes;
//   long_head(text)      the first max_line_bytes bytes of a longer line,
//   long_rest(bytes)     then the rest of it, in pieces,
//   long_end(has_end)    then its end.
// `has_end` is false for a last line that the input ends without a line end.
template <class Sink>
void add_to_open_line(LineCutter& cutter, std::string_view bytes, Sink& sink) {
    if (cutter.overflowing) {
        if (!bytes.empty()) sink.long_rest(bytes);
        return;
    }
    const std::size_t room = max_line_bytes - cutter.open.size();
    if (bytes.size() <= room) {
        cutter.open.append(bytes);
        return;
    }
    cutter.open.append(bytes.substr(0, room));
    sink.long_head(cutter.open);
    cutter.open.clear();
    cutter.overflowing = true;
    sink.long_rest(bytes.substr(room));
}

template <class Sink>
void end_open_line(LineCutter& cutter, bool has_end, Sink& sink) {
    if (cutter.overflowing) {
        sink.long_end(has_end);
        cutter.overflowing = false;
    } else if (has_end || !cutter.open.empty()) {
        sink.line(cutter.open, census_of(cutter.open), has_end);
    }
    cutter.open.clear();
}

template <class Sink>
void cut_lines(LineCutter& cutter, const char* data, std::size_t size, Sink& sink) {
    const char* p = data;
    const char* const end = data + size;
    if (cutter.after_cr && p < end) {
        if (*p == '\n') ++p;
        cutter.after_cr = false;
    }
    if (p == end) return;
    LineScanner scanner(p, end);
    while (p < end) {
        ByteCensus found;
        const char* const stop = scanner.line_end(p, found);
        const std::string_view bytes(p, static_cast<std::size_t>(stop - p));
        if (stop == end) {
            add_to_open_line(cutter, bytes, sink);
            break;
        }
        // A line wholly inside the block goes to the sink without a copy.
        if (cutter.open.empty() && !cutter.overflowing && bytes.size() <= max_line_bytes) {
            sink.line(bytes, found, true);
        } else {
            add_to_open_line(cutter, bytes, sink);
            end_open_line(cutter, true, sink);
        }
        p = stop + 1;
        if (*stop == '\r') {
            if (p == end) {
                cutter.after_cr = true;
            } else if (*p == '\n') {
                ++p;
            }
        }
    }
}

// ------------------------------------------------------------ first pass

// Adds the words of `text` to the vocabulary: runs of letters, lower-cased,
// of at most `longest_word` bytes.
void add_words(Vocabulary& vocabulary, std::string_view text) {
    constexpr std::size_t longest_word = 64;
    char word[longest_word];
    std::size_t i = 0;
    while (i < text.size()) {
        if (!is_letter(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < text.size() && is_letter(text[i])) ++i;
        if (i - start > longest_word) continue;
        for (std::size_t k = start; k < i; ++k) word[k - start] = lower(text[k]);
        const std::string_view found(word, i - start);
        if (!vocabulary.contains(found)) vocabulary.emplace(found);
    }
}

struct ScanSink {
    LayoutScan& scan;

    void tally(std::string_view text, const ByteCensus& found, bool is_long) {
        const LineParts parts = parts_of(text, found);
        const std::string_view body = parts.body;
        if (body.empty()) return;
        if (scan.vocabulary) add_words(*scan.vocabulary, body);
        if (scan.words_only) return;
        ++scan.lines;
        ++scan.indents[std::min<std::int64_t>(parts.indent, 64)];
        // A line of one word says nothing of the width: it could not be
        // wrapped, however long it is.
        if (!parts.tabs && std::memchr(body.data(), ' ', body.size()) == nullptr) return;
        ++scan.measured;
        if (is_long) {
            ++scan.byte_widths[max_tallied_width];
            ++scan.char_widths[max_tallied_width];
            return;
        }
        const std::int64_t bytes = body_end(parts, found, false);
        ++scan.byte_widths[std::min<std::int64_t>(bytes, max_tallied_width)];
        std::int64_t chars = bytes;
        if (found.high) {
            scan.any_non_ascii = true;
            if (scan.valid_utf8 && !valid_utf8(body)) scan.valid_utf8 = false;
            chars = body_end(parts, found, true);
        }
        ++scan.char_widths[std::min<std::int64_t>(chars, max_tallied_width)];
    }

    void line(std::string_view text, const ByteCensus& found, bool) { tally(text, found, false); }
    void long_head(std::string_view text) { tally(text, census_of(text), true); }
    void long_rest(std::string_view) {}
    void long_end(bool) {}
};

// ----------------------------------------------------------- second pass

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
    while (start > 0 && is_letter(a[start - 1])) --start;
    b = trim_left(b);
    std::size_t stop = 0;
    while (stop < b.size() && is_letter(b[stop])) ++stop;
    word.clear();
    for (char c : a.substr(start, a.size() - 1 - start)) word += lower(c);
    for (char c : b.substr(0, stop)) word += lower(c);
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

struct JoinSink {
    SmartJoin& join;
    Output& out;

    // Writes the pending line and what stands between it and the next line
    // `b`; says whether `b` was joined to it.
    bool settle_pending(const LineFacts& b, std::string_view b_text) {
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
        if (join.pending_joined) a = trim_left(a);
        if (keep) {
            out.put(a);
            out.put('\n');
            return false;
        }
        a = trim_right(a);
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
    bool take(const LineFacts& b, std::string_view b_text) {
        bool joined = false;
        join.next_ended_early = false;
        if (join.have_pending) joined = settle_pending(b, b_text);
        join.pending_ended_early = join.next_ended_early;
        join.pending = b;
        join.have_pending = true;
        join.pending_joined = joined;
        return joined;
    }

    void line(std::string_view text, const ByteCensus& found, bool has_end) {
        take(measure_line(text, found, join.layout.utf8), text);
        // A line inside the caller's block is kept as a view until the
        // block ends (see smart_join); one from the cutter's buffer is copied.
        if (text.data() == join.cutter.open.data()) {
            join.pending_text.assign(text);
            join.pending_view = join.pending_text;
        } else {
            join.pending_view = text;
        }
        join.pending_long = false;
        join.pending_has_end = has_end;
    }

    void long_head(std::string_view text) {
        LineFacts b = measure_line(text, census_of(text), join.layout.utf8);
        b.width = long_line_width;
        b.hyphen_end = false;
        const bool joined = take(b, text);
        out.put(joined ? trim_left(text) : text);
        join.pending_view = {};
        join.pending_long = true;
    }

    void long_rest(std::string_view bytes) { out.put(bytes); }
    void long_end(bool has_end) { join.pending_has_end = has_end; }
};

}  // namespace

void scan_layout(LayoutScan& scan, const char* data, std::size_t size) {
    ScanSink sink{scan};
    cut_lines(scan.cutter, data, size, sink);
}

TextLayout finish_layout(LayoutScan& scan, std::int32_t columns) {
    ScanSink sink{scan};
    end_open_line(scan.cutter, false, sink);

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

std::size_t smart_join(SmartJoin& join, const char* data, std::size_t size, char* out) {
    Output output{out};
    JoinSink sink{join, output};
    cut_lines(join.cutter, data, size, sink);
    // The block goes away: keep the pending line's own copy.
    if (join.pending_view.data() != join.pending_text.data()) {
        join.pending_text.assign(join.pending_view);
        join.pending_view = join.pending_text;
    }
    return static_cast<std::size_t>(output.w - out);
}

std::size_t smart_join_finish(SmartJoin& join, char* out) {
    Output output{out};
    JoinSink sink{join, output};
    end_open_line(join.cutter, false, sink);
    if (join.have_pending) {
        if (!join.pending_long) {
            const std::string_view text = join.pending_view;
            output.put(join.pending_joined ? trim_left(text) : text);
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
    Vocabulary vocabulary;
    LayoutScan scan;
    if (dehyphenate) scan.vocabulary = &vocabulary;
    scan_layout(scan, text.data(), text.size());
    SmartJoin join;
    join.layout = finish_layout(scan, columns);
    if (dehyphenate) join.vocabulary = &vocabulary;
    if (layout) *layout = join.layout;
    std::string out;
    smart_join(join, text.data(), text.size(), out);
    smart_join_finish(join, out);
    return out;
}

}  // namespace parafold
