#include "ui/piecewise.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ereader/transforms.h"

namespace parafold {
namespace {

// The greatest p in [max(from, 1), size) where text[p - 1] is LF and
// `keeps_apart(text[p])` holds.
template <typename KeepsApart>
std::size_t last_cut_after_lf(std::string_view text, std::size_t from, KeepsApart keeps_apart) {
    for (std::size_t p = text.size(); p-- > std::max<std::size_t>(from, 1);)
        if (text[p - 1] == '\n' && keeps_apart(text[p])) return p;
    return 0;
}

std::size_t any_cut(std::string_view text, std::size_t from) {
    return text.size() > from ? text.size() : 0;
}

std::size_t indent_cut(std::string_view text, std::size_t from) {
    return last_cut_after_lf(text, from, [](char) { return true; });
}

std::size_t two_lines_cut(std::string_view text, std::size_t from) {
    return last_cut_after_lf(text, from, [](char next) { return next != '\n' && next != '\r'; });
}

bool write_all(std::FILE* out, std::string_view bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

}  // namespace

const PiecewiseTransform piecewise_copy{nullptr, any_cut};
// The overloads that write over a buffer of the caller's.
const PiecewiseTransform piecewise_two_lines{kindle_two_lines, two_lines_cut};
const PiecewiseTransform piecewise_indent{kindle_indent, indent_cut};

void JoinDigest::add(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
#if defined(__SSE2__)
    // Sixteen bytes a step: LF becomes a space, CR and NUL become 0 and are
    // counted as dropped. The squares are summed in 32-bit lanes, flushed
    // before they could overflow (a lane takes at most 4 * 255 * 255 a step).
    const __m128i zero = _mm_setzero_si128();
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i space = _mm_set1_epi8(' ');
    while (end - p >= 16) {
        const std::size_t steps = std::min<std::size_t>(static_cast<std::size_t>(end - p) / 16, 4096);
        const char* const stop = p + steps * 16;
        __m128i sums = zero;
        __m128i squares = zero;
        std::uint64_t dropped = 0;
        for (; p < stop; p += 16) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i is_lf = _mm_cmpeq_epi8(v, lf);
            const __m128i is_dropped = _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, zero));
            v = _mm_or_si128(_mm_andnot_si128(is_lf, v), _mm_and_si128(is_lf, space));
            v = _mm_andnot_si128(is_dropped, v);
            dropped += static_cast<unsigned>(__builtin_popcount(
                static_cast<unsigned>(_mm_movemask_epi8(is_dropped))));
            sums = _mm_add_epi64(sums, _mm_sad_epu8(v, zero));
            const __m128i low = _mm_unpacklo_epi8(v, zero);
            const __m128i high = _mm_unpackhi_epi8(v, zero);
            squares = _mm_add_epi32(
                squares, _mm_add_epi32(_mm_madd_epi16(low, low), _mm_madd_epi16(high, high)));
        }
        alignas(16) std::uint64_t sum_lanes[2];
        alignas(16) std::uint32_t square_lanes[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(sum_lanes), sums);
        _mm_store_si128(reinterpret_cast<__m128i*>(square_lanes), squares);
        bytes += steps * 16 - dropped;
        sum += sum_lanes[0] + sum_lanes[1];
        for (const std::uint32_t lane : square_lanes) sum_of_squares += lane;
    }
#endif
    for (; p < end; ++p) {
        const char c = *p;
        if (c == '\r' || c == '\0') continue;
        const std::uint64_t byte = c == '\n' ? ' ' : static_cast<unsigned char>(c);
        ++bytes;
        sum += byte;
        sum_of_squares += byte * byte;
    }
}

Streamed transform_stream(std::FILE* in, std::FILE* out, const PiecewiseTransform& how,
                          std::size_t block_bytes, JoinDigest* of_read, JoinDigest* of_written) {
    // Bytes read but not yet written are pending[0, filled); only the bytes
    // after `searched` may hold a cut not yet found, so the search never goes
    // over a byte twice. Both buffers only grow and are reused from piece to
    // piece, so that a block costs neither an allocation nor clearing memory.
    std::string pending;
    std::size_t filled = 0;
    std::size_t searched = 0;
    std::string result;
    for (;;) {
        if (pending.size() - filled < block_bytes) {
            pending.resize(std::max(filled + block_bytes, 2 * pending.size()));
        }
        const std::size_t got = std::fread(pending.data() + filled, 1, block_bytes, in);
        filled += got;
        const bool at_end = got < block_bytes;
        if (at_end && std::ferror(in)) return Streamed::read_failed;

        const std::string_view read(pending.data(), filled);
        const std::size_t cut = at_end ? filled : how.last_cut(read, searched);
        if (cut != 0) {
            const std::string_view piece = read.substr(0, cut);
            if (how.transform != nullptr) how.transform(piece, result);
            const std::string_view written = how.transform != nullptr ? result : piece;
            if (of_read) of_read->add(piece);
            if (of_written) of_written->add(written);
            if (!write_all(out, written)) return Streamed::write_failed;
            std::memmove(pending.data(), pending.data() + cut, filled - cut);
            filled -= cut;
        }
        searched = filled;
        if (at_end) return Streamed::whole;
    }
}

}  // namespace parafold
