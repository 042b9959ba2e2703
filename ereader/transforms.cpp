#include "ereader/transforms.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace parafold {
namespace {

// The first `c` in [first, last), or last. Looks at a few bytes itself before
// it calls memchr, which costs more than it saves on short distances.
const char* find_byte(const char* first, const char* last, char c) {
    const char* const near_end = last - first > 16 ? first + 16 : last;
    for (; first < near_end; ++first) {
        if (*first == c) return first;
    }
    if (first == last) return last;
    const void* found = std::memchr(first, c, static_cast<std::size_t>(last - first));
    return found != nullptr ? static_cast<const char*>(found) : last;
}

// The first p in [first, last) where p[0] == a and p[1] == b, or last. Looking
// for two bytes at once passes over far fewer false starts than looking for
// the first alone.
const char* find_pair(const char* first, const char* last, char a, char b) {
#if defined(__SSE2__)
    const __m128i want_a = _mm_set1_epi8(a);
    const __m128i want_b = _mm_set1_epi8(b);
    for (; last - first >= 17; first += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 1));
        const unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(here, want_a), _mm_cmpeq_epi8(next, want_b))));
        if (hits != 0) return first + std::countr_zero(hits);
    }
#endif
    for (; last - first >= 2; ++first) {
        if (first[0] == a && first[1] == b) return first;
    }
    return last;
}

// Copies [first, last) to `out` and returns the end of the copy. Short runs
// are copied by hand, where a call to memcpy would cost more than the bytes.
char* put(const char* first, const char* last, char* out) {
    const std::size_t n = static_cast<std::size_t>(last - first);
    if (n > 16) {
        std::memcpy(out, first, n);
        return out + n;
    }
    for (std::size_t i = 0; i < n; ++i) out[i] = first[i];
    return out + n;
}

// Calls found(at) for every occurrence of `search` (not empty) in `text`,
// left to right and never overlapping: after an occurrence the scan starts
// again just behind it. Knuth-Morris-Pratt keeps the scan linear whatever
// the search text; while nothing is matched, the scan jumps straight to the
// next place where the search text's first one or two bytes stand.
template <typename Found>
void for_each_occurrence(std::string_view text, std::string_view search, Found found) {
    const std::size_t m = search.size();
    // border[k]: length of the longest proper border of the first k bytes.
    std::vector<std::size_t> border(m + 1, 0);
    for (std::size_t k = 1, b = 0; k < m; ++k) {
        while (b > 0 && search[k] != search[b]) b = border[b];
        if (search[k] == search[b]) ++b;
        border[k + 1] = b;
    }

    const char* const data = text.data();
    const std::size_t n = text.size();
    std::size_t matched = 0;
    for (std::size_t i = 0; i < n;) {
        if (matched == 0) {
            const char* start = m == 1 ? find_byte(data + i, data + n, search[0])
                                       : find_pair(data + i, data + n, search[0], search[1]);
            i = static_cast<std::size_t>(start - data);
            if (i == n) return;
        }
        const char c = data[i++];
        while (matched > 0 && c != search[matched]) matched = border[matched];
        if (c == search[matched]) ++matched;
        if (matched == m) {
            found(i - m);
            matched = 0;
        }
    }
}

// A delimiter set as a table of bytes, plus the byte itself when the set
// holds only one, so that memchr can look for it.
struct Delimiters {
    std::array<bool, 256> is_delimiter{};
    int only = -1;
};

Delimiters delimiters_of(std::string_view bytes) {
    Delimiters set;
    for (const char d : bytes) set.is_delimiter[static_cast<unsigned char>(d)] = true;
    if (!bytes.empty() && bytes.find_first_not_of(bytes[0]) == std::string_view::npos) {
        set.only = static_cast<unsigned char>(bytes[0]);
    }
    return set;
}

