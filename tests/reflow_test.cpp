#include "engine/reflow/reflow.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/reference_join.h"
#include "tests/test_files.h"
#include "tests/utf16_text.h"

namespace parafold {
namespace {

using namespace std::string_literals;
using testing::exists;
using testing::read_file;
using testing::reference_join;
using testing::TempDir;
using testing::write_file;
std::string utf16(const std::string& text, ByteOrder order = ByteOrder::little_endian) {
    return testing::utf16_text(text, order);
}

Failure reflow(const std::string& in, const std::string& out, Width width = {}) {
    return reflow_file(in.c_str(), out.c_str(), width).failure;
}

Width at(std::int32_t columns) { return {WidthRule::given, columns}; }

// A text, the width asked for, and what the filter must write.
struct Row {
    const char* what;
    std::string in;
    Width width;
    std::string out;
};

void expect_rows(const std::vector<Row>& rows) {
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        write_file(dir.file("in.txt"), row.in);
        write_file(dir.file("out.txt"), "old contents");
        EXPECT_EQ(reflow(dir.file("in.txt"), dir.file("out.txt"), row.width), Failure::none);
        EXPECT_TRUE(read_file(dir.file("out.txt")) == row.out)
            << read_file(dir.file("out.txt")).substr(0, 80);
    }
}

TEST(ReflowFile, JoinsTheDefinedExample) {
    TempDir dir;
    write_file(dir.file("in.txt"), "Once upon a\r\ntime there\r\nwas a cat.\r\n\r\nThe end\r\n");
    EXPECT_EQ(reflow(dir.file("in.txt"), dir.file("out.txt"), at(10)), Failure::none);
    EXPECT_EQ(read_file(dir.file("out.txt")), "Once upon a time there was a cat.\n\nThe end\n");
}

// The widths a run learns first, and the empty input, which gives an empty
// output whatever the width.
TEST(ReflowFile, LearnsTheWidthItNeedsFirst) {
    expect_rows({
        // The mean piece length: (12 + 7) / 2 = 9, so the 10-byte first
        // line (without its CR LF) is joined.
        {"mean", "abcdefghij\r\nabcde\r\n", {WidthRule::mean, 0}, "abcdefghij abcde\n"},
        // The most common length from 41 (43 with CR LF) less 6: 37.
        {"most common less 6",
         std::string(41, 'a') + "\r\n" + std::string(41, 'b') + "\r\n" + std::string(37, 'c') +
             "\r\nd\r\n",
         {WidthRule::most_common_less_6, 0},
         std::string(41, 'a') + " " + std::string(41, 'b') + " " + std::string(37, 'c') + " d\n"},
        {"empty, mean", "", {WidthRule::mean, 0}, ""},
        {"empty, given", "", at(56), ""},
    });
}

// Texts in another form than 8-bit with LF: UTF-16 with a mark is joined as
// its characters and written back in its byte order with its mark; old Mac
// text (CRs and no LF at all) has each CR read as an LF; any LF keeps a
// text's CRs as they always were.
TEST(ReflowFile, ReadsEachTextInItsOwnForm) {
    const std::string accents = "\xC3\xA9t\xC3\xA9 \xC3\xA0 la mer";  // 12 characters, 15 bytes
    std::string mac_text;
    while (mac_text.size() < (600 << 10)) mac_text += "a friend\rthis line\rfiles.\r\r";
    std::string mac_as_lf = mac_text;
    for (char& c : mac_as_lf) c = c == '\r' ? '\n' : c;
    const std::string late_lf = std::string(300 << 10, 'x') + "\ry\n";
    expect_rows({
        {"UTF-16LE: lengths in characters", utf16(accents + "\r\nnext\r\n"), at(13),
         utf16(accents + "\nnext\n")},
        {"UTF-16LE: a line as long as the width", utf16(accents + "\r\nnext\r\n"), at(12),
         utf16(accents + " next\n")},
        {"UTF-16BE with an odd last byte, mean",
         utf16("abcdefghij\r\nabcde\r\n", ByteOrder::big_endian) + "!", {WidthRule::mean, 0},
         utf16("abcdefghij abcde\n", ByteOrder::big_endian) + "!"},
        {"UTF-16, the mark alone", "\xFF\xFE", at(10), "\xFF\xFE"},
        {"old Mac text", "a friend\rthis\rfiles.\rNew\r", at(5),
         "a friend this\nfiles.\nNew\n"},
        {"old Mac text beyond the first block", mac_text, at(9), reference_join(mac_as_lf, 9)},
        {"CRs with an LF after the first block keep today's bytes", late_lf, at(5),
         reference_join(late_lf, 5)},
        {"UTF-8 without a mark counts bytes", accents + "\nnext\n", at(14),
         accents + " next\n"},
    });
}

// Files far larger than the filter's block, with the special bytes placed
// on and around the block edges, give the byte-at-a-time result.
TEST(ReflowFile, BlockEdgesDoNotChangeTheOutput) {
    TempDir dir;
    constexpr std::size_t block = 1 << 20;
    const std::string specials[] = {"\r\n", "\n", "\0"s, ".", ". \r\n", "!\r", "\"\0\n"s, " \n"};
    std::mt19937 rng(7);
    for (const std::string& special : specials) {
        std::string text;
        while (text.size() < 3 * block + 100) {
            text += std::string(40 + rng() % 40, 'x');
            text += (rng() % 3 == 0) ? ".\r\n" : "\r\n";
        }
        for (std::size_t edge : {block, 2 * block}) {
            for (std::size_t back = 0; back <= special.size(); ++back) {
                text.replace(edge - back, special.size(), special);
            }
        }
        SCOPED_TRACE(::testing::Message() << "special of " << special.size() << " bytes");
        write_file(dir.file("in.txt"), text);
        ASSERT_EQ(reflow(dir.file("in.txt"), dir.file("out.txt")), Failure::none);
        EXPECT_TRUE(read_file(dir.file("out.txt")) == reference_join(text, 56));
    }
}

// Each failure is a value, and touches nothing it need not: no output is
// created when the input cannot be opened, and the input stays whole.
TEST(ReflowFile, FailuresAreValuesAndTouchNothing) {
    TempDir dir;
    const std::string in = dir.file("in.txt");
    const std::string text = "a wrapped\nline\n";
    write_file(in, text);
    write_file(dir.file("large.txt"), std::string(3 << 20, 'x'));
    std::filesystem::create_hard_link(in, dir.file("hard.txt"));
    std::filesystem::create_symlink(in, dir.file("soft.txt"));
    std::filesystem::create_directory(dir.path() / "sub");
    const struct {
        const char* what;
        std::string in, out;
        Failure failure;
    } rows[] = {
        {"missing input", dir.file("missing.txt"), dir.file("out.txt"), Failure::cant_find_input},
        {"empty input path", "", dir.file("out.txt"), Failure::cant_find_input},
        {"a folder as input", dir.path().string(), dir.file("out.txt"), Failure::cant_find_input},
        {"output in a missing folder", in, dir.file("no/such/folder/out.txt"),
         Failure::cant_create_output},
        {"a folder as output", in, dir.path().string(), Failure::cant_create_output},
        {"empty output path", in, "", Failure::cant_create_output},
        {"full disk", in, "/dev/full", Failure::cant_write_output},
        {"full disk, several blocks", dir.file("large.txt"), "/dev/full", Failure::cant_write_output},
        // The output is truncated when it is opened, so any name for the
        // input must be refused before that.
        {"output is the input", in, in, Failure::output_is_input},
        {"output is the input with a dot", in, (dir.path() / "." / "in.txt").string(),
         Failure::output_is_input},
        {"output is the input with ..", in, (dir.path() / "sub" / ".." / "in.txt").string(),
         Failure::output_is_input},
        {"output is a hard link to the input", in, dir.file("hard.txt"), Failure::output_is_input},
        {"output is a symbolic link to the input", in, dir.file("soft.txt"),
         Failure::output_is_input},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.out == "/dev/full" && !exists("/dev/full")) continue;
        EXPECT_EQ(reflow(row.in, row.out, at(56)), row.failure);
        EXPECT_EQ(read_file(in), text);
        if (row.failure == Failure::cant_find_input) {
            EXPECT_FALSE(exists(row.out));
        }
    }
}

