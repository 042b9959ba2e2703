// Whole-text transforms for e-readers, and two text primitives.
//
// Texts are bytes: every byte value is ordinary, NUL included, and nothing is
// cut at a NUL. A line break is LF; CR matters only to kindle_two_lines.
// Every function reads its arguments only and returns a new result (or, for
// the forms on a text in pieces, writes it into the caller's buffer); each
// runs in time linear in the length of its text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parafold {

// Replaces every occurrence of `search` in `text` by `replacement`.
//
// Occurrences are taken from left to right and never overlap, and the result
// is never searched again: the scan goes on just behind each replaced
// occurrence.
//
//   replace_all("aaaa", "aa", "a")     == "aa"
//   replace_all("\r\r\n", "\r\n", "\n") == "\r\n"  (a second call gives "\n")
//   replace_all("ab", "b", "bb")        == "abb"
//
// Equal `search` and `replacement` texts, or an empty `search`, leave the
// text unchanged.
std::string replace_all(std::string_view text, std::string_view search,
                        std::string_view replacement);

// Cuts `text` into tokens at every byte that occurs in `delimiters`. Empty
// tokens are dropped, so the list never holds one, and an empty delimiter set
// gives the whole non-empty text as one token.
//
//   split_on_any("a,b;;d", ",;") == {"a", "b", "d"}
std::vector<std::string> split_on_any(std::string_view text, std::string_view delimiters);

// Reshapes the line breaks of a whole text, as if by these steps in order:
//   1. replace "\r\n" by "\n" until none is left: a CR LF becomes LF, and so
//      does any run of CRs that ends at an LF; other CRs stay;
//   2. replace "\n\n" by "\n" until none is left: a run of LFs becomes one LF;
//   3. replace " \n" by "\n" once: one space before each LF goes.
// Step 3 comes last, so a line that held a single space becomes an empty
// line, and a line ending in two spaces keeps one:
//
//   kindle_two_lines("a\r\n\r\nb \r\nc") == "a\nb\nc"
//   kindle_two_lines("a\n \nb")          == "a\n\nb"
//   kindle_two_lines("a  \n")            == "a \n"
std::string kindle_two_lines(std::string_view text);

// Writes every non-empty LF-separated line of `text` as five spaces, the
// line and an LF. Empty lines vanish, the last line gets its LF even when
// the text had none, and a CR stays part of its line.
//
//   kindle_indent("a\n\nb") == "     a\n     b\n"
std::string kindle_indent(std::string_view text);

// ------------------------------------------------- on a text in pieces
//
// The same two transforms on a text that comes in pieces of any size (a
// stream): the pieces' results, one after another, are the whole text's
// result, and what a stream carries from one piece to the next is a few
// bytes whatever the text, so a line of any length passes in little memory.
// Each step writes into a buffer of the caller's and says how much of the
// piece it took; the caller writes the result and calls again with the
// rest, and at the end of the text calls the _end function for what the
// stream still holds.

// What one step took and wrote.
struct StreamStep {
    std::size_t used = 0;     // bytes taken from the front of the piece
    std::string_view result;  // the bytes to write, inside the caller's buffer
};

// kindle_two_lines: the result's last byte where it matters, and the CRs
// that end the text so far.
struct TwoLinesStream {
    // LF (an LF next is dropped), a space (held back, unwritten: an LF next
    // takes it back) or '\0' for any other byte, and before the first.
    char last = '\0';
    // CRs that end the text so far, held back unwritten: an LF next drops
    // them, any other byte keeps them. A count: a run of any length.
    std::uint64_t crs = 0;
};

// Takes the front of `piece` into `out`, which has room for `room` bytes
// (at least 2). With room for piece.size() + 1 bytes it takes the whole
// piece, unless it first writes CRs that were held back, which takes none.
StreamStep kindle_two_lines(TwoLinesStream& stream, std::string_view piece, char* out,
                            std::size_t room);

// The end of the text: what the stream holds, a space and CRs, as far as
// `room` (at least 2) goes. Call until it gives nothing.
std::string_view kindle_two_lines_end(TwoLinesStream& stream, char* out, std::size_t room);

// kindle_indent: whether the last byte written belongs to a line whose LF
// is still to come.
struct IndentStream {
    bool line_open = false;
};

// The room for the whole of a piece of `size` bytes: a line of one byte
// grows to seven.
constexpr std::size_t kindle_indent_room(std::size_t size) { return 4 * size + 8; }

// Takes the front of `piece` into `out`, which has room for `room` bytes
// (at least kindle_indent_room(1)); all of it with kindle_indent_room of
// its size.
StreamStep kindle_indent(IndentStream& stream, std::string_view piece, char* out,
                         std::size_t room);

// The end of the text: the last line's LF, if it is open (room for 1 byte).
std::string_view kindle_indent_end(IndentStream& stream, char* out);

}  // namespace parafold
