// Faults of Windows' own, run under Wine: names in the ANSI code page, paths
// of 260 characters and more, the read-only attribute, and files past what
// a 32-bit long counts (ftell's type on Windows).
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/reflow/estimate.h"
#include "engine/io/failure.h"
#include "engine/io/filter_files.h"
#include "engine/reflow/reflow.h"
#include "tests/test_files.h"
#include "ui/pipeline.h"

namespace parafold {
namespace {

namespace fs = std::filesystem;

const std::string sample = "Once upon a\r\ntime there\r\nwas a cat.\r\n\r\nThe end\r\n";
const std::string sample_joined = "Once upon a time there was a cat.\n\nThe end\n";

// A fresh folder below the current one, removed with its contents.
class Scratch {
public:
    Scratch() : path_(fs::absolute("robust-scratch")) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
        fs::create_directories(path_);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    // A path below the folder, as the narrow string the program handles.
    std::string file(const std::string& name) const { return path_.string() + "\\" + name; }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Narrow names go through the C library, as the program's own do.
void write_bytes(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

std::string read_bytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return "<missing>";
    std::string bytes;
    char block[65536];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) bytes.append(block, got);
    std::fclose(file);
    return bytes;
}

Failure reflow(const std::string& in, const std::string& out, std::int32_t width = 10) {
    return reflow_file(in.c_str(), out.c_str(), {WidthRule::given, width}).failure;
}

// The dialog's e-reader road at 10 ("Kindle 2 Lines" as asked, "Kindle
// Indent"), run in the current folder.
Failure ereader_run(const std::string& in, const std::string& out, bool two_lines) {
    ProcessRequest request{in, out, {}};
    request.options.two_lines = two_lines;
    request.options.indent = true;
    request.options.width = {WidthRule::given, 10};
    return run_pipeline(request).failure;
}

// Names in the ANSI code page (Wine's is 1252 here): bytes that Latin-1 reads
// alike, bytes it reads otherwise (0x80-0x9F), and UTF-8 bytes read as 1252.
const std::string high_byte_names[] = {"caf\xE9.txt", "dash\x97\x80.txt", "\xE6\x97\xA5.txt"};

// Under any of these names the input is still known as the output, so it is
// never truncated by the output's creation.
TEST(WindowsNames, TheInputIsRefusedAsItsOwnOutput) {
    Scratch scratch;
    for (const std::string& name : high_byte_names) {
        SCOPED_TRACE(name);
        const std::string in = scratch.file(name);
        write_bytes(in, sample);
        EXPECT_EQ(reflow(in, in), Failure::output_is_input);
        EXPECT_EQ(read_bytes(in), sample);
        EXPECT_EQ(ereader_run(in, in, false), Failure::output_is_input);
        EXPECT_EQ(read_bytes(in), sample);
    }
}

// With the C runtime's character type taken from the system, as the
// programs set it, such names also work as separate input and output, over
// an existing output too.
TEST(WindowsNames, HighByteNamesWork) {
    Scratch scratch;
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "");
    for (const std::string& name : high_byte_names) {
        SCOPED_TRACE(name);
        const std::string in = scratch.file(name);
        const std::string out = scratch.file("out " + name);
        write_bytes(in, sample);
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(reflow(in, out), Failure::none);
            EXPECT_EQ(read_bytes(out), sample_joined);
        }
    }
    std::setlocale(LC_CTYPE, previous.c_str());
}

// Paths of 260 characters and more (the old MAX_PATH): either the run
// works and writes the right bytes, or it fails saying so and creates
// nothing. Never a crash, and never a wrong file.
TEST(WindowsPaths, PathsOf260CharactersAndMore) {
    Scratch scratch;
    for (const std::size_t length : {259u, 260u, 300u, 1000u}) {
        std::string folder = scratch.path().string();
        while (folder.size() + 60 < length) folder += "\\" + std::string(50, 'd');
        std::error_code error;
        fs::create_directories(folder, error);
        const std::string in = folder + "\\" + std::string(length - folder.size() - 1, 'i');
        ASSERT_EQ(in.size(), length);
        const std::string out = in.substr(0, in.size() - 4) + ".out";
        std::FILE* file = std::fopen(in.c_str(), "wb");
        const bool created = file != nullptr;
        if (file) {
            std::fwrite(sample.data(), 1, sample.size(), file);
            std::fclose(file);
        }
        const Failure failure = reflow(in, out);
        std::cout << "path of " << length << " characters: input "
                  << (created ? "created" : "not created") << ", reflow_file: "
                  << (failure == Failure::none ? "done\n" : text_of(failure));
        SCOPED_TRACE(length);
        if (failure == Failure::none) {
            EXPECT_EQ(read_bytes(out), sample_joined);
        } else {
            EXPECT_EQ(read_bytes(out), "<missing>");
        }
        if (created) {
            EXPECT_EQ(failure, Failure::none) << "a file the C library created can be reflowed";
        }
        std::error_code ignored;
        fs::remove(in, ignored);
        fs::remove(out, ignored);
    }
    // The folders, deepest first (removing them whole trips over the long
    // names under Wine).
    std::string folder = scratch.path().string();
    while (fs::exists(folder + "\\" + std::string(50, 'd'))) folder += "\\" + std::string(50, 'd');
    for (; folder.size() > scratch.path().string().size(); folder.resize(folder.rfind('\\'))) {
        std::error_code error;
        EXPECT_TRUE(fs::remove(folder, error)) << error.message();
    }
}

