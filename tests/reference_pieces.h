// The width estimates exactly as they are defined, one byte at a time: the
// yardstick that the block-wise piece counter is measured against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace parafold::testing {

// The measured length of every piece, in order: a piece runs up to and
// including the next LF, but at most 99,999 bytes; it measures the bytes
// before its first NUL (all of them when it has none).
inline std::vector<std::int64_t> reference_pieces(const std::string& text) {
    constexpr std::int64_t max_piece = 99'999;
    std::vector<std::int64_t> measured;
    std::int64_t length = 0, nul_at = -1;
    for (const char c : text) {
        if (c == '\0' && nul_at < 0) nul_at = length;
        ++length;
        if (c == '\n' || length == max_piece) {
            measured.push_back(nul_at >= 0 ? nul_at : length);
            length = 0;
            nul_at = -1;
        }
    }
    if (length > 0) measured.push_back(nul_at >= 0 ? nul_at : length);
    return measured;
}

// Both estimates and the length report, worked out from the pieces.
struct ReferenceEstimates {
    std::int64_t pieces = 0;
    std::int64_t measured_sum = 0;
    std::vector<std::int64_t> counts = std::vector<std::int64_t>(255, 0);  // lengths 0 to 254
    std::int32_t mean = 0;         // truncated; 0 when there are no pieces
    std::int32_t most_common = 0;  // from 41 to 254, the shortest of equals; 0 if none
    std::string report;            // 255 lines "length:count"
};

inline ReferenceEstimates reference_estimates(const std::string& text) {
    ReferenceEstimates r;
    for (const std::int64_t m : reference_pieces(text)) {
        ++r.pieces;
        r.measured_sum += m;
        if (m < 255) ++r.counts[static_cast<std::size_t>(m)];
    }
    if (r.pieces > 0) r.mean = static_cast<std::int32_t>(r.measured_sum / r.pieces);
    std::int64_t best_count = 0;
    for (std::int32_t length = 0; length < 255; ++length) {
        const std::int64_t count = r.counts[static_cast<std::size_t>(length)];
        r.report += std::to_string(length) + ":" + std::to_string(count) + "\n";
        if (count > best_count && length > 40) {
            r.most_common = length;
            best_count = count;
        }
    }
    return r;
}

}  // namespace parafold::testing
