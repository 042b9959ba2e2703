// The reading-quality unwrap on bytes in memory, in two streaming passes:
// a scan that learns the text's layout (engine/smart/layout.h), then the
// join itself.
//
// Lines end at LF, CR LF or a lone CR; every line end is written as LF and
// no CR reaches the output. A line's width is counted in columns without
// its trailing spaces and tabs: a tab moves to the next multiple of 8, and
// in UTF-8 text each character counts 1 (otherwise each byte does).
//
// The join decides, block by block (the lines between blank lines, at most
// `smart_held_lines` at a time), whether the break between a line A and
// the next line B stays (the rule is in engine/smart/rule.h): for a list
// item, for a change of indentation that is not a hanging indent, in a
// block of short lines, a quote set narrower or verse, where B's first
// word would have fit on A in a text where that tells, or for a capital
// after a short line. A sentence end is no evidence by itself. Otherwise B
// is joined to A: A's trailing spaces and B's indentation are dropped and
// one space goes between them. A word hyphenated across the break (A ends
// in a letter and one '-', B starts with a letter) is joined without the
// space; with a vocabulary the hyphen goes too when the text spells the
// word without it (engine/smart/hyphens.h).
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

#include "engine/smart/layout.h"

namespace parafold {

inline constexpr std::size_t max_line_bytes = 16 * 1024;

struct SmartJoin;
struct SmartJoinFree {
    void operator()(SmartJoin* join) const;
};
using SmartJoinState = std::unique_ptr<SmartJoin, SmartJoinFree>;

// A join with the layout found; `words`, when not nullptr, is a finished
// scan that collected words, and the join dehyphenates with them (the scan
// must outlive the join). With `explain` the join appends a report to it:
// the layout, then for every break kept inside a block a line
//   kept LINE: REASON | START OF THE LINE | START OF THE NEXT LINE
// (LINE counted from 1). The caller may take the report away (and clear
// it) between calls.
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

// A join with the layout and words of `join`, starting as a text starts.
SmartJoinState start_join_like(const SmartJoin& join);

// Where a join may start afresh in `data`: just after its last empty line
// (ended by LF, CR LF or a lone CR, and so read only when the byte after a
// lone CR is there to tell it from CR LF); 0 when there is none. A blank
// line ends a block and leaves nothing held but itself, so a join that
// ends there (smart_join_finish) and one started afresh after it
// (start_join_like) together write what one join writes for the same
// bytes, and the two may run at once.
std::size_t restart_point(const char* data, std::size_t size);

}  // namespace parafold
