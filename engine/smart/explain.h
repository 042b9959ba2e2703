// The --explain report of the reading-quality unwrap: what the scan
// learned, and why the join kept each break it kept. The join
// (engine/smart/join.cpp) appends to it as it decides.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/smart/layout.h"
#include "engine/smart/rule.h"

namespace parafold::smart {

// `layout: ` lines: the width, the body's indentation, the evidence of the
// plainly wrapped lines and the kind of wrapping it shows, and the facts
// the scan found true.
void describe_layout(const TextLayout& layout, std::string& report);

// `block FIRST-LAST: KIND` for a block that reads as more than paragraphs
// (lines counted from 1); nothing for one of paragraphs.
void describe_block(std::int64_t first, std::int64_t last, const BlockSigns& signs,
                    std::string& report);

// `kept LINE: REASON | START OF THE LINE | START OF THE NEXT LINE`: a
// break kept inside a block, after line `line` (counted from 1); the
// starts end before a " |" of their own. `a` is empty for a long line
// already written.
void describe_kept(std::int64_t line, Verdict verdict, std::string_view a, bool a_written,
                   std::string_view b, std::string& report);

}  // namespace parafold::smart
