// Text in UTF-16 with a byte-order mark, as Windows editors save "Unicode"
// text, carried through code that works on 8-bit text.
//
// The decoder turns UTF-16 into UTF-8 and the encoder turns it back, both
// streaming, so a text can be unwrapped in UTF-8 (where each character is
// one column and ASCII bytes mean what they say) and written in the
// encoding it came in. Every sequence of 16-bit units survives the round
// trip: a surrogate without its partner is written as the three bytes of
// its own code point, as UTF-8 would write any other, and the encoder
// turns those bytes back into the same unit. Only the work in between may
// change the text, and it changes only ASCII bytes, which never occur
// inside a character's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/io/blocks.h"

namespace parafold {

enum class ByteOrder { little_endian, big_endian };

inline constexpr std::size_t utf16_mark_bytes = 2;

// The byte order that a text's first bytes announce: FF FE little-endian,
// FE FF big-endian. False when `start` begins with neither mark.
bool utf16_mark(std::string_view start, ByteOrder& order);

// The mark itself, for the start of an output.
std::string_view utf16_mark_of(ByteOrder order);

struct Utf16Decoder {
    ByteOrder order = ByteOrder::little_endian;
    int odd_byte = -1;           // the first byte of a unit split by the input's pieces
    std::uint32_t high_unit = 0; // a high surrogate waiting for its low half, or 0
};

// Appends to `out` the UTF-8 for `size` more bytes of UTF-16 (the mark
// already taken off).
void decode_utf16(Utf16Decoder& decoder, const char* data, std::size_t size, std::string& out);

// Ends the input: writes a high surrogate still waiting. Returns the odd
// byte that a text of odd length ends with, or -1; it is no character, and
// a caller that keeps every byte writes it back as it was.
int finish_utf16(Utf16Decoder& decoder, std::string& out);

struct Utf16Encoder {
    ByteOrder order = ByteOrder::little_endian;
    unsigned char held[4] = {};  // the first bytes of a character split by the input's pieces
    std::size_t held_size = 0;
};

// Appends to `out` the UTF-16 for `size` more bytes of UTF-8. A byte that
// starts no character (UTF-8 that this decoder did not write) becomes
// U+FFFD, the replacement character.
void encode_utf16(Utf16Encoder& encoder, const char* data, std::size_t size, std::string& out);

// Ends the input: a character left unfinished becomes U+FFFD.
void finish_encode_utf16(Utf16Encoder& encoder, std::string& out);

// What the decoding layer found, for the encoding layer on the way out.
struct Utf16Found {
    bool utf16 = false;  // the text began with a UTF-16 mark
    ByteOrder order = ByteOrder::little_endian;
    int odd_byte = -1;   // a last byte without its partner, to be written back
};

// A layer over `below` that gives a text that begins with a UTF-16 mark as
// UTF-8, without the mark, and any other text as it is; `found` says which
// once the first block was read. It can rewind when `below` can.
BlockSource utf16_decoding(BlockSource& below, Utf16Found& found);

// A layer over `below` that writes UTF-8 as UTF-16 with its mark, in the
// byte order `found` gives, when `found` is a UTF-16 text (its odd last
// byte, if any, at the end); otherwise the bytes as they are.
BlockSink utf16_encoding(BlockSink& below, const Utf16Found& found);

}  // namespace parafold
