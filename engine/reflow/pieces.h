// Splitting a byte stream into measured pieces, for the width estimates.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/io/blocks.h"

namespace parafold {

inline constexpr std::int64_t max_piece_bytes = 99'999;
inline constexpr int reported_lengths = 255;  // lengths 0 to 254

struct PieceStats {
    std::int64_t pieces = 0;
    std::int64_t measured_sum = 0;
    // How many pieces measured each length from 0 to 254. Longer pieces
    // count towards `pieces` and `measured_sum` only.
    std::int64_t length_counts[reported_lengths] = {};
};

// The piece being read when a block ends, carried into the next block.
struct PieceCursor {
    std::int64_t length = 0;     // bytes of the open piece so far
    std::int64_t measured = -1;  // offset of its first NUL, -1 while none
};

// Adds the pieces completed by `size` more bytes of the stream.
void count_pieces(PieceStats& stats, PieceCursor& cursor, const char* data, std::size_t size);

// Closes the last piece at the end of the stream, when one is open.
void finish_pieces(PieceStats& stats, PieceCursor& cursor);

// A sink that counts the pieces of what is written to it into `stats`;
// with `characters`, of its characters of UTF-8, as if the bytes that
// continue a character were not there. Its finish closes the last piece.
BlockSink piece_counter(PieceStats& stats, bool characters);

// The truncated mean, 0 when there are no pieces.
std::int32_t mean_length(const PieceStats& stats);

// The most frequent length from 41 to 254, the shortest of equals; 0 if none.
std::int32_t most_common_length(const PieceStats& stats);

}  // namespace parafold
