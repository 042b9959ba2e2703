// The line-joining rule, on bytes in memory.
//
// Every input byte is handled by one rule:
//   LF            -> LF when the line wrote fewer bytes than the width or ends
//                    a sentence, otherwise one space; the line state resets.
//   CR, NUL       -> dropped; the line state is unchanged.
//   '.' '!' '"'   -> copied; counts 1; the line ends a sentence.
//   space         -> copied; counts 1; the sentence flag is left alone.
//   anything else -> copied; counts 1; the sentence flag is cleared.
//
// The state carries across calls, so a stream may be fed in blocks of any
// size and the output does not depend on where the blocks were cut.
//
// A line's length counts bytes, or with `characters` the characters of
// UTF-8 (every byte but those that continue a character), as for a text
// decoded from UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>

namespace parafold {

struct JoinState {
    // Bytes (or characters) the current line has written so far. 64-bit,
    // so a line longer than any 32-bit width still compares as at least as
    // long as it.
    std::int64_t line_bytes = 0;
    bool sentence_end = false;
};

// Joins `size` bytes from `in` into `out` and returns how many bytes were
// written, never more than `size`. `out` has room for `size` bytes and does
// not overlap `in`.
std::size_t join_lines(JoinState& state, std::int32_t width, const char* in, std::size_t size,
                       char* out, bool characters = false);

}  // namespace parafold
