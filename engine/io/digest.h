// A digest of a byte stream, for telling whether two ends of a hand-over
// saw the same bytes: the pipeline sums what it writes into a temporary
// file, a filter sums what it reads from it, and a difference means that
// another run changed the file in between.
//
// The digest depends on every byte and its place, and not on how the
// stream was cut into blocks: adding "ab" then "c" gives what "abc" gives.
// It guards against accidents, not against a text made to match.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace parafold {

struct ByteDigest {
    static constexpr std::size_t chunk_bytes = 32;

    std::uint64_t bytes = 0;  // how many bytes were added
    // Four lanes, each mixing every fourth 8-byte word of the whole chunks.
    std::uint64_t lanes[4] = {0x243F6A8885A308D3, 0x13198A2E03707344, 0xA4093822299F31D0,
                              0x082EFA98EC4E6C89};
    // The bytes of the last chunk, not yet whole: the first bytes % 32.
    unsigned char pending[chunk_bytes] = {};

    void add(std::string_view text);
    bool operator==(const ByteDigest& other) const;
};

}  // namespace parafold