// Calls token(piece) for every non-empty run of bytes between delimiters.
template <typename Token>
void for_each_token(std::string_view text, const Delimiters& set, Token token) {
    const char* start = text.data();
    const char* const end = start + text.size();
    const auto emit = [&](const char* stop) {
        if (stop > start) token(std::string_view(start, static_cast<std::size_t>(stop - start)));
        start = stop + 1;
    };
    if (set.only >= 0) {
        while (start < end) emit(find_byte(start, end, static_cast<char>(set.only)));
        return;
    }
    for (const char* p = start; p < end; ++p) {
        if (set.is_delimiter[static_cast<unsigned char>(*p)]) emit(p);
    }
    emit(end);
}

constexpr std::string_view kIndent = "     ";

// Writes the indent at `o` and returns its end; a copy of fixed size, which
// compiles to a store or two where a call would cost more than the bytes.
char* put_indent(char* o) {
    std::memcpy(o, kIndent.data(), kIndent.size());
    return o + kIndent.size();
}

#if defined(__SSE2__)
__m128i load(const char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

void store(char* o, __m128i bytes) { _mm_storeu_si128(reinterpret_cast<__m128i*>(o), bytes); }

// Bit i set where byte i of `bytes` is `c`.
unsigned where(__m128i bytes, char c) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
}

std::size_t sum_of_bytes(__m128i bytes) {
    const __m128i halves = _mm_sad_epu8(bytes, _mm_setzero_si128());
    return static_cast<std::size_t>(_mm_cvtsi128_si32(halves)) +
           static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(halves, 8)));
}
#endif

// kindle_two_lines a byte at a time from `p`, writing at `o` (the result
// starts at `out`), until `p` has passed `stop`; returns where it stopped,
// which is never inside a run of CRs. A run of CRs is dropped when an LF
// ends it and kept otherwise; an LF is dropped behind a written LF, and takes
// back a space in front of it. Its branches cost little where the text is
// regular, however dense its line breaks.
const char* two_lines_bytes(const char* p, const char* stop, const char* end, char*& result_end,
                            const char* out) {
    // A local pointer: one behind a reference would be read again after
    // every byte written, since a char may be any object's byte.
    char* o = result_end;
    while (p < stop) {
        const char c = *p;
        if (c == '\r') {
            const char* run_end = p + 1;
            while (run_end < end && *run_end == '\r') ++run_end;
            if (run_end == end || *run_end != '\n') o = std::copy(p, run_end, o);
            p = run_end;
            continue;
        }
        ++p;
        if (c == '\n') {
            if (o != out && o[-1] == '\n') continue;
            if (o != out && o[-1] == ' ') --o;
        }
        *o++ = c;
    }
    result_end = o;
    return p;
}

// The first byte from `p` on that is not LF, or `end`.
const char* skip_lfs(const char* p, const char* end) {
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) {
        const unsigned others = ~where(load(p), '\n') & 0xFFFFu;
        if (others != 0) return p + std::countr_zero(others);
    }
#endif
    while (p < end && *p == '\n') ++p;
    return p;
}

#if defined(__SSE2__)
// The byte written last at `o`; before the first, NUL, which neither
// continues a run of line breaks nor is taken back.
char last_written(const char* o, const char* out) { return o != out ? o[-1] : '\0'; }

// What a run of CRs and LFs leaves, written at `o` (the result starts at
// `out`): with an LF in it, one LF, unless the byte written last is an LF
// already, and that LF takes back a space in front of it; then the CRs behind
// its last LF, `crs_kept` of them (all of the run when it has no LF).
char* collapse_run(char* o, const char* out, bool has_lf, std::size_t crs_kept) {
    const char last = last_written(o, out);
    if (has_lf && last != '\n') {
        if (last == ' ') --o;
        *o++ = '\n';
    }
    return crs_kept == 0 ? o : std::fill_n(o, crs_kept, '\r');
}

