#include "engine/reflow/estimate.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/reflow/pieces.h"
#include "tests/reference_pieces.h"
#include "tests/test_files.h"
#include "tests/utf16_text.h"

namespace parafold {
namespace {

using namespace std::string_literals;
using testing::reference_pieces;
using testing::TempDir;
using testing::write_file;
std::string utf16(const std::string& text) { return testing::utf16_text(text); }

std::string lines(int count, int letters, const std::string& end) {
    std::string text;
    for (int i = 0; i < count; ++i) text += std::string(letters, 'x') + end;
    return text;
}

struct Estimates {
    std::int32_t mean;
    std::int32_t most_common;
};

Estimates estimate(const std::string& text) {
    TempDir dir;
    write_file(dir.file("in.txt"), text);
    return {average_line_length(dir.file("in.txt").c_str()),
            most_common_line_length(dir.file("in.txt").c_str())};
}

TEST(Estimates, DefinedExamples) {
    const struct {
        std::string text;
        std::int32_t mean, most_common;
    } cases[] = {
        {"abcdefghij\r\nabcde\r\n", 9, 0},
        {lines(3, 56, "\r\n") + lines(1, 10, "\r\n") + lines(3, 45, "\r\n"), 46, 47},
        {"abc", 3, 0},
        {"", 0, 0},
        // The smallest and largest lengths that can be chosen, and the two just outside.
        {lines(1, 40, "\n"), 41, 41},
        {lines(1, 39, "\n"), 40, 0},
        {lines(1, 253, "\n"), 254, 254},
        {lines(1, 254, "\n"), 255, 0},
        // NUL ends the measure of its piece; a piece starting with NUL measures 0.
        {"ab\0cdef\n\0xyz\n"s, 1, 0},
        {lines(2, 50, "\n") + lines(3, 60, "\n"), 57, 61},
        {lines(3, 60, "\n") + lines(3, 50, "\n"), 56, 51},
        // UTF-16 measures characters; old Mac text has its CRs as LFs.
        {utf16(lines(3, 56, "\r\n") + lines(1, 10, "\r\n") + lines(3, 45, "\r\n")), 46, 47},
        {lines(3, 50, "\r") + "end.\r", 39, 51},
        {lines(3, 50, "\r") + "end.\n", 158, 158},  // an LF: the CRs stay in the line
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "text of " << c.text.size() << " bytes");
        const Estimates got = estimate(c.text);
        EXPECT_EQ(got.mean, c.mean);
        EXPECT_EQ(got.most_common, c.most_common);
    }
}

TEST(Estimates, LongLineIsReadAsSeveralPieces) {
    // 250,000 bytes with the LF: pieces of 99,999, 99,999 and 50,002.
    const std::string text = std::string(249999, 'x') + "\n";
    EXPECT_EQ(reference_pieces(text), (std::vector<std::int64_t>{99999, 99999, 50002}));
    EXPECT_EQ(estimate(text).mean, 250000 / 3);
}

TEST(Estimates, ReportHas255LinesOfLengthAndCount) {
    TempDir dir;
    write_file(dir.file("in.txt"),
               lines(3, 56, "\r\n") + lines(1, 10, "\r\n") + lines(3, 45, "\r\n"));
    PieceStats stats;
    ASSERT_TRUE(measure_file(dir.file("in.txt").c_str(), stats));
    const std::string report = testing::capture([&](std::FILE* to) {
        write_length_report(stats, to);
        return 0;
    }).messages;
    std::string expected;
    for (int length = 0; length <= 254; ++length) {
        const int count = (length == 12) ? 1 : (length == 47 || length == 58) ? 3 : 0;
        expected += std::to_string(length) + ":" + std::to_string(count) + "\n";
    }
    EXPECT_EQ(report, expected);
}

// Fed in blocks cut anywhere, the counts equal the byte-at-a-time pieces.
TEST(Estimates, PiecesMatchReferenceUnderAnyBlocking) {
    std::mt19937 rng(99);
    for (int round = 0; round < 400; ++round) {
        // Mostly short texts of a small alphabet, sometimes with lines past 99,999.
        std::string text;
        const int parts = 1 + static_cast<int>(rng() % 30);
        for (int i = 0; i < parts; ++i) {
            const char c = "ab\n\0\r"[rng() % 5];
            const std::size_t run = (rng() % 50 == 0) ? 90000 + rng() % 30000 : 1 + rng() % 80;
            text.append(run, c == '\n' || c == '\0' ? c : 'a');
            if (rng() % 2) text += '\n';
        }
        PieceStats expected;
        for (std::int64_t m : reference_pieces(text)) {
            ++expected.pieces;
            expected.measured_sum += m;
            if (m < reported_lengths) ++expected.length_counts[m];
        }
        PieceStats got;
        PieceCursor cursor;
        const std::size_t block = 1 + rng() % 70000;
        for (std::size_t at = 0; at < text.size(); at += block) {
            count_pieces(got, cursor, text.data() + at, std::min(block, text.size() - at));
        }
        finish_pieces(got, cursor);
        SCOPED_TRACE(::testing::Message() << "round " << round << ", block " << block);
        ASSERT_EQ(got.pieces, expected.pieces);
        ASSERT_EQ(got.measured_sum, expected.measured_sum);
        for (int length = 0; length < reported_lengths; ++length) {
            ASSERT_EQ(got.length_counts[length], expected.length_counts[length]) << length;
        }
        ASSERT_EQ(mean_length(got), mean_length(expected));
        ASSERT_EQ(most_common_length(got), most_common_length(expected));
    }
}

}  // namespace
}  // namespace parafold
