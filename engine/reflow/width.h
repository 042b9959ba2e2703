// The wrap column as the user asked for it: typed once where it is given
// (the dialog's fields, the command line's options, a library call) and
// turned into columns in one place, columns_of, once the text is measured.
#pragma once

#include <cstdint>

#include "engine/reflow/pieces.h"

namespace parafold {

enum class WidthRule {
    given,               // `columns` as it stands, zero and negative values included
    mean,                // the mean line length of the text joined
    most_common_less_6,  // its most common line length from 41 to 254, less 6
    learned,             // the reading-quality unwrap's own estimate
};

struct Width {
    WidthRule rule = WidthRule::given;
    std::int32_t columns = 56;  // for `given`
};

// Whether columns_of needs the lines of the text measured.
constexpr bool measures_lines(const Width& width) {
    return width.rule == WidthRule::mean || width.rule == WidthRule::most_common_less_6;
}

// The columns the text is joined at. `lines`: the pieces of the text joined
// (see engine/reflow/pieces.h), where measures_lines(width); otherwise
// unused. `learned` gives 0: the unwrap estimates its own.
std::int32_t columns_of(const Width& width, const PieceStats& lines);

}  // namespace parafold
