// The first pass of the reading-quality unwrap: a scan that learns the
// text's layout, so that the join (engine/smart/join.h) knows how far
// each kind of evidence can be trusted in this text.
//
// It learns the width (the limit that nearly all plainly wrapped lines
// respect, those followed in their block by a line starting with a small
// letter), how often the next word would have fit after such a line (rare
// in greedy wrapping, common where lines were filled by hand or copied
// from a printed page), how wide nearly all of them are, whether sentences
// are followed by two blanks, whether a word and a number after it are
// kept together, and whether paragraphs start with an indented line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace parafold {

// How the text's lines were filled, from how often the next word would
// have fit after a plainly wrapped line.
enum class Wrapping : std::uint8_t {
    greedy,         // hardly ever: a word that fits marks a meant break
    nearly_greedy,  // now and then: a fitting word alone proves nothing
    unfilled,       // often: the lines were not filled to a width
};

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
    Wrapping wrapping = Wrapping::greedy;  // what that rate says
    std::int32_t room_to_spare = 0;  // 1: a word that would end exactly at the width does not fit
    bool print_style = false;        // paragraphs start with an indented line, not a blank one
    bool two_spaces = false;         // sentences inside lines are followed by two spaces
    bool bound_numbers = false;      // a word and a number after it ("Section 4") never part
    bool long_blocks = false;        // blocks are long: no blank lines between paragraphs
    bool speakers = false;           // names in capitals, repeating, head the speeches of a play
};

struct SmartScan;
struct SmartScanFree {
    void operator()(SmartScan* scan) const;
};
using SmartScanState = std::unique_ptr<SmartScan, SmartScanFree>;

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

namespace smart {

struct Vocabulary;

// The words a finished scan collected; nullptr when it collected none.
Vocabulary* vocabulary_of(SmartScan& scan);
const Vocabulary* vocabulary_of(const SmartScan& scan);

}  // namespace smart
}  // namespace parafold
