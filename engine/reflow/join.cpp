#include "engine/reflow/join.h"

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace parafold {
namespace {

bool is_sentence_end(char byte) { return byte == '.' || byte == '!' || byte == '"'; }

// The characters of UTF-8 in [first, last): the bytes that do not continue
// one (10xxxxxx).
std::int64_t characters_in(const char* first, const char* last) {
    std::int64_t count = 0;
    for (; first != last; ++first) count += (static_cast<unsigned char>(*first) & 0xC0) != 0x80;
    return count;
}

// The indent that "Kindle Indent" puts before every line written.
constexpr char indent_bytes[] = "     ";
constexpr std::size_t indent_size = sizeof indent_bytes - 1;

// The joiner writes the kept bytes first and decides a line's end when its
// LF arrives, looking back at what the line wrote: its byte count, and its
// last byte other than a space. CR and NUL never reach the output, so that
// byte is the line's last byte other than space, CR and NUL. With Indent,
// it writes kindle_indent's result of what it joins: the indent before the
// first byte of every line written, and no LF for a line with none.
//
// With TwoLines it joins kindle_two_lines's result of what it is given, in
// the same pass. Of that transform only its last byte written matters here
// (state.two_lines_last): CRs never reach the output and do not change
// that byte either, as a run of them is either dropped before an LF or
// followed by a byte that becomes the last; an LF behind an LF is dropped;
// and an LF takes back a space in front of it. So that the space is still
// there to take back, a call that ends in one leaves it out and holds it
// (state.space_held), and the next byte other than CR decides.
template <bool Indent, bool TwoLines>
struct Joiner {
    // A copy, written back when the call ends: the caller's state could be
    // any byte that a write of the output changes, so the compiler would
    // read it again after every byte written.
    JoinState state;
    std::int32_t width;
    bool characters;   // lengths count characters of UTF-8
    char* w;           // next output byte
    char* line_start;  // where the current line's output began in this call
    char* opened = nullptr;  // behind the indent written last in this call

    // What the line wrote in this call counts.
    std::int64_t written() const {
        return characters ? characters_in(line_start, w) : w - line_start;
    }

    // The sentence flag after the bytes [line_start, w): the last byte that
    // is not a space decides; a line of spaces keeps the flag it carried.
    bool sentence_end() const {
        for (const char* q = w; q != line_start;) {
            if (*--q != ' ') return is_sentence_end(*q);
        }
        return state.sentence_end;
    }

    // Before a byte is written: a line written opens with the indent,
    // which the line's count leaves out.
    void open_line() {
        if (!Indent || state.line_open) return;
        for (std::size_t k = 0; k < indent_size; ++k) *w++ = indent_bytes[k];
        line_start = w;
        opened = w;
        state.line_open = true;
    }

    void end_line() {
        const std::int64_t line_bytes = state.line_bytes + written();
        const bool keep_break = line_bytes < width || sentence_end();
        if (!Indent) {
            *w++ = keep_break ? '\n' : ' ';
        } else if (!keep_break) {
            open_line();
            *w++ = ' ';
        } else if (state.line_open) {
            *w++ = '\n';
            state.line_open = false;
        }  // else an empty line written: it vanishes
        state.line_bytes = 0;
        state.sentence_end = false;
        line_start = w;
    }

    // Takes back the space written last, and with it the indent written
    // for it, which opened a line that is left with no byte.
    void unwrite_space() {
        --w;
        if (Indent && w == opened) {
            w -= indent_size;
            line_start = w;
            opened = nullptr;
            state.line_open = false;
        }
    }

    // Writes the space held at the end of the last call: the byte after it
    // is no LF.
    void write_held_space() {
        state.space_held = false;
        open_line();
        *w++ = ' ';
    }

    // After the ordinary bytes [from, to) were copied: the last of them is
    // the last byte that Kindle 2 Lines wrote.
    void copied(const char* from, const char* to) {
        if (TwoLines && to != from) state.two_lines_last = to[-1] == ' ' ? ' ' : '\0';
    }

    void take(char byte) {
        if (byte == '\n') {
            if (TwoLines) {
                if (state.two_lines_last == '\n') return;
                if (state.two_lines_last == ' ') {
                    if (state.space_held) {
                        state.space_held = false;
                    } else {
                        unwrite_space();
                    }
                }
                state.two_lines_last = '\n';
            }
            end_line();
        } else if (byte == '\0') {
            if (TwoLines) state.two_lines_last = '\0';
        } else if (byte != '\r') {
            open_line();
            *w++ = byte;
            if (TwoLines) state.two_lines_last = byte == ' ' ? ' ' : '\0';
        }
    }

    // At the start of a call with a space held: writes it unless the first
    // byte other than CR is an LF, which takes it back, or there is none
    // (it stays held). So no space is held once any other byte is taken.
    void settle_held_space(const char* p, const char* end) {
        if (!TwoLines || !state.space_held) return;
        while (p != end && *p == '\r') ++p;
        if (p != end && *p != '\n') write_held_space();
    }

    // Carries the open line's count and flag into the next call; with
    // TwoLines holds back a space written last.
    void finish() {
        if (TwoLines && state.two_lines_last == ' ' && !state.space_held) {
            unwrite_space();
            state.space_held = true;
        }
        state.sentence_end = sentence_end();
        state.line_bytes += written();
    }
};

template <bool Indent, bool TwoLines>
std::size_t join(JoinState& state, std::int32_t width, const char* in, std::size_t size,
                 char* out, bool characters) {
    Joiner<Indent, TwoLines> joiner{state, width, characters, out, out};
    const char* p = in;
    const char* const end = in + size;
    joiner.settle_held_space(p, end);

#if defined(__SSE2__)
    // Sixty-four bytes at a time, as one mask of the LF, CR and NUL bytes
    // among them: a window with none is copied whole. In a window with
    // some, the ordinary bytes before each special byte are copied with
    // four 16-byte moves, of which only the part up to that byte counts;
    // later writes overwrite the rest. Whole windows and fixed moves keep
    // the branches few and predictable, whatever the lines' lengths. Every
    // load and store stays inside the buffers because a window is only
    // taken with at least window_reach bytes of input left, and the output
    // is never ahead of the input but for a held space written first (with
    // Indent, never ahead of the room join_lines_room gives it).
    constexpr std::ptrdiff_t window = 64;
    constexpr std::ptrdiff_t window_reach = 2 * window;  // a move may start at the window's end
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i nul = _mm_setzero_si128();
    auto special_bits = [&](const char* at) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i special = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(chunk, lf), _mm_cmpeq_epi8(chunk, cr)),
            _mm_cmpeq_epi8(chunk, nul));
        return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(special)));
    };
    auto move64 = [](char* to, const char* from) {
        for (int k = 0; k < 64; k += 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + k),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + k)));
        }
    };
    while (end - p >= window_reach) {
        std::uint64_t mask = special_bits(p) | special_bits(p + 16) << 16 |
                             special_bits(p + 32) << 32 | special_bits(p + 48) << 48;
        unsigned start = 0;
        while (mask != 0) {
            const unsigned at = static_cast<unsigned>(__builtin_ctzll(mask));
            mask &= mask - 1;
            if (at > start) joiner.open_line();
            move64(joiner.w, p + start);
            joiner.w += at - start;
            joiner.copied(p + start, p + at);
            joiner.take(p[at]);
            start = at + 1;
        }
        if (start < window) {
            joiner.open_line();
            move64(joiner.w, p + start);
            joiner.w += window - start;
            joiner.copied(p + start, p + window);
        }
        p += window;
    }
#endif
    for (; p < end; ++p) joiner.take(*p);

    joiner.finish();
    state = joiner.state;
    return static_cast<std::size_t>(joiner.w - out);
}

}  // namespace

std::size_t join_lines(JoinState& state, std::int32_t width, const char* in, std::size_t size,
                       char* out, bool characters, bool indent, bool two_lines) {
    if (two_lines) {
        return indent ? join<true, true>(state, width, in, size, out, characters)
                      : join<false, true>(state, width, in, size, out, characters);
    }
    return indent ? join<true, false>(state, width, in, size, out, characters)
                  : join<false, false>(state, width, in, size, out, characters);
}

std::size_t join_lines_end(JoinState& state, char* out, bool indent) {
    char* w = out;
    if (state.space_held) {
        // Kindle 2 Lines keeps a space that ends the text.
        state.space_held = false;
        if (indent && !state.line_open) {
            for (std::size_t k = 0; k < indent_size; ++k) *w++ = indent_bytes[k];
            state.line_open = true;
        }
        *w++ = ' ';
    }
    if (state.line_open) {
        state.line_open = false;
        *w++ = '\n';  // the last line gets its LF, as kindle_indent gives it
    }
    return static_cast<std::size_t>(w - out);
}

}  // namespace parafold
