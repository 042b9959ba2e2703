// Bit masks of bytes, sixteen at a time where the processor has SSE2 (every
// x86-64, and i686 builds that ask for it), for the reading-quality unwrap.
// One idiom each: byte_mask() turns a compare into one bit a byte,
// first_bit() finds the lowest bit set, count_bits() counts the bits set.
#pragma once

#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace parafold::simd {

// The index of the lowest bit set; `bits` must not be 0.
inline int first_bit(std::uint64_t bits) { return std::countr_zero(bits); }

// The bits set in `bits`. Written out rather than std::popcount, which
// becomes a call to a library routine where the build may not assume the
// processor's own count instruction (x86-64 without -mpopcnt, i686).
inline std::uint32_t count_bits(std::uint64_t bits) {
    bits -= (bits >> 1) & 0x5555555555555555;
    bits = (bits & 0x3333333333333333) + ((bits >> 2) & 0x3333333333333333);
    bits = (bits + (bits >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return static_cast<std::uint32_t>((bits * 0x0101010101010101) >> 56);
}

#if defined(__SSE2__)
// One bit a byte: the top bit of each of the sixteen bytes of `test`.
inline std::uint32_t byte_mask(__m128i test) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(test)) & 0xFFFF;
}

inline __m128i load16(const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// All bits set in the bytes of `chunk` equal to `byte`.
inline __m128i equal_to(__m128i chunk, char byte) {
    return _mm_cmpeq_epi8(chunk, _mm_set1_epi8(byte));
}
#endif

}  // namespace parafold::simd
