#include "engine/reflow/width.h"

namespace parafold {

std::int32_t columns_of(const Width& width, const PieceStats& lines) {
    switch (width.rule) {
        case WidthRule::given: return width.columns;
        case WidthRule::mean: return mean_length(lines);
        // Less 6 for the line end and a margin: a text wrapped at 56 with
        // CR LF measures 58 in its full lines and is joined at 52.
        case WidthRule::most_common_less_6: return most_common_length(lines) - 6;
        case WidthRule::learned: return 0;
    }
    return width.columns;
}

}  // namespace parafold
