#include "ui/piecewise.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "ereader/transforms.h"
#include "tests/reference_join.h"

namespace parafold {
namespace {

// Streams `text` through `how` in blocks of `block_bytes`; returns the bytes
// written.
std::string stream_through(const std::string& text, const PiecewiseTransform& how,
                           std::size_t block_bytes) {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), in);
    std::rewind(in);
    EXPECT_EQ(transform_stream(in, out, how, block_bytes), Streamed::whole);
    std::string result(static_cast<std::size_t>(std::ftell(out)), '\0');
    std::rewind(out);
    EXPECT_EQ(std::fread(result.data(), 1, result.size(), out), result.size());
    std::fclose(in);
    std::fclose(out);
    return result;
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

JoinDigest digest_of(std::string_view text) {
    JoinDigest digest;
    digest.add(text);
    return digest;
}

// The filter keeps the sums whatever the width; a different text of the same
// length, or the same bytes with a CR or NUL dropped and another byte added,
// does not.
TEST(JoinDigest, FilterKeepsItAndOtherTextsDoNot) {
    std::mt19937 rng(5);
    const char alphabet[] = {'\n', '\r', '\0', ' ', '.', 'a', 'b', '\xFF'};
    for (int round = 0; round < 500; ++round) {
        std::string text(rng() % 2000, '\0');
        for (char& c : text) c = alphabet[rng() % sizeof alphabet];
        const std::int32_t width = static_cast<std::int32_t>(rng() % 20) - 2;
        SCOPED_TRACE(::testing::Message() << "round " << round);
        ASSERT_EQ(digest_of(text), digest_of(testing::reference_join(text, width)));
    }
    EXPECT_FALSE(digest_of("A word\r\n") == digest_of("B word\r\n"));
    EXPECT_FALSE(digest_of("ab") == digest_of("ab\r "));  // a CR dropped, a space added
    EXPECT_FALSE(digest_of("ad") == digest_of("bc"));  // same sum, not the same squares

    // Far more of the largest byte than one run of lanes may hold unflushed.
    const std::string high(1'000'003, '\xFF');
    const JoinDigest big = digest_of(high);
    EXPECT_EQ(big.bytes, high.size());
    EXPECT_EQ(big.sum, high.size() * 255);
    EXPECT_EQ(big.sum_of_squares, high.size() * 255 * 255);
}

}  // namespace
}  // namespace parafold
