#include "engine/io/digest.h"

#include <cstring>

namespace parafold {
namespace {

// Mixes one chunk of 32 bytes into the lanes. Each step is a bijection of
// the lane for a given word, so two streams that differ in one word differ
// in that lane from there on.
inline void mix_chunk(std::uint64_t (&lanes)[4], const unsigned char* chunk) {
    constexpr std::uint64_t odd = 0x9E3779B97F4A7C15;
    for (int lane = 0; lane < 4; ++lane) {
        std::uint64_t word;
        std::memcpy(&word, chunk + 8 * lane, sizeof word);
        std::uint64_t mixed = (lanes[lane] ^ word) * odd;
        lanes[lane] = mixed ^ (mixed >> 29);
    }
}

}  // namespace

void ByteDigest::add(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t left = text.size();
    std::size_t held = static_cast<std::size_t>(bytes % chunk_bytes);
    bytes += left;
    if (held != 0) {
        const std::size_t take = left < chunk_bytes - held ? left : chunk_bytes - held;
        std::memcpy(pending + held, p, take);
        p += take;
        left -= take;
        held += take;
        if (held < chunk_bytes) return;
        mix_chunk(lanes, pending);
    }
    for (; left >= chunk_bytes; p += chunk_bytes, left -= chunk_bytes) mix_chunk(lanes, p);
    if (left != 0) std::memcpy(pending, p, left);
}

bool ByteDigest::operator==(const ByteDigest& other) const {
    return bytes == other.bytes &&
           std::memcmp(lanes, other.lanes, sizeof lanes) == 0 &&
           std::memcmp(pending, other.pending, static_cast<std::size_t>(bytes % chunk_bytes)) == 0;
}

}  // namespace parafold
