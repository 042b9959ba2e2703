#include "engine/reflow/reflow.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "tests/reference_join.h"
#include "tests/test_files.h"

namespace parafold {
namespace {

using namespace std::string_literals;
using testing::exists;
using testing::read_file;
using testing::reference_join;
using testing::TempDir;
using testing::write_file;

using testing::Outcome;

// Runs reflow_file with its messages captured.
Outcome reflow_captured(const std::string& in, const std::string& out, std::int32_t width) {
    return testing::capture([&](std::FILE* messages) {
        return reflow_file(in.c_str(), out.c_str(), width, messages);
    });
}

const char cant_find[] = "Can't find the input file.\n";
const char cant_create[] =
    "Sorry, can't create the output file. Could be write protect or no free space.\n";
const char cant_write[] =
    "Sorry, can't write the output file. Could be write protect or no free space.\n";
const char same_file_text[] = "Sorry, the output file is the input file.\n";

TEST(ReflowFile, JoinsTheDefinedExample) {
    TempDir dir;
    write_file(dir.file("in.txt"), "Once upon a\r\ntime there\r\nwas a cat.\r\n\r\nThe end\r\n");
    const Outcome run = reflow_captured(dir.file("in.txt"), dir.file("out.txt"), 10);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.messages, "");
    EXPECT_EQ(read_file(dir.file("out.txt")), "Once upon a time there was a cat.\n\nThe end\n");
}

TEST(ReflowFile, EmptyInputGivesEmptyOutputForAnyWidth) {
    TempDir dir;
    write_file(dir.file("in.txt"), "");
    for (std::int32_t width : {-1, 0, 56}) {
        write_file(dir.file("out.txt"), "old contents");
        EXPECT_EQ(reflow_captured(dir.file("in.txt"), dir.file("out.txt"), width).status, 0);
        EXPECT_EQ(read_file(dir.file("out.txt")), "");
    }
}

// Width -1 takes the mean piece length: here (12 + 7) / 2 = 9, so the
// 10-byte first line (without its CR LF) is joined.
TEST(ReflowFile, WidthMinusOneEstimatesTheMeanFirst) {
    TempDir dir;
    write_file(dir.file("in.txt"), "abcdefghij\r\nabcde\r\n");
    EXPECT_EQ(reflow_captured(dir.file("in.txt"), dir.file("out.txt"), -1).status, 0);
    EXPECT_EQ(read_file(dir.file("out.txt")), "abcdefghij abcde\n");
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
        ASSERT_EQ(reflow_captured(dir.file("in.txt"), dir.file("out.txt"), 56).status, 0);
        EXPECT_TRUE(read_file(dir.file("out.txt")) == reference_join(text, 56));
    }
}

TEST(ReflowFile, MissingInputFailsAndCreatesNoOutput) {
    TempDir dir;
    const Outcome run = reflow_captured(dir.file("missing.txt"), dir.file("out.txt"), 56);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.messages, cant_find);
    EXPECT_FALSE(exists(dir.file("out.txt")));
}

TEST(ReflowFile, UnopenableInputsFailAsMissing) {
    TempDir dir;
    for (const std::string& input : {""s, dir.path().string()}) {
        SCOPED_TRACE("input \"" + input + "\"");
        const Outcome run = reflow_captured(input, dir.file("out.txt"), 56);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.messages, cant_find);
        EXPECT_FALSE(exists(dir.file("out.txt")));
    }
}

TEST(ReflowFile, ReadOnlyInputFailsAsMissing) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write any file, so a read-only mode is moot";
    TempDir dir;
    write_file(dir.file("in.txt"), "text\n");
    std::filesystem::permissions(dir.file("in.txt"), std::filesystem::perms::owner_read);
    const Outcome run = reflow_captured(dir.file("in.txt"), dir.file("out.txt"), 56);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.messages, cant_find);
    EXPECT_FALSE(exists(dir.file("out.txt")));
}

TEST(ReflowFile, OutputThatCannotBeCreatedFails) {
    TempDir dir;
    write_file(dir.file("in.txt"), "text\n");
    for (const std::string& output : {dir.file("no/such/folder/out.txt"), dir.path().string(), ""s}) {
        SCOPED_TRACE("output \"" + output + "\"");
        const Outcome run = reflow_captured(dir.file("in.txt"), output, 56);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.messages, cant_create);
    }
    EXPECT_EQ(read_file(dir.file("in.txt")), "text\n");
}

TEST(ReflowFile, FullDiskIsAFailure) {
    if (!exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    TempDir dir;
    write_file(dir.file("small.txt"), "a few bytes\n");
    write_file(dir.file("large.txt"), std::string(3 << 20, 'x'));
    for (const char* name : {"small.txt", "large.txt"}) {
        SCOPED_TRACE(name);
        const Outcome run = reflow_captured(dir.file(name), "/dev/full", 56);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.messages, cant_write);
    }
}

// The output is truncated when it is opened, so any name for the input
// must be refused before that, leaving the input whole.
TEST(ReflowFile, RefusesTheInputAsOutputByAnyName) {
    TempDir dir;
    const std::string in = dir.file("in.txt");
    const std::string text = "a wrapped\nline\n";
    write_file(in, text);
    std::filesystem::create_hard_link(in, dir.file("hard.txt"));
    std::filesystem::create_symlink(in, dir.file("soft.txt"));
    const std::string spellings[] = {
        in, (dir.path() / "." / "in.txt").string(), (dir.path() / "sub" / ".." / "in.txt").string(),
        dir.file("hard.txt"), dir.file("soft.txt")};
    std::filesystem::create_directory(dir.path() / "sub");
    for (const std::string& output : spellings) {
        SCOPED_TRACE(output);
        const Outcome run = reflow_captured(in, output, 56);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.messages, same_file_text);
        EXPECT_EQ(read_file(in), text);
    }
}

// A later run starts afresh whatever state the earlier input ended in.
TEST(ReflowFile, RunsShareNoState) {
    TempDir dir;
    write_file(dir.file("a.txt"), "no line end, a full sentence.");
    write_file(dir.file("b.txt"), "short\n");
    ASSERT_EQ(reflow_captured(dir.file("a.txt"), dir.file("a.out"), 3).status, 0);
    ASSERT_EQ(reflow_captured(dir.file("b.txt"), dir.file("b.out"), 3).status, 0);
    EXPECT_EQ(read_file(dir.file("b.out")), "short ");
}

TEST(ReflowFile, OutputSizeIsInputSizeLessCrAndNul) {
    TempDir dir;
    std::mt19937 rng(11);
    std::string text(200000, '\0');
    for (char& c : text) c = "ab .\r\n\0\xC3"[rng() % 8];
    write_file(dir.file("in.txt"), text);
    ASSERT_EQ(reflow_captured(dir.file("in.txt"), dir.file("out.txt"), 20).status, 0);
    const std::string out = read_file(dir.file("out.txt"));
    std::size_t dropped = 0;
    for (char c : text) dropped += (c == '\r' || c == '\0');
    EXPECT_EQ(out.size(), text.size() - dropped);
    EXPECT_EQ(out, reference_join(text, 20));
}

TEST(ReflowFile, DefaultOverloadWritesMessagesToStandardOutput) {
    TempDir dir;
    ::testing::internal::CaptureStdout();
    const int status = reflow_file(dir.file("missing.txt").c_str(), dir.file("o.txt").c_str(), 56);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), cant_find);
    EXPECT_EQ(status, 1);
}

}  // namespace
}  // namespace parafold
