// Files and lines past what 32 bits count, through the plain road. Slow
// (gigabytes of I/O), so they carry the CTest label "slow".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>

#include "engine/reflow/estimate.h"
#include "engine/reflow/reflow.h"
#include "tests/reference_join.h"
#include "tests/robust_support.h"
#include "tests/test_files.h"
#include "tests/work_dir.h"
#include "ui/pipeline.h"

namespace parafold {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;

constexpr std::uint64_t gib = std::uint64_t{1} << 30;

// Skips the test unless the scratch folder has room for `bytes` more.
#define NEED_ROOM(dir, bytes)                                                          \
    if (fs::space((dir).path()).available < (bytes))                                  \
        GTEST_SKIP() << "needs " << ((bytes) / gib) << " GiB free in " << (dir).path()

// Writes `bytes` at `offset` of the file at `path`, leaving a hole before it.
void write_at(const std::string& path, std::uint64_t offset, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
              static_cast<ssize_t>(bytes.size()));
    close(fd);
}

std::string read_at(const std::string& path, std::uint64_t offset, std::size_t size) {
    std::string bytes(size, '\0');
    const int fd = open(path.c_str(), O_RDONLY);
    const ssize_t got = pread(fd, bytes.data(), size, static_cast<off_t>(offset));
    close(fd);
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

// A line of more than 2^31 counted bytes is as long as any width, so it is
// joined; a 32-bit count would have wrapped negative and kept the break.
TEST(HugeFiles, LineLongerThanTwoGibibytesIsJoined) {
    TempDir dir;
    const std::uint64_t line = 2 * gib + 5;
    NEED_ROOM(dir, 2 * line + gib);
    const std::string in = dir.file("long-line.txt");
    {
        std::FILE* file = std::fopen(in.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        const std::string block(1 << 20, 'a');
        for (std::uint64_t left = line; left > 0;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
            ASSERT_EQ(std::fwrite(block.data(), 1, n, file), n);
            left -= n;
        }
        std::fputs("\nb.\n", file);
        ASSERT_EQ(std::fclose(file), 0);
    }
    const std::string out = dir.file("out.txt");
    ASSERT_EQ(reflow_file(in.c_str(), out.c_str(), {WidthRule::given, INT32_MAX}).failure,
              Failure::none);
    EXPECT_EQ(fs::file_size(out), line + 4);
    EXPECT_EQ(read_at(out, 0, 4), "aaaa");
    EXPECT_EQ(read_at(out, line - 2, 10), "aa b.\n");

    // Its pieces add up past 2^31 too: the mean is still right.
    const std::uint64_t pieces = line / 99'999 + 1 + 1;  // full pieces, the rest with LF, "b.\n"
    EXPECT_EQ(average_line_length(in.c_str()),
              static_cast<std::int32_t>((line + 1 + 3) / pieces));
}

// A sparse file of more than 4 GiB (its holes are NUL bytes, which the
// filter drops) goes through in constant memory, with the text on either
// side of the 4 GiB mark in place.
TEST(HugeFiles, FileLargerThanFourGibibytesStreamsInConstantMemory) {
    TempDir dir;
    const std::string in = dir.file("sparse.txt");
    const std::string head = "a head line\n";
    const std::string edge = "wrapped across the 4 GiB mark\n";
    const std::string tail = "and a full sentence at the end.\n";
    const std::uint64_t edge_at = 4 * gib - edge.size() / 2;
    const std::uint64_t tail_at = 4 * gib + gib / 4;
    write_at(in, 0, head);
    write_at(in, edge_at, edge);
    write_at(in, tail_at, tail);
    ASSERT_GT(fs::file_size(in), 4 * gib);

    const std::string out = dir.file("out.txt");
    const testing::ChildRun child = testing::run_in_child(
        [&](std::FILE*) {
            return static_cast<int>(
                reflow_file(in.c_str(), out.c_str(), {WidthRule::given, 20}).failure);
        },
        false);
    ASSERT_TRUE(child.ran) << child.why;
    EXPECT_EQ(child.outcome.status, static_cast<int>(Failure::none));
    EXPECT_EQ(read_file(out), testing::reference_join(head + edge + tail, 20));
    std::cout << "peak memory of the run on a " << fs::file_size(in) / (1 << 20)
              << " MiB file: " << child.peak_kib / 1024 << " MiB\n";
    // A whole-file read would need gigabytes; the filter keeps one block.
    EXPECT_LT(child.peak_kib, 64 * 1024);
}

// The peak resident memory of parafold-cli run with `args` (shell syntax)
// in the current folder, in KiB; -1 when it failed.
long cli_peak_kib(const std::string& args) {
    const testing::ChildRun child = testing::run_in_child(
        [&](std::FILE*) {
            const std::string command =
                std::string("exec \"") + PARAFOLD_CLI + "\" " + args + " >/dev/null 2>cli.err";
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            return 127;
        },
        false);
    return child.ran && child.outcome.status == 0 ? child.peak_kib : -1;
}

// One line of 200 MB, on every road of both programs: memory stays bounded
// whatever the longest line, with no whole line held anywhere (the stream
// samples of 8 MiB aside).
TEST(HugeFiles, LineOfTwoHundredMegabytesInBoundedMemoryOnEveryRoad) {
    testing::WorkDir work;
    NEED_ROOM(work, 2 * gib);
    {
        std::FILE* file = std::fopen("line.txt", "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("A heading\r\n\r\n", file);
        std::string block;
        while (block.size() < (1 << 20)) block += "words and spaces   \r";
        for (int i = 0; i < 200; ++i) std::fwrite(block.data(), 1, block.size(), file);
        std::fputs("end.\r\n\r\n\r\nlast line\r\n", file);
        ASSERT_EQ(std::fclose(file), 0);
    }
    constexpr long limit_kib = 64 * 1024;
    const char* const roads[] = {"-c 56", "-c -1", "-2", "-i", "-2 -i", "-2 -i -a", "--smart",
                                 "--smart -2 -i", "--smart --dehyphenate -2"};
    for (const char* road : roads) {
        SCOPED_TRACE(road);
        const long file = cli_peak_kib(std::string(road) + " -o out.txt line.txt");
        const long stream = cli_peak_kib(std::string(road) + " - <line.txt");
        std::cout << "parafold-cli " << road << ": peak " << file / 1024 << " MiB from a file, "
                  << stream / 1024 << " MiB from standard input\n";
        EXPECT_GT(file, 0) << read_file("cli.err");
        EXPECT_LT(file, limit_kib);
        EXPECT_GT(stream, 0) << read_file("cli.err");
        EXPECT_LT(stream, limit_kib);
    }
    for (const bool two_lines : {false, true}) {
        SCOPED_TRACE(two_lines ? "the dialog, Kindle 2 Lines and Indent" : "the dialog, plain");
        ProcessRequest request{"line.txt", "out.txt", {}};
        request.options.two_lines = request.options.indent = two_lines;
        const testing::ChildRun child = testing::run_in_child(
            [&](std::FILE*) { return static_cast<int>(run_pipeline(request).failure); }, false);
        std::cout << "the dialog's pipeline" << (two_lines ? ", e-reader road" : ", plain road")
                  << ": peak " << child.peak_kib / 1024 << " MiB\n";
        EXPECT_EQ(child.outcome.status, static_cast<int>(Failure::none));
        EXPECT_LT(child.peak_kib, limit_kib);
    }
}

}  // namespace
}  // namespace parafold