// The end of the run of CRs and LFs that starts at `p`, with `last_lf` set to
// its last LF (left alone when it has none).
const char* end_of_breaks(const char* p, const char* end, const char*& last_lf) {
    for (; end - p >= 16; p += 16) {
        const __m128i chunk = load(p);
        const unsigned lfs = where(chunk, '\n');
        const unsigned others = ~(lfs | where(chunk, '\r')) & 0xFFFFu;
        // The bits in front of the first other byte: the part of the run here.
        const unsigned in_run = others != 0 ? (others & (0u - others)) - 1 : 0xFFFFu;
        if ((lfs & in_run) != 0) last_lf = p + std::bit_width(lfs & in_run) - 1;
        if (others != 0) return p + std::countr_zero(others);
    }
    for (; p < end && (*p == '\r' || *p == '\n'); ++p) {
        if (*p == '\n') last_lf = p;
    }
    return p;
}

// Copies 16 bytes from `from` to `o`. Used for a shorter stretch too, whose
// stray bytes behind it are overwritten by what is written next.
void copy16(const char* from, char* o) { store(o, load(from)); }

// kindle_two_lines over whole 16-byte chunks from `p`, writing at `o`: every
// run of CRs and LFs that ends inside its chunk is collapsed right there from
// the chunk's bit masks, so a chunk is loaded once, whatever it holds, and the
// next chunk's address never waits for this one's bytes. Stops where fewer
// than 32 bytes are left, or at a run that reaches its chunk's end (it may go
// on for long), and returns there. From a chunk with three runs or more on,
// the next 256 bytes go through two_lines_bytes instead, which is faster on
// texts so dense with line breaks when they are regular, and no slower when
// they are not; so many bytes at once, that its loop rarely ends. So a chunk
// never starts
// inside a run of line breaks, but right behind an LF or at the LF that
// dropped the CRs in front of it, where collapsing the rest of the run gives
// what collapsing all of it would.
//
// A run is collapsed as collapse_run does, but without branches, which a
// text dense with line breaks would mispredict: the LF and a chunk of CRs are
// stored whatever happens, and `o` moves on over as many as are kept. The
// room for that is there, as the result is at most as far as the text read.
const char* two_lines_chunks(const char* p, const char* end, char*& result_end,
                             const char* out) {
    const __m128i crs = _mm_set1_epi8('\r');
    char* o = result_end;  // local, as in two_lines_bytes
    for (; end - p >= 32; p += 16) {
        const __m128i chunk = load(p);
        const unsigned lfs = where(chunk, '\n');
        const unsigned breaks = lfs | where(chunk, '\r');
        if (breaks == 0) {
            store(o, chunk);
            o += 16;
            continue;
        }
        // The first byte of each run, and the first byte behind each run that
        // ends in the chunk; all found at once, then taken in turn.
        unsigned firsts = breaks & ~(breaks << 1);
        unsigned afters = ~breaks & (breaks << 1) & 0xFFFFu;
        const unsigned but_first = firsts & (firsts - 1);
        if ((but_first & (but_first - 1)) != 0) {  // three runs or more
            const char* const stop = p + std::min<std::ptrdiff_t>(256, end - p);
            result_end = o;
            p = two_lines_bytes(p, stop, end, result_end, out) - 16;  // the loop adds 16
            o = result_end;
            continue;
        }
        const bool last_run_open = (breaks & 0x8000u) != 0;
        alignas(16) char bytes[16];
        store(bytes, chunk);
        int done = 0;  // the chunk's bytes in front of `done` are written
        for (; afters != 0; firsts &= firsts - 1, afters &= afters - 1) {
            const int first = std::countr_zero(firsts);
            const int after = std::countr_zero(afters);
            copy16(p + done, o);
            o += first - done;
            // Runs are apart, so the byte in front of a run is a plain byte of
            // the chunk, written as it is, unless the run starts the chunk.
            const char last = first > 0 ? bytes[(first - 1) & 15] : last_written(o, out);
            const unsigned run_lfs = lfs & ((1u << after) - (1u << first));
            const bool has_lf = run_lfs != 0;
            const bool lf_written = has_lf && last != '\n';
            o -= lf_written && last == ' ';
            *o = '\n';
            o += lf_written;
            const int crs_kept = after - (has_lf ? std::bit_width(run_lfs) : first);
            store(o, crs);
            o += crs_kept;
            done = after;
        }
        if (last_run_open) {
            const int first = std::countr_zero(firsts);
            copy16(p + done, o);
            result_end = o + (first - done);
            return p + first;
        }
        copy16(p + done, o);
        o += 16 - done;
    }
    result_end = o;
    return p;
}

