#include "engine/join.h"

#include <cstring>

namespace parafold {
namespace {

bool is_sentence_end(unsigned char byte) { return byte == '.' || byte == '!' || byte == '"'; }

// The position of the next `byte` at or after `from`, or `end` when none.
const char* next_of(const char* from, const char* end, char byte) {
    const void* found = std::memchr(from, byte, static_cast<std::size_t>(end - from));
    return found ? static_cast<const char*>(found) : end;
}

}  // namespace

std::size_t join_lines(JoinState& state, std::int32_t width, const char* in, std::size_t size,
                       char* out) {
    const char* p = in;
    const char* const end = in + size;
    char* w = out;

    // The next LF, CR and NUL, each found once and kept until it is passed:
    // text with no NUL costs one scan of the block for it, not one per line.
    const char* next_lf = next_of(p, end, '\n');
    const char* next_cr = next_of(p, end, '\r');
    const char* next_nul = next_of(p, end, '\0');

    while (p < end) {
        const char* stop = next_lf;
        if (next_cr < stop) stop = next_cr;
        if (next_nul < stop) stop = next_nul;

        // [p, stop) holds ordinary bytes only: copy them as one run.
        if (stop > p) {
            // Trailing spaces leave the flag as it was; the last other byte
            // decides. Read it before the run is moved over itself.
            const char* last = stop - 1;
            while (last >= p && *last == ' ') --last;
            if (last >= p) state.sentence_end = is_sentence_end(static_cast<unsigned char>(*last));
            const std::size_t run = static_cast<std::size_t>(stop - p);
            if (w != p) std::memmove(w, p, run);
            w += run;
            state.line_bytes += static_cast<std::int64_t>(run);
        }
        if (stop == end) break;

        if (stop == next_lf) {
            const bool keep_break = state.line_bytes < width || state.sentence_end;
            *w++ = keep_break ? '\n' : ' ';
            state = JoinState{};
            next_lf = next_of(stop + 1, end, '\n');
        } else if (stop == next_cr) {
            next_cr = next_of(stop + 1, end, '\r');
        } else {
            next_nul = next_of(stop + 1, end, '\0');
        }
        p = stop + 1;
    }
    return static_cast<std::size_t>(w - out);
}

}  // namespace parafold
