// The reading-quality break rule, on bytes in memory, in two streaming
// passes: a scan that learns the text's layout, then the join itself.
//
// Lines end at LF, CR LF or a lone CR; every line end is written as LF and
// no CR reaches the output. A line's width is counted in columns without
// its trailing spaces and tabs: a tab moves to the next multiple of 8, and
// in UTF-8 text each character counts 1 (otherwise each byte does).
//
// Between a line A and the next line B the break stays (LF) when there is
// evidence that it was meant, that is when:
//   1. A or B is blank;
//   2. B is indented more than the body text (a paragraph in print style, a
//      quote, a list item);
//   3. B's first word would have fit on A within the width, so A was ended
//      on purpose (a heading, a verse line, a paragraph's last line);
//   4. B starts a numbered item ("12. ", "3) "), or A and B both start
//      with a bullet ("- ", "* ", "+ ", "• ");
//   5. A lies in a block of short lines (verse, a table of contents): the
//      break before A stayed by rule 3, and A and B both end well before
//      the width.
// A sentence end is no evidence by itself. Otherwise B is joined to A: A's
// trailing spaces and B's indentation are dropped and one space goes
// between them. A word hyphenated across the break (A ends in a letter and
// one '-', B starts with a letter) is joined without the space; with a
// vocabulary the hyphen goes too when the joined word occurs in it.
//
// A text with no dominant wrap width has every break kept, so it comes out
// unchanged apart from its line ends.
//
// Lines longer than `max_line_bytes` are measured by their first
// `max_line_bytes` bytes and the rest streams through, so memory stays
// constant whatever the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace parafold {

inline constexpr std::size_t max_line_bytes = 16 * 1024;
// Widths are tallied up to this; wider lines count as too wide for any width.
inline constexpr std::int32_t max_tallied_width = 1024;

// Hashes a word by its bytes, so that a view of a word can be looked up
// without making a string of it.
struct WordHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view word) const {
        return std::hash<std::string_view>{}(word);
    }
};

using Vocabulary = std::unordered_set<std::string, WordHash, std::equal_to<>>;

// The layout the join works with.
struct TextLayout {
    std::int32_t width = 0;        // the wrap column
    std::int32_t body_indent = 0;  // columns of indentation of the body text
    bool utf8 = false;             // widths count characters
    bool wrapped = false;          // false: every break is kept
};

// Splits a stream into lines across blocks; the part of a line that a
// block leaves open is kept here, up to `max_line_bytes`.
struct LineCutter {
    std::string open;         // bytes of the unfinished line
    bool overflowing = false; // the unfinished line outgrew `max_line_bytes`
    bool after_cr = false;    // the last byte was a CR: an LF next belongs to it
};

// ------------------------------------------------------------ first pass

struct LayoutScan {
    LineCutter cutter;
    std::int64_t lines = 0;     // lines that are not blank
    std::int64_t measured = 0;  // of those, lines of more than one word
    // Widths of the measured lines, in bytes and in characters; the last
    // entry counts the wider ones.
    std::int64_t byte_widths[max_tallied_width + 1] = {};
    std::int64_t char_widths[max_tallied_width + 1] = {};
    std::int64_t indents[65] = {};                          // last: 64 or more
    bool valid_utf8 = true;
    bool any_non_ascii = false;
    Vocabulary* vocabulary = nullptr;  // when set, collects the text's words
    bool words_only = false;           // past the layout's sample: only words are collected
};

void scan_layout(LayoutScan& scan, const char* data, std::size_t size);

// Ends the scan and decides the layout. `columns` > 0 gives the width and
// declares the text wrapped; otherwise the width is estimated: the top of
// the densest band of line widths, and the text counts as wrapped when
// enough lines fall in that band and hardly any go beyond it.
TextLayout finish_layout(LayoutScan& scan, std::int32_t columns);

// ----------------------------------------------------------- second pass

enum class ListMarker { none, number, bullet };

// Facts about one line that the break rule looks at.
struct LineFacts {
    std::int32_t width = 0;
    std::int32_t indent = 0;
    std::int32_t first_word = 0;  // width of the first word
    bool blank = true;
    ListMarker list_marker = ListMarker::none;
    bool hyphen_end = false;     // ends in a letter and one '-'
    bool starts_letter = false;  // the first word starts with a letter
};

struct SmartJoin {
    TextLayout layout;
    const Vocabulary* vocabulary = nullptr;  // nullptr: no dehyphenation
    LineCutter cutter;
    // The pending line: read whole but not yet written, because its end
    // waits on the next line.
    LineFacts pending;
    bool pending_ended_early = false;  // the break before it stayed: it would have fit
    bool next_ended_early = false;
    std::string_view pending_view;  // its text: in the input block, or pending_text
    std::string pending_text;
    bool have_pending = false;
    bool pending_long = false;       // already written; only its line end waits
    bool pending_has_end = false;    // ended by a line end (not the input's end)
    bool pending_joined = false;     // joined to its predecessor: drop its indentation
    std::string word;                // scratch for dehyphenation
};

// The most bytes one call of smart_join or smart_join_finish writes for
// `size` input bytes: besides those bytes, the two lines that earlier
// calls may have left waiting (the pending line and the unfinished one).
constexpr std::size_t smart_join_room(std::size_t size) { return size + 2 * max_line_bytes + 2; }

// Joins `size` more input bytes into `out`, which has room for
// smart_join_room(size) bytes, and returns how many bytes were written.
std::size_t smart_join(SmartJoin& join, const char* data, std::size_t size, char* out);

// Writes what the end of the input leaves pending into `out` (room for
// smart_join_room(0) bytes); returns how many bytes were written.
std::size_t smart_join_finish(SmartJoin& join, char* out);

// The same two calls, appending the output to a string.
void smart_join(SmartJoin& join, const char* data, std::size_t size, std::string& out);
void smart_join_finish(SmartJoin& join, std::string& out);

// The whole rule on a text in memory: both passes, as the file function
// runs them.
std::string smart_reflow_text(std::string_view text, std::int32_t columns, bool dehyphenate,
                              TextLayout* layout = nullptr);

}  // namespace parafold
