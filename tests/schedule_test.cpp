// The --jobs scheduler of parafold-cli: which earlier runs each run waits
// for, so that running at once writes what running in turn would.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/schedule.h"
#include "tests/test_files.h"

namespace parafold {
namespace {

FileUse reads(const char* file) { return {file, false}; }
FileUse writes(const char* file) { return {file, true}; }

// A run of `in` into `out`.
std::vector<FileUse> run(const char* in, const char* out) { return {reads(in), writes(out)}; }

TEST(WaitsOf, EachRunWaitsForThoseWhoseFilesItTouches) {
    using Waits = std::vector<std::vector<std::size_t>>;
    const struct {
        const char* what;
        std::vector<std::vector<FileUse>> runs;
        Waits waits;
    } rows[] = {
        {"files of their own", {run("a", "a2"), run("b", "b2")}, {{}, {}}},
        {"reads what an earlier one writes", {run("a", "x"), run("x", "y")}, {{}, {0}}},
        {"writes what an earlier one writes", {run("a", "x"), run("b", "x")}, {{}, {0}}},
        {"writes what an earlier one reads", {run("x", "y"), run("a", "x")}, {{}, {0}}},
        {"reads what several read", {run("x", "y"), run("x", "z")}, {{}, {}}},
        {"writes what several read since it was written",
         {run("a", "x"), run("x", "y"), run("x", "z"), run("c", "x")},
         {{}, {0}, {0}, {0, 1, 2}}},
        {"only the last writer counts",
         {run("a", "x"), run("b", "x"), run("x", "y")},
         {{}, {0}, {1}}},
        {"standard input, which every reader takes from",
         {{writes("stdin"), writes("stdout")}, {writes("stdin"), writes("b")}},
         {{}, {0}}},
        {"its own file", {{reads("x"), writes("x")}, run("a", "b")}, {{}, {}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(waits_of(row.runs), row.waits);
    }
}

// A file is one file by every name: another spelling, a link of either
// kind, and a path that names no file yet.
TEST(FileKey, OneFileByAnyName) {
    testing::TempDir dir;
    namespace fs = std::filesystem;
    testing::write_file(dir.file("a.txt"), "a");
    testing::write_file(dir.file("b.txt"), "b");
    fs::create_directory(dir.path() / "sub");
    fs::create_hard_link(dir.path() / "a.txt", dir.path() / "hard.txt");
    fs::create_symlink(dir.path() / "a.txt", dir.path() / "soft.txt");
    fs::create_symlink("new.txt", dir.path() / "soft-new.txt");
    const struct {
        const char* one;
        const char* other;
        bool same;
    } rows[] = {
        {"a.txt", "./a.txt", true},
        {"a.txt", "sub/../a.txt", true},
        {"a.txt", "hard.txt", true},
        {"a.txt", "soft.txt", true},
        {"new.txt", "sub/../new.txt", true},
        {"new.txt", "soft-new.txt", true},
        {"a.txt", "b.txt", false},
        {"new.txt", "sub/new.txt", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.one) + " " + row.other);
        EXPECT_EQ(file_key(dir.file(row.one)) == file_key(dir.file(row.other)), row.same);
    }
}

// Every run ends after those it waits for; each is told in order, once.
TEST(RunAtOnce, RunsAfterTheirWaitsAndTellsInOrder) {
    const std::vector<std::vector<std::size_t>> waits = {{}, {0}, {}, {1, 2}, {}, {}};
    for (const unsigned jobs : {1u, 2u, 8u}) {
        SCOPED_TRACE(jobs);
        std::atomic<int> clock{0};
        std::vector<int> ended(waits.size(), -1), started(waits.size(), -1);
        std::vector<std::size_t> told;
        run_at_once(
            waits, jobs,
            [&](std::size_t j) {
                started[j] = clock++;
                // Long enough that a run not kept waiting would start first.
                if (j == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
                ended[j] = clock++;
            },
            [&](std::size_t j) {
                EXPECT_GE(ended[j], 0);
                told.push_back(j);
            });
        EXPECT_EQ(told, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5}));
        for (std::size_t j = 0; j < waits.size(); ++j) {
            for (const std::size_t i : waits[j]) EXPECT_LT(ended[i], started[j]) << j;
        }
    }
}

}  // namespace
}  // namespace parafold
