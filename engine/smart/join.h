// The reading-quality break rule, on bytes in memory, in two streaming
// passes: a scan that learns the text's layout, then the join itself.
//
// Lines end at LF, CR LF or a lone CR; every line end is written as LF and
// no CR reaches the output. A line's width is counted in columns without
// its trailing spaces and tabs: a tab moves to the next multiple of 8, and
// in UTF-8 text each character counts 1 (otherwise each byte does).
//
// The scan learns the text's layout: the width (the limit that nearly all
// plainly wrapped lines respect, those followed in their block by a line
// starting with a small letter), how often the next word would have fit
// after such a line (rare in greedy wrapping, common where lines were
// filled by hand or copied from a printed page), how wide nearly all of
// them are, whether sentences are followed by two blanks, whether a word
// and a number after it are kept together, and whether paragraphs start
// with an indented line.
//
// The join then decides, block by block (the lines between blank lines,
// at most `smart_held_lines` at a time), whether the break between a line
// A and the next line B stays: for a list item, for a change of
// indentation that is not a hanging indent, in a block of short lines, a
// quote set narrower or verse, where B's first word would have fit on A in
// a text where that tells, or for a capital after a short line. A sentence
// end is no evidence by itself. Otherwise B is joined to A: A's trailing
// spaces and B's indentation are dropped and one space goes between them.
// A word hyphenated across the break (A ends in a letter and one '-', B
// starts with a letter) is joined without the space; with a vocabulary
// the hyphen goes too when the joined word occurs in it.
//
// A text that shows no hard wrapping has every break kept, so it comes
// out unchanged apart from its line ends.
//
// Lines longer than `max_line_bytes` are measured by their first
// `max_line_bytes` bytes and the rest streams through, so memory stays
// bounded whatever the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace parafold {

inline constexpr std::size_t max_line_bytes = 16 * 1024;

// The layout the join works with, as the scan found it.
struct TextLayout {
    std::int32_t width = 0;        // the wrap column
    std::int32_t body_indent = 0;  // columns of indentation of the body text
    bool utf8 = false;             // widths count characters
    bool wrapped = false;          // false: every break is kept
    // Evidence from the plainly wrapped lines: those followed, in the same
    // block, by a line that starts with a small letter.
    std::int64_t wrapped_lines = 0;  // how many the scan saw
    std::int32_t wrap_floor = 0;     // all but 3% of them are at least this wide
    std::int32_t fit_per_mille = 0;  // after how many of 1000 the next word would have fit
    bool print_style = false;        // paragraphs start with an indented line, not a blank one
    bool two_spaces = false;         // sentences inside lines are followed by two spaces
    bool bound_numbers = false;      // a word and a number after it ("Section 4") never part
};

// The state of each pass, opaque to callers.
struct SmartScan;
struct SmartJoin;
struct SmartStateFree {
    void operator()(SmartScan* scan) const;
    void operator()(SmartJoin* join) const;
};
using SmartScanState = std::unique_ptr<SmartScan, SmartStateFree>;
using SmartJoinState = std::unique_ptr<SmartJoin, SmartStateFree>;

// ------------------------------------------------------------ first pass

// A scan that learns the layout; with `collect_words` it also collects the
// words of the text, the vocabulary for dehyphenation.
SmartScanState start_layout_scan(bool collect_words);

void scan_layout(SmartScan& scan, const char* data, std::size_t size);

// From here on the scan only collects words: the layout comes from what
// it saw before.
void scan_words_only(SmartScan& scan);

// Ends the scan and decides the layout. `columns` > 0 gives the width and
// declares the text wrapped; otherwise the width is estimated from the
// plainly wrapped lines, and the text counts as wrapped when their widths
// crowd up to it (with too few of them: the top of the densest band of all
// line widths, when enough lines fall in it and hardly any go beyond).
TextLayout finish_layout(SmartScan& scan, std::int32_t columns);

// ----------------------------------------------------------- second pass

// A join with the layout found; `words`, when not nullptr, is a finished
// scan that collected words, and the join dehyphenates with them (the scan
// must outlive the join). With `explain` the join appends a report to it:
// the layout, then for every break kept inside a block a line
//   kept LINE: REASON | START OF THE LINE | START OF THE NEXT LINE
// (LINE counted from 1).
SmartJoinState start_join(const TextLayout& layout, const SmartScan* words,
                          std::string* explain = nullptr);

// Lines, and bytes of them, the join holds at most before it decides the
// breaks between them.
inline constexpr std::size_t smart_held_lines = 64;
inline constexpr std::size_t smart_held_bytes = 2 * max_line_bytes;

// The most bytes one call of smart_join or smart_join_finish writes for
// `size` input bytes: besides those bytes, the lines that earlier calls may
// have left waiting (the held ones with their line ends, and the
// unfinished one).
constexpr std::size_t smart_join_room(std::size_t size) {
    return size + smart_held_bytes + smart_held_lines + max_line_bytes + 2;
}

// Joins `size` more input bytes into `out`, which has room for
// smart_join_room(size) bytes, and returns how many bytes were written.
// The input block may be reused once the call returns.
std::size_t smart_join(SmartJoin& join, const char* data, std::size_t size, char* out);

// Writes what the end of the input leaves pending into `out` (room for
// smart_join_room(0) bytes); returns how many bytes were written.
std::size_t smart_join_finish(SmartJoin& join, char* out);

// Not used by the program: the same two calls, appending to a string.
void smart_join(SmartJoin& join, const char* data, std::size_t size, std::string& out);
void smart_join_finish(SmartJoin& join, std::string& out);

// Not used by the program: the whole rule on a text in memory, both
// passes, as the file function runs them.
std::string smart_reflow_text(std::string_view text, std::int32_t columns, bool dehyphenate,
                              TextLayout* layout = nullptr, std::string* explain = nullptr);

}  // namespace parafold
