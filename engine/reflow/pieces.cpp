#include "engine/reflow/pieces.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
#if defined(__SSE2__)
        // While no NUL is near and the open piece cannot fill up, only LFs
        // end pieces, and each measures its whole length: take sixty-four
        // bytes a step, their LFs as the bits of one mask. The counts live
        // in locals, which the compiler can keep in registers.
        const __m128i lf = _mm_set1_epi8('\n');
        const auto lf_bits = [&](const char* at) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            return static_cast<std::uint64_t>(
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, lf))));
        };
        std::int64_t offset = p - data;                     // of the next byte to take
        std::int64_t piece_start = offset - cursor.length;  // may lie in an earlier block
        std::int64_t pieces = 0;
        std::int64_t sum = 0;
        // An open piece that already holds a NUL is measured to it: the
        // bytes-by-piece path below closes it first.
        while (cursor.measured < 0 && next_nul - p >= 64 &&
               offset + 64 - piece_start < max_piece_bytes) {
            std::uint64_t mask = lf_bits(p) | lf_bits(p + 16) << 16 | lf_bits(p + 32) << 32 |
                                 lf_bits(p + 48) << 48;
            while (mask != 0) {
                const std::int64_t piece_end = offset + __builtin_ctzll(mask) + 1;
                mask &= mask - 1;
                const std::int64_t measured = piece_end - piece_start;
                ++pieces;
                sum += measured;
                if (measured < reported_lengths) ++stats.length_counts[measured];
                piece_start = piece_end;
            }
            p += 64;
            offset += 64;
        }
        cursor.length = offset - piece_start;
        stats.pieces += pieces;
        stats.measured_sum += sum;
        if (p == end) break;
#endif
        // The open piece takes bytes up to its LF or until it is full.
        const std::int64_t room = max_piece_bytes - cursor.length;
        const std::size_t span =
            static_cast<std::size_t>(std::min<std::int64_t>(room, end - p));
        const char* lf_at = static_cast<const char*>(std::memchr(p, '\n', span));
        const char* piece_end = lf_at ? lf_at + 1 : p + span;

        while (next_nul < piece_end) {
            if (cursor.measured < 0) cursor.measured = cursor.length + (next_nul - p);
            const void* found = std::memchr(next_nul + 1, '\0',
                                            static_cast<std::size_t>(end - next_nul - 1));
            next_nul = found ? static_cast<const char*>(found) : end;
        }
        cursor.length += piece_end - p;
        p = piece_end;
        if (lf_at || cursor.length == max_piece_bytes) close_piece(stats, cursor);
    }
}

void finish_pieces(PieceStats& stats, PieceCursor& cursor) {
    if (cursor.length > 0) close_piece(stats, cursor);
}

BlockSink piece_counter(PieceStats& stats, bool characters) {
    struct Counter {
        PieceStats& stats;
        PieceCursor cursor;
        std::string kept;  // a block's characters, with characters
    };
    auto counter = std::make_shared<Counter>(Counter{stats, {}, {}});
    return {[counter, characters](const char* data, std::size_t size) {
                if (characters) {
                    std::string& kept = counter->kept;
                    kept.clear();
                    for (const char* p = data; p != data + size; ++p) {
                        if ((static_cast<unsigned char>(*p) & 0xC0) != 0x80) kept += *p;
                    }
                    data = kept.data();
                    size = kept.size();
                }
                count_pieces(counter->stats, counter->cursor, data, size);
                return true;
            },
            [counter] {
                finish_pieces(counter->stats, counter->cursor);
                return true;
            }};
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