// The read-only attribute: the filter and the e-reader road open their input
// for writing too, so it counts as one that cannot be opened; the estimates
// only read it.
TEST(WindowsAttributes, ReadOnlyInputFails) {
    Scratch scratch;
    const std::string in = scratch.file("in.txt");
    const std::string out = scratch.file("out.txt");
    write_bytes(in, sample);
    fs::permissions(in, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    if (std::FILE* writable = std::fopen(in.c_str(), "r+b")) {
        std::fclose(writable);
        fs::permissions(in, fs::perms::owner_write, fs::perm_options::add);
        GTEST_SKIP() << "the read-only attribute does not hold for this user (Wine run by root "
                        "opens any file for writing); scripts/test-windows-robust.sh runs this "
                        "as an unprivileged user";
    }

    EXPECT_EQ(reflow(in, out), Failure::cant_find_input);
    EXPECT_EQ(read_bytes(out), "<missing>");
    EXPECT_EQ(average_line_length(in.c_str()), 9);

    const fs::path previous = fs::current_path();
    fs::current_path(scratch.path());
    EXPECT_EQ(ereader_run(in, out, true), Failure::cant_find_input);
    EXPECT_FALSE(fs::exists(first_temp_name));
    EXPECT_FALSE(fs::exists(second_temp_name));
    fs::current_path(previous);
    EXPECT_EQ(read_bytes(out), "<missing>");
    EXPECT_EQ(read_bytes(in), sample);
    fs::permissions(in, fs::perms::owner_write, fs::perm_options::add);  // to be removed
}

// A run shares its output with no other writer, so that a second run
// given it at once fails saying so, before it empties it, rather than
// writing into it; once the first has closed it, a run goes ahead.
TEST(WindowsSharing, AnOutputIsWrittenByOneRunAtATime) {
    Scratch scratch;
    const std::string in = scratch.file("in.txt");
    const std::string out = scratch.file("out.txt");
    write_bytes(in, sample);
    FileEnd first;
    ASSERT_EQ(open_filter_output(out.c_str(), "w+b", first), Failure::none);
    ASSERT_EQ(std::fwrite("first", 1, 5, first.file), 5u);
    if (std::FILE* other = std::fopen(out.c_str(), "ab")) {
        std::fclose(other);
        ADD_FAILURE() << "another writer opened the output";
    }
    EXPECT_EQ(reflow(in, out), Failure::output_busy);
    const fs::path previous = fs::current_path();
    fs::current_path(scratch.path());
    EXPECT_EQ(ereader_run(in, out, true), Failure::output_busy);
    fs::current_path(previous);
    close_end(first);
    EXPECT_EQ(read_bytes(out), "first");
    EXPECT_EQ(reflow(in, out), Failure::none);
    EXPECT_EQ(read_bytes(out), sample_joined);
}

// Files past 2 and 4 GiB, made sparse (their holes read as NUL bytes).
// Slow: run with --gtest_also_run_disabled_tests or the "slow" label.
void make_sparse(const std::string& path, std::uint64_t size, const std::string& tail) {
    fs::resize_file(path, size - tail.size());
    std::FILE* file = std::fopen(path.c_str(), "ab");
    ASSERT_NE(file, nullptr);
    std::fwrite(tail.data(), 1, tail.size(), file);
    std::fclose(file);
}

constexpr std::uint64_t gib = std::uint64_t{1} << 30;

// The e-reader road streams a file past 2 GiB whose middle is one line of
// 2 GiB (its hole, NUL bytes, which the join drops): no whole file and no
// whole line is held in memory, which a 32-bit build could not.
TEST(WindowsHugeFiles, LineOfTwoGibibytesThroughTheEreaderRoad) {
    Scratch scratch;
    const std::string path = scratch.file("big.txt");
    write_bytes(path, "head\n");
    make_sparse(path, 2 * gib + 64, "the tail.\n");
    const fs::path previous = fs::current_path();
    fs::current_path(scratch.path());
    EXPECT_EQ(ereader_run(path, scratch.file("out.txt"), true), Failure::none);
    fs::current_path(previous);
    EXPECT_EQ(read_bytes(scratch.file("out.txt")), "     head\n     the tail.\n");
}

// The plain road streams a file past 4 GiB.
TEST(WindowsHugeFiles, FilePastFourGibibytesThroughThePlainRoad) {
    Scratch scratch;
    const std::string in = scratch.file("big.txt");
    write_bytes(in, "a head line\n");
    make_sparse(in, 4 * gib + gib / 4, "and a full sentence at the end.\n");
    EXPECT_EQ(reflow(in, scratch.file("out.txt"), 20), Failure::none);
    EXPECT_EQ(read_bytes(scratch.file("out.txt")), "a head line\nand a full sentence at the end.\n");
}

}  // namespace
}  // namespace parafold