TEST(ReflowFile, ReadOnlyInputFailsAsMissing) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write any file, so a read-only mode is moot";
    TempDir dir;
    write_file(dir.file("in.txt"), "text\n");
    std::filesystem::permissions(dir.file("in.txt"), std::filesystem::perms::owner_read);
    EXPECT_EQ(reflow(dir.file("in.txt"), dir.file("out.txt")), Failure::cant_find_input);
    EXPECT_FALSE(exists(dir.file("out.txt")));
}

// A later run starts afresh whatever state the earlier input ended in.
TEST(ReflowFile, RunsShareNoState) {
    TempDir dir;
    write_file(dir.file("a.txt"), "no line end, a full sentence.");
    write_file(dir.file("b.txt"), "short\n");
    ASSERT_EQ(reflow(dir.file("a.txt"), dir.file("a.out"), at(3)), Failure::none);
    ASSERT_EQ(reflow(dir.file("b.txt"), dir.file("b.out"), at(3)), Failure::none);
    EXPECT_EQ(read_file(dir.file("b.out")), "short ");
}

TEST(ReflowFile, OutputSizeIsInputSizeLessCrAndNul) {
    TempDir dir;
    std::mt19937 rng(11);
    std::string text(200000, '\0');
    for (char& c : text) c = "ab .\r\n\0\xC3"[rng() % 8];
    write_file(dir.file("in.txt"), text);
    ASSERT_EQ(reflow(dir.file("in.txt"), dir.file("out.txt"), at(20)), Failure::none);
    const std::string out = read_file(dir.file("out.txt"));
    std::size_t dropped = 0;
    for (char c : text) dropped += (c == '\r' || c == '\0');
    EXPECT_EQ(out.size(), text.size() - dropped);
    EXPECT_EQ(out, reference_join(text, 20));
}

}  // namespace
}  // namespace parafold
