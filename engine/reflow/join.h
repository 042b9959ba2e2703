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
//
// With `indent`, what is written is kindle_indent's result of the joined
// text ("Kindle Indent" in the same pass): five spaces before the first
// byte of every line written, which its length leaves out, and no line
// with no byte; join_lines_end gives the last line its LF.
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
    bool line_open = false;  // with `indent`: a line written is waiting for its LF
    // With `two_lines`: the last byte that "Kindle 2 Lines" wrote, where it
    // matters: LF, space, or NUL for any other; and whether a space that
    // ended the last call is held back, as an LF may take it back.
    char two_lines_last = '\0';
    bool space_held = false;
};

// The room `out` needs for `size` bytes: as many and one more (a space held
// from the call before, with `two_lines`), or with `indent` the indents too
// (a line of one byte grows to six), that space with its indent, and the
// stores of sixteen bytes that may reach past the end.
constexpr std::size_t join_lines_room(std::size_t size, bool indent) {
    return indent ? 4 * size + 40 : size + 1;
}

// Joins `size` bytes from `in` into `out` and returns how many bytes were
// written, never more than `size` + 1 without `indent`. `out` has room for
// join_lines_room(size, indent) bytes and does not overlap `in`. With
// `two_lines`, what is joined is kindle_two_lines's result of the text
// ("Kindle 2 Lines" in the same pass).
std::size_t join_lines(JoinState& state, std::int32_t width, const char* in, std::size_t size,
                       char* out, bool characters = false, bool indent = false,
                       bool two_lines = false);

// The most join_lines_end writes.
constexpr std::size_t join_lines_end_room = 8;

// At the end of the text: with `two_lines`, a space held back; with
// `indent`, the last line's LF, if a line is waiting for it. Written to
// `out` (room for join_lines_end_room bytes); returns how many bytes were
// written.
std::size_t join_lines_end(JoinState& state, char* out, bool indent = false);

}  // namespace parafold
