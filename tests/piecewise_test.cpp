#include "ui/piecewise.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "ereader/transforms.h"

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

}  // namespace
}  // namespace parafold
