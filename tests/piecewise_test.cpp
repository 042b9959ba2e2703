#include "ui/piecewise.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "ereader/transforms.h"
#include "tests/memory_blocks.h"

namespace parafold {
namespace {

// Streams `text` through `how` in blocks of `block_bytes`; returns the bytes
// written.
std::string stream_through(const std::string& text, const PiecewiseTransform& how,
                           std::size_t block_bytes) {
    testing::MemoryBlocks blocks;
    blocks.input = text;
    BlockSource in = blocks.source();
    BlockSink out = blocks.sink();
    EXPECT_EQ(transform_stream(in, out, how, block_bytes), Streamed::whole);
    return blocks.output;
}

// Texts made of the bytes the transforms care about, cut into blocks of every
// small size: piece by piece must give the bytes of the whole at once.
TEST(TransformStream, PiecesGiveTheWholeTextsResult) {
    std::mt19937 rng(7);
    const char alphabet[] = {'a', '.', ' ', ' ', '\r', '\n', '\n', '\0'};
    for (int round = 0; round < 300; ++round) {
        std::string text(rng() % 200, '\0');
        for (char& c : text) c = alphabet[rng() % sizeof alphabet];
        for (const std::size_t block : {1, 2, 3, 7, 64, 4096}) {
            SCOPED_TRACE("round " + std::to_string(round) + ", block " + std::to_string(block));
            EXPECT_EQ(stream_through(text, piecewise_two_lines, block), kindle_two_lines(text));
            EXPECT_EQ(stream_through(text, piecewise_indent, block), kindle_indent(text));
            EXPECT_EQ(stream_through(text, piecewise_copy, block), text);
        }
    }
}

// The places where a cut would change the result.
TEST(TransformStream, RunsThatSpanBlocksStayTogether) {
    const std::string cases[] = {
        "a \r\r\n\n \n\nb",       // CRs, spaces and LFs across many blocks
        "a\n \nb \n",             // a line of one space becomes an empty line
        "\n\n\n\n\n\n",           // only line breaks
        std::string(5000, 'x'),   // no line break at all
        "x  \n  \ny\r\n",
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        for (const std::size_t block : {1, 2, 3}) {
            EXPECT_EQ(stream_through(text, piecewise_two_lines, block), kindle_two_lines(text));
            EXPECT_EQ(stream_through(text, piecewise_indent, block), kindle_indent(text));
        }
    }
}

ByteDigest digest_in_blocks(std::string_view text, std::size_t block) {
    ByteDigest digest;
    for (std::size_t at = 0; at < text.size(); at += block) digest.add(text.substr(at, block));
    return digest;
}

// However a text is cut into blocks, its digest is the same; a text that
// differs in one byte, in the place of its bytes or in its length is not.
TEST(ByteDigest, DependsOnEveryByteAndItsPlaceNotOnTheBlocks) {
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        std::string text(rng() % 300, '\0');
        for (char& c : text) c = static_cast<char>(rng());
        SCOPED_TRACE(::testing::Message() << "round " << round);
        const ByteDigest whole = digest_in_blocks(text, text.size() + 1);
        for (const std::size_t block : {1, 3, 31, 32, 33, 64}) {
            ASSERT_TRUE(digest_in_blocks(text, block) == whole) << "blocks of " << block;
        }
        if (text.empty()) continue;
        std::string changed = text;
        changed[rng() % text.size()] ^= static_cast<char>(1 + rng() % 255);
        EXPECT_FALSE(digest_in_blocks(changed, 7) == whole);
        EXPECT_FALSE(digest_in_blocks(text + '\0', 7) == whole);
    }
    const char* const unlike[][2] = {
        {"ab", "ba"},                          // the same bytes in another order
        {"one two\nthree", "one two three"},  // a line end where a space was
        {"word\r\n", "word\n\r"},
        {"0123456789abcdef0123456789abcdefX", "0123456789abcdef0123456789abcdefY"},
    };
    for (const auto& pair : unlike) {
        SCOPED_TRACE(pair[0]);
        EXPECT_FALSE(digest_in_blocks(pair[0], 5) == digest_in_blocks(pair[1], 5));
    }
}

}  // namespace
}  // namespace parafold