// kindle_indent over whole 16-byte chunks from `p`, writing at `o` while
// `room_end` leaves room. `line_open` tells whether the last byte written
// belongs to a line whose LF is still to come. Returns where it stopped.
// Like two_lines_chunks, it stores an indent and an LF whatever happens and
// moves `o` on over them only when they are wanted.
const char* indent_chunks(const char* p, const char* end, char*& result_end,
                          const char* room_end, bool& line_open) {
    const __m128i spaces = _mm_set1_epi8(' ');
    char* o = result_end;  // local, as in two_lines_bytes
    bool open = line_open;
    // A chunk writes at most its 16 bytes and 8 indents, and a store reaches
    // at most 16 bytes beyond where it starts.
    constexpr auto chunk_room = static_cast<std::ptrdiff_t>(16 + 8 * kIndent.size() + 16);
    for (; end - p >= 32 && room_end - o >= chunk_room; p += 16) {
        const __m128i chunk = load(p);
        const unsigned lfs = where(chunk, '\n');
        if (lfs == 0 && open) {
            store(o, chunk);
            o += 16;
            continue;
        }
        // An LF in front ends the line the chunk before left open.
        *o = '\n';
        o += open && (lfs & 1u) != 0;
        // Each stretch of bytes other than LF: the rest of the open line if
        // it starts the chunk, else an indented new line; ended by an LF
        // unless it reaches the chunk's end (bit 16 of `stops`).
        const unsigned others = ~lfs & 0xFFFFu;
        unsigned firsts = others & ~(others << 1);
        unsigned stops = (lfs & (others << 1)) | ((others & 0x8000u) << 1);
        for (; firsts != 0; firsts &= firsts - 1, stops &= stops - 1) {
            const int first = std::countr_zero(firsts);
            const int stop = std::countr_zero(stops);
            store(o, spaces);
            o += (first > 0 || !open) ? kIndent.size() : 0;
            copy16(p + first, o);
            o += stop - first;
            *o = '\n';
            o += stop < 16;
        }
        open = (lfs & 0x8000u) == 0;
    }
    result_end = o;
    line_open = open;
    return p;
}
#endif

// The repeated passes of kindle_two_lines have these fixed points, reached
// here in one pass that writes each byte once. Take a run of CRs and LFs, all
// of it up to the next other byte:
//   - a run without an LF stays as it is;
//   - in a run with LFs, every CR up to the last LF ends at an LF and goes,
//     and the LFs collapse to one LF, dropped if the byte written last is an
//     LF too; the CRs after the last LF stay;
//   - a space right in front of a written LF is taken back, one per LF.
// The last written byte is always the last byte of the collapsed text, since
// a space is only taken back for an LF that replaces it, so it alone decides
// whether an LF continues a run.
//
// Writes the result from `o` on and returns its end. `out` is where the
// result starts: out[0] may hold the byte written before this text (see
// kindle_two_lines for a stream), which a run then treats as the byte
// written last. There is room for text.size() bytes from `o`; the result
// never gets ahead of the text, so the chunk stores, which reach no further
// ahead of the result than the chunk loads read ahead in the text, stay
// inside that room.
char* two_lines_into(std::string_view text, const char* const out, char* o) {
    const char* p = text.data();
    const char* const end = p + text.size();
#if defined(__SSE2__)
    for (;;) {
        p = two_lines_chunks(p, end, o, out);
        if (end - p < 32) break;  // the byte loop does the last few
        // A run that reached its chunk's end: found whole, however long.
        const char* last_lf = nullptr;
        const char* const run_end = end_of_breaks(p, end, last_lf);
        const char* const crs_from = last_lf != nullptr ? last_lf + 1 : p;
        o = collapse_run(o, out, last_lf != nullptr, static_cast<std::size_t>(run_end - crs_from));
        p = run_end;
    }
#endif
    two_lines_bytes(p, end, end, o, out);
    return o;
}

