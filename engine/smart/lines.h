// Inside the reading-quality unwrap: the line cutter that both passes
// share (engine/smart/lines.cpp), and the facts it measures of each line.
// Not for callers outside the unwrap; they use engine/smart/join.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/smart/join.h"

namespace parafold::smart {

// The width given to a line longer than `max_line_bytes`.
inline constexpr std::int32_t long_line_width = 1 << 30;

inline bool is_blank_byte(char c) { return c == ' ' || c == '\t'; }
// Letters for hyphenation and the vocabulary: ASCII letters and every byte
// of a multi-byte UTF-8 character (or of an 8-bit code page).
inline bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
}
inline char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
// Inline: the join trims every line it joins.
inline std::string_view trim_right(std::string_view text) {
    while (!text.empty() && is_blank_byte(text.back())) text.remove_suffix(1);
    return text;
}
inline std::string_view trim_left(std::string_view text) {
    while (!text.empty() && is_blank_byte(text.front())) text.remove_prefix(1);
    return text;
}
bool valid_utf8(std::string_view text);

// A lettered marker ("(a)", "b)") may also be a reference wrapped to the
// line's start; a numbered one rarely is.
enum class ListMarker : std::uint8_t { none, number, letter, bullet };
enum class Case : std::uint8_t { none, upper, lower };

// Facts about one line that the layout and the break rule look at. Widths
// are columns as engine/smart/join.h counts them.
struct LineFacts {
    std::int32_t width = 0;        // where the body ends
    std::int32_t byte_width = 0;   // the same, counting every byte as a column
    std::int32_t indent = 0;       // columns before the body
    std::int32_t first_word = 0;   // width of the first word, after a quote mark ("> ", "| ")
    std::int32_t first_unit = 0;   // the first word with a number after it ("Section 4.2")
    std::int32_t marker_width = 0; // columns of a list marker with its blanks ("-  ", "12. ")
    // A name in capitals ending in '.' or ':' at the line's start
    // ("HELMER.", "MRS. ALVING.", "THE NAVVY:"), as a number that is the
    // same for the same name; 0: none.
    std::uint32_t speaker = 0;
    // The shape of a label before the line's first number ("12", "A.2.",
    // "No. 3", "(iv) 7"), as a number that is the same for labels of one
    // shape; 0: the line starts with a word.
    std::uint16_t label = 0;
    // Where the body goes on after a gap of blanks: a table's second
    // column (at most 65535); 0: no gap.
    std::uint16_t column = 0;
    ListMarker list_marker = ListMarker::none;
    Case starts = Case::none;      // the case of the first letter, past opening quotes
    // Its words of four letters or more when they all start with capitals
    // and some letters are small ("The Power of the Union": 3); else 0.
    std::uint8_t title_words = 0;
    // A byte each rather than a bit: storing a bit reads its byte back
    // first, and the cutter stores them all for every line.
    bool blank = true;
    bool multi_word = false;    // a blank inside the body
    bool high = false;          // a byte from 0x80 up
    bool opens = false;         // starts with an opening quotation mark or bracket
    bool speech_opens = false;  // opens with a quotation mark, or a dash before a capital
    bool dash_opens = false;    // opens a speech with a dash ("--Oui", "—Oui")
    bool marked = false;        // opens and closes its own emphasis ("_in italics_,")
    bool punct_end = false;     // ends in punctuation, a closing quotation mark or bracket
    bool sentence_end = false;  // ends in '.', '!' or '?', maybe before a closing mark
    bool colon_end = false;     // ends in ':'
    bool question_end = false;  // ends in '?'
    bool closing_end = false;   // ends in a closing quotation mark or bracket
    bool speech_end = false;    // ends in a closing quotation mark
    bool hyphen_end = false;    // ends in a letter and one '-'
    bool starts_letter = false; // the first word starts with a letter
    bool ends_capital_word = false;  // the last word is a capitalised word ("Section",
                                         // "(Figure"); measured for the layout only
    bool starts_digit = false;  // the first word starts with a digit
    bool number_end = false;    // ends in a number after leader dots or two blanks
    bool speaker_alone = false; // the speaker's name is all of the line
};

// Splits a stream into lines across blocks; the part of a line that a
// block leaves open is kept here, up to `max_line_bytes`.
struct LineCutter {
    std::string open;          // bytes of the unfinished line
    std::string done;          // the line that `open` became when it ended
    bool overflowing = false;  // the unfinished line outgrew `max_line_bytes`
    bool after_cr = false;     // the last byte was a CR: an LF next belongs to it
    bool for_layout = false;   // measure also what only the layout estimate looks at
};

// One piece the cutter hands on.
struct CutLine {
    enum class Kind : std::uint8_t {
        whole,      // a line of at most max_line_bytes bytes
        long_head,  // the first max_line_bytes bytes of a longer line,
        long_rest,  // then the rest of it, in pieces,
        long_end,   // then its end
    };
    Kind kind = Kind::whole;
    std::string_view text;  // whole, long_head, long_rest: the bytes, without the line end
    LineFacts facts;        // whole, long_head (whose width is long_line_width)
    bool has_end = false;   // whole, long_end: ended by a line end, not the input's end
};

// Called once for each piece, in order. `text` of a piece stays valid until
// the cutter is called again, and a piece from the cutter's own buffer
// (`text.data() == cutter.done.data()` or `cutter.open`) only until the
// next piece.
using LineSink = void (*)(void* context, const CutLine& line);

// Cuts `size` more bytes into lines. Widths count characters when `utf8`
// (the continuation bytes of a character are free), else bytes.
void cut_lines(LineCutter& cutter, const char* data, std::size_t size, bool utf8,
               LineSink sink, void* context);
// Hands on what the end of the input leaves open.
void end_lines(LineCutter& cutter, bool utf8, LineSink sink, void* context);

}  // namespace parafold::smart
