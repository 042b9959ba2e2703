// Whole-text transforms for e-readers, and two text primitives.
//
// Texts are bytes: every byte value is ordinary, NUL included, and nothing is
// cut at a NUL. A line break is LF; CR matters only to kindle_two_lines.
// Every function reads its arguments only and returns a new result (or, for
// the overloads that say so, writes it over a string of the caller's); each
// runs in time linear in the length of its text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace parafold {

// Not used by the program (the transforms below do without it): replaces
// every occurrence of `search` in `text` by `replacement`.
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

// Not used by the program: cuts `text` into tokens at every byte that
// occurs in `delimiters`. Empty
// tokens are dropped, so the list never holds one, and an empty delimiter set
// gives the whole non-empty text as one token.
//
//   split_on_any("a,b;;d", ",;") == {"a", "b", "d"}
std::vector<std::string> split_on_any(std::string_view text, std::string_view delimiters);

// Not used by the program, which streams through the overloads below:
// reshapes the line breaks of a whole text, as if by these steps in order:
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

// Not used by the program, as above: writes every non-empty LF-separated
// line of `text` as five spaces, the line
// and an LF. Empty lines vanish, the last line gets its LF even when the text
// had none, and a CR stays part of its line.
//
//   kindle_indent("a\n\nb") == "     a\n     b\n"
std::string kindle_indent(std::string_view text);

// The same two transforms writing their result over `out` (which must not
// hold `text`), for a caller that transforms many texts one after another:
// `out` keeps its memory from one call to the next, so after the first few
// there is nothing to allocate.
void kindle_two_lines(std::string_view text, std::string& out);
void kindle_indent(std::string_view text, std::string& out);

}  // namespace parafold