// The size of kindle_indent(text): every LF goes, and every non-empty line
// gains the indent and an LF. A line starts where a byte other than LF stands
// first or behind an LF. A size too large for a string is given as npos, so
// that asking for it fails instead of wrapping round to a small buffer.
std::size_t indent_size(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    if (p == end) return 0;
    std::size_t lfs = *p == '\n' ? 1 : 0;
    std::size_t starts = 1 - lfs;
    ++p;
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        // Counters of one byte each: a hit is a byte of all ones, -1, so
        // subtracting it counts one. They are summed before any can wrap.
        __m128i lf_counts = _mm_setzero_si128();
        __m128i start_counts = _mm_setzero_si128();
        const auto chunks = std::min<std::size_t>(255, static_cast<std::size_t>(end - p) / 16);
        for (const char* const stop = p + 16 * chunks; p < stop; p += 16) {
            const __m128i here = _mm_cmpeq_epi8(load(p), lf);
            const __m128i behind = _mm_cmpeq_epi8(load(p - 1), lf);
            lf_counts = _mm_sub_epi8(lf_counts, here);
            start_counts = _mm_sub_epi8(start_counts, _mm_andnot_si128(here, behind));
        }
        lfs += sum_of_bytes(lf_counts);
        starts += sum_of_bytes(start_counts);
    }
#endif
    for (; p < end; ++p) {
        if (*p == '\n') {
            ++lfs;
        } else if (p[-1] == '\n') {
            ++starts;
        }
    }
    const std::size_t kept = text.size() - lfs;
    constexpr std::size_t added = kIndent.size() + 1;
    if (starts > (std::string::npos - kept) / added) return std::string::npos;
    return kept + starts * added;
}

// Writes kindle_indent's result for `text` at `o`, with `room_end` the end
// of the room, and returns its end. `line_open` tells whether the byte
// written last belongs to a line whose LF is still to come, before and
// after: the last line's LF is left to the caller.
char* indent_into(std::string_view text, char* o, const char* room_end, bool& line_open) {
    const char* p = text.data();
    const char* const end = p + text.size();
#if defined(__SSE2__)
    p = indent_chunks(p, end, o, room_end, line_open);
#else
    (void)room_end;
#endif
    while (p < end) {
        if (*p != '\n') {
            if (!line_open) o = put_indent(o);
            line_open = true;
            *o++ = *p++;
            continue;
        }
        if (line_open) *o++ = '\n';
        line_open = false;
        p = skip_lfs(p, end);  // empty lines vanish
    }
    return o;
}

// A space or an LF as the byte written last, which is all a stream of
// kindle_two_lines needs to know of what it wrote.
char last_that_counts(char byte) { return byte == '\n' || byte == ' ' ? byte : '\0'; }

}  // namespace

