// The e-reader transforms applied to a stream piece by piece, so that a file
// of any size passes through them in little memory.
//
// Both transforms act on each line break only together with the bytes right
// around it, so a text cut at the right places gives, piece by piece, the
// same bytes as the whole text at once:
//  - kindle_indent: after any LF (a line never spans a cut);
//  - kindle_two_lines: after an LF whose next byte is neither LF nor CR, so
//    that no run of line breaks, once its CRs are gone, spans the cut (a
//    space before an LF never does: the LF is the cut's own).
// A stretch without such a place stays in one piece, however long.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/io/blocks.h"

namespace parafold {

struct PiecewiseTransform {
    // Writes the transformed text over its second argument, a buffer kept
    // from piece to piece; nullptr: bytes pass unchanged.
    void (*transform)(std::string_view, std::string&);
    // The greatest cut p with `from` <= p < text.size() after which the
    // transform may be applied to text[0, p) and the rest apart; 0 for none.
    std::size_t (*last_cut)(std::string_view text, std::size_t from);
};

extern const PiecewiseTransform piecewise_copy;
extern const PiecewiseTransform piecewise_two_lines;
extern const PiecewiseTransform piecewise_indent;

enum class Streamed { whole, read_failed, write_failed };

// Reads `in` to its end in blocks of `block_bytes` and writes the transformed
// bytes to `out`. Memory: a block, the longest stretch without a cut, and its
// result. Throws std::bad_alloc when even that cannot be had.
Streamed transform_stream(BlockSource& in, BlockSink& out, const PiecewiseTransform& how,
                          std::size_t block_bytes = std::size_t{1} << 20);

}  // namespace parafold
