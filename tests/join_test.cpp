#include "engine/reflow/join.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/reference_join.h"
#include "tests/reference_transforms.h"

namespace parafold {
namespace {

using namespace std::string_literals;
using testing::reference_join;
using testing::reference_kindle_indent;
using testing::reference_kindle_two_lines;

// Feeds `in` in pieces of `chunk` bytes, through a separate output buffer
// of the room a piece needs.
std::string join_in_chunks(const std::string& in, std::int32_t width, std::size_t chunk,
                           bool indent = false, bool two_lines = false) {
    JoinState state;
    std::string out;
    for (std::size_t at = 0; at < in.size(); at += chunk) {
        const std::size_t n = std::min(chunk, in.size() - at);
        std::string buffer(join_lines_room(n, indent), '\0');
        buffer.resize(
            join_lines(state, width, in.data() + at, n, buffer.data(), false, indent, two_lines));
        out += buffer;
    }
    char last[join_lines_end_room];
    return out + std::string(last, join_lines_end(state, last, indent));
}

// Feeds `in` whole, into an output buffer of exactly its size.
std::string join_whole(const std::string& in, std::int32_t width) {
    JoinState state;
    std::string out(in.size(), '\0');
    out.resize(join_lines(state, width, in.data(), in.size(), out.data()));
    return out;
}

struct JoinCase {
    std::int32_t width;
    std::string in;
    std::string out;
};

TEST(JoinLines, DefinedExamples) {
    const JoinCase cases[] = {
        {10, "Once upon a\r\ntime there\r\nwas a cat.\r\n\r\nThe end\r\n",
         "Once upon a time there was a cat.\n\nThe end\n"},
        {10, "aaaaaaaaaaaa\r\n", "aaaaaaaaaaaa "},
        {10, "abc", "abc"},
        {5, "Why not?\r\nBecause\r\n", "Why not? Because "},
        {3, "a\rb\0c\r\n"s, "abc "},
        {0, "ab\r\n\r\ncd.\r\nef\r\n", "ab  cd.\nef "},
        {10, "\xFF\xFEH\0i\0.\0\r\0\n\0"s, "\xFF\xFEHi.\n"},
        // A line one byte short of the width keeps its break; one as long is joined.
        {10, "123456789\nx", "123456789\nx"},
        {10, "1234567890\nx", "1234567890 x"},
        // Trailing spaces keep a sentence end; a TAB does not.
        {4, "end.   \nx", "end.   \nx"},
        {4, "end.\t\nx", "end.\t x"},
        // Question mark, comma and apostrophe are ordinary bytes.
        {4, "what?\nx", "what? x"},
        {3, "so,\nx", "so, x"},
        {4, "it's'\nx", "it's' x"},
        {4, "\"hi\"\nx", "\"hi\"\nx"},
        {4, "wow!\nx", "wow!\nx"},
        // A blank line keeps its break for any positive width, not for 0 or less.
        {1, "\n\n", "\n\n"},
        {0, "\n\n", "  "},
        {-7, "a\nb.\n", "a b.\n"},
        // Lines ended by CR alone run together.
        {10, "one\rtwo\r", "onetwo"},
        // Bytes from 0x80 up count one each and clear the flag.
        {2, "\xC3\xA9\nx", "\xC3\xA9 x"},
        {-2147483647 - 1, "a\n", "a "},
        {2147483647, "a\n", "a\n"},
        {10, "", ""},
    };
    for (const JoinCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "width " << c.width << " input \"" << c.in << "\"");
        EXPECT_EQ(reference_join(c.in, c.width), c.out);
        EXPECT_EQ(join_whole(c.in, c.width), c.out);
        EXPECT_EQ(join_in_chunks(c.in, c.width, 1), c.out);
    }
}

// Cutting the stream anywhere gives the defined result.
TEST(JoinLines, MatchesReferenceOnRandomTextsAndAnyChunking) {
    const char specials[] = {'\n', '\r', '\0'};
    const char ordinary[] = {' ', '.', '!', '"', '?', '\t', '\xFF', 'a', 'b'};
    std::mt19937 rng(20261208);
    for (int round = 0; round < 3000; ++round) {
        // From dense line ends down to long runs without any, so that both
        // the chunked and the byte-wise paths meet every byte in every place.
        const unsigned special_per_mille = 20 + rng() % 480;
        std::string text(rng() % 400, '\0');
        for (char& c : text) {
            c = (rng() % 1000 < special_per_mille) ? specials[rng() % sizeof specials]
                                                   : ordinary[rng() % sizeof ordinary];
        }
        const std::int32_t width = static_cast<std::int32_t>(rng() % 40) - 2;
        const std::size_t chunk = 1 + rng() % 120;
        SCOPED_TRACE(::testing::Message() << "round " << round);
        const std::string expected = reference_join(text, width);
        ASSERT_EQ(join_whole(text, width), expected);
        ASSERT_EQ(join_in_chunks(text, width, chunk), expected);
        // "Kindle Indent" in the same pass.
        ASSERT_EQ(join_in_chunks(text, width, chunk, true), reference_kindle_indent(expected));
        // "Kindle 2 Lines" in the same pass, with and without the indent, in
        // pieces and whole (where the sixty-four-byte path runs).
        const std::string two_lines = reference_join(reference_kindle_two_lines(text), width);
        for (const std::size_t piece : {chunk, text.size() + 1}) {
            ASSERT_EQ(join_in_chunks(text, width, piece, false, true), two_lines);
            ASSERT_EQ(join_in_chunks(text, width, piece, true, true),
                      reference_kindle_indent(two_lines));
        }
    }
}

}  // namespace
}  // namespace parafold
