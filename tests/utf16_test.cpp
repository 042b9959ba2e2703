#include "engine/io/utf16.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace parafold {
namespace {

using namespace std::string_literals;

std::string decode_all(ByteOrder order, const std::string& bytes, int* odd = nullptr) {
    Utf16Decoder decoder;
    decoder.order = order;
    std::string out;
    decode_utf16(decoder, bytes.data(), bytes.size(), out);
    const int last = finish_utf16(decoder, out);
    if (odd) *odd = last;
    return out;
}

std::string encode_all(ByteOrder order, const std::string& text) {
    Utf16Encoder encoder;
    encoder.order = order;
    std::string out;
    encode_utf16(encoder, text.data(), text.size(), out);
    finish_encode_utf16(encoder, out);
    return out;
}

// Known characters each way, in both byte orders.
TEST(Utf16, DecodesAndEncodesKnownCharacters) {
    struct Row {
        const char* name;
        std::string little_endian;  // UTF-16LE
        std::string utf8;
    };
    const std::vector<Row> rows = {
        {"ASCII and a line end", "a\0 \0\n\0"s, "a \n"},
        {"NUL is a character", "\0\0"s, "\0"s},
        {"two-byte UTF-8", "\xE9\x00"s, "\xC3\xA9"},
        {"three-byte UTF-8", "\xAC\x20", "\xE2\x82\xAC"},
        {"a surrogate pair", "\x3D\xD8\x00\xDE"s, "\xF0\x9F\x98\x80"},
        {"a high surrogate alone", "\x3D\xD8 \0"s, "\xED\xA0\xBD "},
        {"a low surrogate alone", "\x00\xDE"s, "\xED\xB8\x80"},
        {"a high surrogate at the end", "\x3D\xD8", "\xED\xA0\xBD"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string big_endian = row.little_endian;
        for (std::size_t i = 0; i + 1 < big_endian.size(); i += 2)
            std::swap(big_endian[i], big_endian[i + 1]);
        EXPECT_EQ(decode_all(ByteOrder::little_endian, row.little_endian), row.utf8);
        EXPECT_EQ(decode_all(ByteOrder::big_endian, big_endian), row.utf8);
        EXPECT_EQ(encode_all(ByteOrder::little_endian, row.utf8), row.little_endian);
        EXPECT_EQ(encode_all(ByteOrder::big_endian, row.utf8), big_endian);
    }
}

// Bytes that are no UTF-8 this decoder writes become U+FFFD, one for each
// byte that starts nothing, and the text after them is kept.
TEST(Utf16, EncodesStrayBytesAsReplacementCharacters) {
    struct Row {
        const char* name;
        std::string utf8;
        std::string little_endian;
    };
    const std::vector<Row> rows = {
        {"a lone continuation byte", "\x80" "a", "\xFD\xFF" "a\0"s},
        {"an overlong form", "\xC0\xAF", "\xFD\xFF\xFD\xFF"},
        {"a lead byte before ASCII", "\xE2" "a", "\xFD\xFF" "a\0"s},
        {"a character cut by the end", "\xE2\x82", "\xFD\xFF"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xFD\xFF\xFD\xFF\xFD\xFF\xFD\xFF"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(encode_all(ByteOrder::little_endian, row.utf8), row.little_endian);
    }
}

// Any UTF-16, cut into pieces anywhere, comes back unit for unit; an odd
// last byte is handed back to the caller.
TEST(Utf16, AnyUnitsSurviveTheRoundTripInPieces) {
    std::mt19937 rng(16);
    for (int round = 0; round < 2000; ++round) {
        std::string units;
        const int count = static_cast<int>(rng() % 40);
        for (int i = 0; i < count; ++i) {
            // Mostly the troublesome ranges: ASCII, surrogates, the rest.
            static const std::uint32_t low[] = {0, 0x80, 0xD800, 0xDC00, 0xE000};
            static const std::uint32_t span[] = {0x80, 0x780, 0x400, 0x400, 0x2000};
            const int kind = static_cast<int>(rng() % 5);
            const std::uint32_t unit = low[kind] + rng() % span[kind];
            units += static_cast<char>(unit & 0xFF);
            units += static_cast<char>(unit >> 8);
        }
        const bool odd = rng() % 4 == 0;
        if (odd) units += 'x';
        SCOPED_TRACE(round);

        // Hands `text` over in pieces of 0 to 4 bytes.
        const auto in_pieces = [&rng](const std::string& text, auto&& take) {
            for (std::size_t at = 0; at < text.size();) {
                const std::size_t piece = std::min<std::size_t>(rng() % 5, text.size() - at);
                take(text.data() + at, piece);
                at += piece;
            }
        };
        Utf16Decoder decoder;
        std::string utf8;
        in_pieces(units, [&](const char* data, std::size_t size) {
            decode_utf16(decoder, data, size, utf8);
        });
        const int last = finish_utf16(decoder, utf8);
        EXPECT_EQ(last, odd ? 'x' : -1);
        EXPECT_EQ(utf8, decode_all(ByteOrder::little_endian, units));

        Utf16Encoder encoder;
        std::string back;
        in_pieces(utf8, [&](const char* data, std::size_t size) {
            encode_utf16(encoder, data, size, back);
        });
        finish_encode_utf16(encoder, back);
        if (odd) back += 'x';
        EXPECT_EQ(back, units);
    }
}

TEST(Utf16, ReadsTheByteOrderMark) {
    ByteOrder order = ByteOrder::big_endian;
    EXPECT_TRUE(utf16_mark("\xFF\xFEh\0", order));
    EXPECT_EQ(order, ByteOrder::little_endian);
    EXPECT_TRUE(utf16_mark("\xFE\xFF", order));
    EXPECT_EQ(order, ByteOrder::big_endian);
    EXPECT_FALSE(utf16_mark("\xEF\xBB\xBF", order));
    EXPECT_FALSE(utf16_mark("\xFF", order));
    EXPECT_EQ(utf16_mark_of(ByteOrder::little_endian), "\xFF\xFE");
}

}  // namespace
}  // namespace parafold