std::string replace_all(std::string_view text, std::string_view search,
                        std::string_view replacement) {
    // Ignore an empty search text: it would match everywhere without end.
    if (search == replacement || search.empty()) return std::string(text);

    // Allocate the result once: the text's size when it cannot grow, else the
    // exact size, counting the occurrences first.
    std::size_t size = text.size();
    if (replacement.size() > search.size()) {
        std::size_t count = 0;
        if (search.size() == 1) {
            count = static_cast<std::size_t>(std::count(text.begin(), text.end(), search[0]));
        } else {
            for_each_occurrence(text, search, [&](std::size_t) { ++count; });
        }
        size += count * (replacement.size() - search.size());
    }
    std::string out(size, '\0');
    char* o = out.data();
    const char* copied = text.data();
    for_each_occurrence(text, search, [&](std::size_t at) {
        o = put(copied, text.data() + at, o);
        o = put(replacement.data(), replacement.data() + replacement.size(), o);
        copied = text.data() + at + search.size();
    });
    o = put(copied, text.data() + text.size(), o);
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

std::vector<std::string> split_on_any(std::string_view text, std::string_view delimiters) {
    const Delimiters set = delimiters_of(delimiters);
    std::size_t count = 0;
    for_each_token(text, set, [&](std::string_view) { ++count; });
    std::vector<std::string> tokens;
    tokens.reserve(count);
    for_each_token(text, set,
                   [&](std::string_view token) { tokens.emplace_back(token); });
    return tokens;
}

StreamStep kindle_two_lines(TwoLinesStream& stream, std::string_view piece, char* out,
                            std::size_t room) {
    if (stream.crs > 0) {
        // The first byte other than CR settles the CRs held back: an LF
        // drops them, any other byte keeps them, behind a held space.
        const std::size_t settled_by = piece.find_first_not_of('\r');
        if (settled_by == std::string_view::npos) {
            stream.crs += piece.size();
            return {piece.size(), {}};
        }
        if (piece[settled_by] != '\n') {
            char* o = out;
            if (stream.last == ' ') *o++ = ' ';
            const auto crs = static_cast<std::size_t>(
                std::min<std::uint64_t>(stream.crs, room - static_cast<std::size_t>(o - out)));
            o = std::fill_n(o, crs, '\r');
            stream.crs -= crs;
            stream.last = '\0';
            return {0, {out, static_cast<std::size_t>(o - out)}};
        }
        stream.crs = 0;
    }
    piece = piece.substr(0, std::min(piece.size(), room - 1));
    // CRs that end the piece wait for the byte that settles them.
    std::size_t body = piece.size();
    while (body > 0 && piece[body - 1] == '\r') --body;
    stream.crs = piece.size() - body;
    // out[0] stands for the byte written last: a held space is written
    // there, to be kept or taken back; anything else is no part of the result.
    const char before = stream.last;
    out[0] = before;
    char* const from = out + (before == ' ' ? 0 : 1);
    char* o = two_lines_into(piece.substr(0, body), out, out + 1);
    if (o > from) {
        stream.last = last_that_counts(o[-1]);
        if (o[-1] == ' ') --o;  // held back: an LF may take it back
    }
    return {piece.size(), {from, static_cast<std::size_t>(std::max(o, from) - from)}};
}

std::string_view kindle_two_lines_end(TwoLinesStream& stream, char* out, std::size_t room) {
    char* o = out;
    if (stream.last == ' ') *o++ = ' ';
    stream.last = '\0';
    const auto crs = static_cast<std::size_t>(
        std::min<std::uint64_t>(stream.crs, room - static_cast<std::size_t>(o - out)));
    o = std::fill_n(o, crs, '\r');
    stream.crs -= crs;
    return {out, static_cast<std::size_t>(o - out)};
}

std::string kindle_two_lines(std::string_view text) {
    // Never longer than the text; one step takes all of it, and what the
    // stream holds at the end fits behind it.
    std::string out(text.size() + 1, '\0');
    TwoLinesStream stream;
    const std::string_view body = kindle_two_lines(stream, text, out.data(), out.size()).result;
    out.erase(0, static_cast<std::size_t>(body.data() - out.data()));
    out.resize(body.size());
    const std::size_t size = out.size();
    out.resize(text.size() + 1);
    const std::string_view rest =
        kindle_two_lines_end(stream, out.data() + size, out.size() - size);
    out.resize(size + rest.size());
    return out;
}

StreamStep kindle_indent(IndentStream& stream, std::string_view piece, char* out,
                         std::size_t room) {
    piece = piece.substr(0, std::min(piece.size(), (room - 8) / 4));
    const char* const end = indent_into(piece, out, out + room, stream.line_open);
    return {piece.size(), {out, static_cast<std::size_t>(end - out)}};
}

std::string_view kindle_indent_end(IndentStream& stream, char* out) {
    if (!stream.line_open) return {};
    stream.line_open = false;
    out[0] = '\n';
    return {out, 1};
}

std::string kindle_indent(std::string_view text) {
    std::string out(indent_size(text), '\0');
    bool line_open = false;
    char* const end = indent_into(text, out.data(), out.data() + out.size(), line_open);
    if (line_open) *end = '\n';  // the last line gets one too
    return out;
}

}  // namespace parafold
