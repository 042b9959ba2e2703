#include "engine/pieces.h"

#include <algorithm>
#include <cstring>

namespace parafold {
namespace {

void close_piece(PieceStats& stats, PieceCursor& cursor) {
    const std::int64_t measured = cursor.measured >= 0 ? cursor.measured : cursor.length;
    ++stats.pieces;
    stats.measured_sum += measured;
    if (measured < reported_lengths) ++stats.length_counts[measured];
    cursor = PieceCursor{};
}

}  // namespace

void count_pieces(PieceStats& stats, PieceCursor& cursor, const char* data, std::size_t size) {
    const char* p = data;
    const char* const end = data + size;
    // The next NUL, found once per block and kept until it is passed.
    const char* next_nul = static_cast<const char*>(std::memchr(p, '\0', size));
    if (!next_nul) next_nul = end;

    while (p < end) {
        // The open piece takes bytes up to its LF or until it is full.
        const std::int64_t room = max_piece_bytes - cursor.length;
        const std::size_t span =
            static_cast<std::size_t>(std::min<std::int64_t>(room, end - p));
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', span));
        const char* piece_end = lf ? lf + 1 : p + span;

        while (next_nul < piece_end) {
            if (cursor.measured < 0) cursor.measured = cursor.length + (next_nul - p);
            const void* found = std::memchr(next_nul + 1, '\0',
                                            static_cast<std::size_t>(end - next_nul - 1));
            next_nul = found ? static_cast<const char*>(found) : end;
        }
        cursor.length += piece_end - p;
        p = piece_end;
        if (lf || cursor.length == max_piece_bytes) close_piece(stats, cursor);
    }
}

void finish_pieces(PieceStats& stats, PieceCursor& cursor) {
    if (cursor.length > 0) close_piece(stats, cursor);
}

std::int32_t mean_length(const PieceStats& stats) {
    if (stats.pieces == 0) return 0;
    // Every piece measures at most 99,999, so the mean fits.
    return static_cast<std::int32_t>(stats.measured_sum / stats.pieces);
}

std::int32_t most_common_length(const PieceStats& stats) {
    std::int32_t best_length = 0;
    std::int64_t best_count = 0;
    for (int length = 41; length < reported_lengths; ++length) {
        if (stats.length_counts[length] > best_count) {
            best_length = length;
            best_count = stats.length_counts[length];
        }
    }
    return best_length;
}

}  // namespace parafold
