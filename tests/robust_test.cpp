// Bad inputs and file-system faults for the filter and the estimates: every
// one must end in a clear failure (or a correct result), never a crash, a
// silent success or a damaged file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/reflow/estimate.h"
#include "engine/reflow/join.h"
#include "engine/reflow/reflow.h"
#include "engine/smart/unwrap.h"
#include "tests/reference_join.h"
#include "tests/robust_support.h"
#include "tests/test_files.h"
#include "tests/work_dir.h"
#include "ui/pipeline.h"

namespace parafold {
namespace {

namespace fs = std::filesystem;
using testing::exists;
using testing::Outcome;
using testing::read_file;
using testing::sample;
using testing::sample_joined;
using testing::reference_join;
using testing::TempDir;
using testing::write_file;

Failure reflow(const std::string& in, const std::string& out, Width width = {WidthRule::given, 10}) {
    return reflow_file(in.c_str(), out.c_str(), width).failure;
}

// The dialog's e-reader road ("Kindle 2 Lines" and "Kindle Indent") at 10,
// or with "Autodetect Columns".
ProcessRequest ereader_request(const std::string& in, const std::string& out, bool autodetect) {
    ProcessRequest request{in, out, {}};
    request.options.two_lines = request.options.indent = true;
    request.options.width = width_of_fields("10", autodetect, true);
    return request;
}

// A failure as a child's exit status, and back.
int status_of_child(Failure failure) { return static_cast<int>(failure); }
Failure failure_of_child(int status) { return static_cast<Failure>(status); }

// A path of about `length` bytes below `dir`, in folders of 100-byte names
// (each name within the usual 255-byte limit, the whole beyond PATH_MAX).
std::string long_path(const fs::path& dir, std::size_t length) {
    std::string path = dir.string();
    while (path.size() + 101 < length) path += "/" + std::string(100, 'd');
    return path + "/" + std::string(length - path.size() - 1, 'f');
}

// The address space of this process now, in bytes; 0 when unknown.
[[maybe_unused]] std::uint64_t address_space_in_use() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    unsigned long long kib = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmSize: %llu kB", &kib) == 1) break;
    }
    std::fclose(status);
    return kib * 1024;
}

// A vocabulary that outgrows memory (here: a text of two million words of
// letters, all different, with the address space capped) ends the unwrap with a failure that
// says so, not with the program cut short.
TEST(OutOfMemory, SmartVocabularyFailsClearly) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the cap allows";
#else
    TempDir dir;
    std::string text;
    for (int i = 0; i < 2'000'000; ++i) {
        for (int rest = i; rest > 0; rest /= 26) text += static_cast<char>('a' + rest % 26);
        text += i % 8 == 7 ? '\n' : ' ';
    }
    write_file(dir.file("in.txt"), text);
    text = std::string();
    const testing::ChildRun run = testing::run_in_child(
        [&](std::FILE*) {
            const std::uint64_t in_use = address_space_in_use();
            if (in_use == 0) return 100;
            const rlimit cap{in_use + (48 << 20), in_use + (48 << 20)};
            if (setrlimit(RLIMIT_AS, &cap) != 0) return 101;
            SmartOptions options;
            options.dehyphenate = true;
            return static_cast<int>(smart_reflow_between(dir.file("in.txt").c_str(),
                                                         dir.file("out.txt").c_str(), options)
                                        .failure);
        },
        false);
    ASSERT_FALSE(run.crashed);
    EXPECT_EQ(run.outcome.status, static_cast<int>(Failure::out_of_memory));
    EXPECT_FALSE(exists(dir.file("out.txt")));
#endif
}

// With no file descriptor left for the input, or for the output (or the
// dialog's first temporary file), a run fails saying so rather
// than that the input is missing or the disk full, and creates nothing.
TEST(NoDescriptors, RunsFailSayingSo) {
    TempDir dir;
    write_file(dir.file("in.txt"), sample);
    const std::string in = dir.file("in.txt"), out = dir.file("out.txt");
    const struct {
        const char* what;
        int left;  // descriptors left free
        std::function<Failure()> run;
    } rows[] = {
        {"the filter's input", 0, [&] { return reflow(in, out); }},
        {"the filter's output", 1, [&] { return reflow(in, out); }},
        {"the e-reader road's input", 0,
         [&] { return run_request(ereader_request(in, out, false)).failure; }},
        {"the e-reader road's output", 1,
         [&] { return run_request(ereader_request(in, out, false)).failure; }},
        {"the dialog's first temporary file", 1,
         [&] { return run_pipeline(ereader_request(in, out, false)).failure; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const testing::ChildRun child = testing::run_in_child(
            [&](std::FILE*) {
                // A run first with descriptors to spare, so that whatever
                // is set up once per process (the sanitizers' own checks
                // need a pipe) is there before none is left.
                if (chdir(dir.path().c_str()) != 0) return 103;
                if (row.run() != Failure::none || std::remove(out.c_str()) != 0) return 104;
                // Few enough that taking them all is quick.
                constexpr rlim_t few = 64;
                rlimit limit{};
                if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 100;
                limit.rlim_cur = std::min(limit.rlim_cur, few);
                if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 101;
                std::vector<int> taken;
                for (int fd; (fd = open("/dev/null", O_RDONLY)) >= 0;) taken.push_back(fd);
                if (static_cast<int>(taken.size()) < row.left) return 102;
                for (int k = 0; k < row.left; ++k) close(taken[k]);
                return static_cast<int>(row.run());
            },
            false);
        ASSERT_TRUE(child.ran) << child.why;
        EXPECT_EQ(child.outcome.status, static_cast<int>(Failure::too_many_open_files));
        EXPECT_FALSE(exists(out));
    }
}

// An output that another run is writing (here: this process holds it as
// every run does) is left to it: each road fails saying so, leaves the
// file as it is, and runs once it is free. A temporary file held so is one
// that another run in the folder changes.
TEST(OutputBusy, RunsLeaveItToTheRunWritingIt) {
    testing::WorkDir dir;
    write_file("in.txt", sample);
    const std::string in = "in.txt", out = "out.txt";
    const struct {
        const char* what;
        std::string held;
        std::function<Failure()> run;
        Failure busy;
    } rows[] = {
        {"the filter", out, [&] { return reflow(in, out); }, Failure::output_busy},
        {"the reading-quality unwrap", out,
         [&] { return smart_reflow_between(in.c_str(), out.c_str(), {}).failure; },
         Failure::output_busy},
        {"the e-reader road", out,
         [&] { return run_pipeline(ereader_request(in, out, false)).failure; },
         Failure::output_busy},
        {"the e-reader road's first temporary file", "parafoldtemp.txt",
         [&] { return run_pipeline(ereader_request(in, out, false)).failure; },
         Failure::temp_files_changed},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        write_file(out, "another run's text\n");
        write_file(row.held, "another run's text\n");
        const int held = open(row.held.c_str(), O_WRONLY);
        ASSERT_GE(held, 0);
        ASSERT_EQ(flock(held, LOCK_EX), 0);
        EXPECT_EQ(row.run(), row.busy);
        EXPECT_EQ(read_file(out), "another run's text\n");
        close(held);
        EXPECT_EQ(row.run(), Failure::none);
    }
}

// Paths the system refuses fail as the defined messages say, and touch nothing.
TEST(BadPaths, PathsTooLongToOpenFailCleanly) {
    TempDir dir;
    write_file(dir.file("in.txt"), sample);
    const std::string too_long = long_path(dir.path(), 5000);
    ASSERT_EQ(too_long.size(), 5000u);

    EXPECT_EQ(reflow(too_long, dir.file("out.txt")), Failure::cant_find_input);
    EXPECT_FALSE(exists(dir.file("out.txt")));
    EXPECT_EQ(reflow(dir.file("in.txt"), too_long), Failure::cant_create_output);
    EXPECT_EQ(read_file(dir.file("in.txt")), sample);
    // One name longer than a folder entry may be.
    EXPECT_EQ(reflow(dir.file("in.txt"), dir.file(std::string(300, 'n'))),
              Failure::cant_create_output);

    EXPECT_EQ(average_line_length(too_long.c_str()), -1);
    EXPECT_EQ(most_common_line_length(too_long.c_str()), -1);
}

// Bytes from 0x80 up are handed to the file system unchanged: Latin-1 and
// UTF-8 names, and bytes that are neither, in file and folder names.
TEST(BadPaths, HighBytesInNamesWork) {
    TempDir dir;
    const std::string names[] = {"caf\xE9.txt", "\xE6\x97\xA5\xE6\x9C\xAC.txt",
                                 "\x80\xFF\xFE.txt", "f\xF6lder/\xA0.txt"};
    fs::create_directory(dir.path() / "f\xF6lder");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string in = dir.file(name);
        const std::string out = in + ".out\xC3";
        write_file(in, sample);
        EXPECT_EQ(reflow(in, out), Failure::none);
        EXPECT_EQ(read_file(out), sample_joined);
        EXPECT_EQ(average_line_length(in.c_str()), 9);
        // The same file under another name of such bytes is still the same file.
        fs::create_hard_link(in, in + ".link\xFF");
        EXPECT_EQ(reflow(in, in + ".link\xFF"), Failure::output_is_input);
        EXPECT_EQ(read_file(in), sample);
    }
}

// The estimates on what is not a readable file. A folder opens for reading
// on this system but yields no bytes: it cannot be measured, as on systems
// where it does not open at all.
TEST(BadPaths, EstimatesOfUnreadablePaths) {
    TempDir dir;
    const struct {
        const char* what;
        std::string path;
        std::int32_t expected;
    } cases[] = {
        {"empty path", "", -1},
        {"missing file", dir.file("missing.txt"), -1},
        {"missing folder", dir.file("no/such/in.txt"), -1},
        {"folder", dir.path().string(), -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(average_line_length(c.path.c_str()), c.expected);
        EXPECT_EQ(most_common_line_length(c.path.c_str()), c.expected);
    }
}

// A line whose count passes what 32 bits hold is still measured as at
// least the width: fed to the in-memory core past that point.
TEST(Sizes, LineCountPastThirtyTwoBitsStillJoins) {
    JoinState state;
    state.line_bytes = INT32_MAX - 2;
    const std::string text = "abcd\nx";
    std::string out(text.size(), '\0');
    out.resize(join_lines(state, INT32_MAX, text.data(), text.size(), out.data()));
    EXPECT_EQ(out, "abcd x");
}

// Permission faults, run as an unprivileged user because root ignores file
// modes. The modes are set alike for owner and others, so the cases hold
// whether the tests run as root (switching to "nobody") or as a user.
class Permissions : public ::testing::Test {
protected:
    void SetUp() override {
        // Everyone may pass through the scratch folder and write in "open".
        fs::permissions(dir.path(), fs::perms::all);
        fs::create_directory(dir.path() / "open");
        fs::permissions(dir.path() / "open", fs::perms::all);
    }

    // Runs `job` as the unprivileged user, or skips the test saying why not.
    Outcome as_unprivileged(const std::function<int(std::FILE*)>& job) {
        const testing::ChildRun child = testing::run_in_child(job, true);
        if (child.crashed) ADD_FAILURE() << "the run crashed";
        if (!child.ran) skipped = child.why;
        return child.outcome;
    }

    // The same for a job that fails or not.
    Failure failure_as_unprivileged(const std::function<Failure()>& job) {
        return failure_of_child(
            as_unprivileged([&](std::FILE*) { return status_of_child(job()); }).status);
    }

    std::string file(const std::string& name, const std::string& bytes, fs::perms mode) {
        const std::string path = dir.file("open/" + name);
        write_file(path, bytes);
        fs::permissions(path, mode);
        return path;
    }

    TempDir dir;
    std::string skipped;
};

#define SKIP_IF_NOT_UNPRIVILEGED() \
    if (!skipped.empty()) GTEST_SKIP() << "permission cases need an unprivileged user: " << skipped

const fs::perms read_only = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
const fs::perms write_only =
    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
const fs::perms read_write = read_only | write_only;

// The filter needs its input writable as well as readable: a read-only
// input fails as if missing, though the estimate can read it.
TEST_F(Permissions, ReadOnlyInputFailsAsMissingButCanBeEstimated) {
    const std::string in = file("in.txt", sample, read_only);
    const std::string out = dir.file("open/out.txt");
    for (const Width width : {Width{WidthRule::given, 10}, Width{WidthRule::mean, 0}}) {
        SCOPED_TRACE(static_cast<int>(width.rule));
        const Failure failure = failure_as_unprivileged([&] { return reflow(in, out, width); });
        SKIP_IF_NOT_UNPRIVILEGED();
        EXPECT_EQ(failure, Failure::cant_find_input);
        EXPECT_FALSE(exists(out));
    }
    const Outcome estimate = as_unprivileged([&](std::FILE*) {
        return average_line_length(in.c_str());
    });
    EXPECT_EQ(estimate.status, 9);
}

TEST_F(Permissions, UnreadableInputFailsEverywhere) {
    const std::string in = file("in.txt", sample, write_only);
    const std::string out = dir.file("open/out.txt");
    const Failure failure = failure_as_unprivileged([&] { return reflow(in, out); });
    SKIP_IF_NOT_UNPRIVILEGED();
    EXPECT_EQ(failure, Failure::cant_find_input);
    EXPECT_FALSE(exists(out));
    const Outcome estimates = as_unprivileged([&](std::FILE*) {
        return average_line_length(in.c_str()) == -1 &&
               most_common_line_length(in.c_str()) == -1;
    });
    EXPECT_EQ(estimates.status, 1);
}

// The output cannot be created: the folder is not writable, or a read-only
// file of that name is there (and keeps its contents).
TEST_F(Permissions, OutputThatMayNotBeWrittenFails) {
    const std::string in = file("in.txt", sample, read_write);
    fs::create_directory(dir.path() / "closed");
    fs::permissions(dir.path() / "closed", fs::perms::all & ~write_only);
    const std::string old = file("old.txt", "the user's own text\n", read_only);
    for (const std::string& out : {dir.file("closed/out.txt"), old}) {
        SCOPED_TRACE(out);
        const Failure failure = failure_as_unprivileged([&] { return reflow(in, out); });
        SKIP_IF_NOT_UNPRIVILEGED();
        EXPECT_EQ(failure, Failure::cant_create_output);
        EXPECT_EQ(read_file(in), sample);
    }
    EXPECT_FALSE(exists(dir.file("closed/out.txt")));
    EXPECT_EQ(read_file(old), "the user's own text\n");
}

// The e-reader road in a current directory where the temporary files cannot
// be written: a clear failure, the output untouched, nothing left behind.
TEST_F(Permissions, EreaderRoadInAFolderThatMayNotBeWrittenFails) {
    const std::string in = file("in.txt", sample, read_write);
    const std::string out = file("out.txt", "keep me", read_write);
    fs::create_directory(dir.path() / "closed");
    fs::permissions(dir.path() / "closed", fs::perms::all & ~write_only);
    const Failure failure = failure_as_unprivileged([&] {
        if (chdir(dir.file("closed").c_str()) != 0) return Failure::none;
        return run_pipeline(ereader_request(in, out, false)).failure;
    });
    SKIP_IF_NOT_UNPRIVILEGED();
    EXPECT_EQ(failure, Failure::cant_write_first_temp);
    EXPECT_EQ(read_file(out), "keep me");
    EXPECT_TRUE(fs::is_empty(dir.path() / "closed"));
}

// The e-reader road opens its input as the filter does: a read-only input
// fails as if missing, before any temporary file is written.
TEST_F(Permissions, EreaderRoadWithReadOnlyInputFails) {
    const std::string in = file("in.txt", sample, read_only);
    const std::string out = file("out.txt", "keep me", read_write);
    const Failure failure = failure_as_unprivileged([&] {
        if (chdir(dir.file("open").c_str()) != 0) return Failure::none;
        return run_pipeline(ereader_request(in, out, true)).failure;
    });
    SKIP_IF_NOT_UNPRIVILEGED();
    EXPECT_EQ(failure, Failure::cant_find_input);
    EXPECT_EQ(read_file(out), "keep me");
    EXPECT_FALSE(exists(dir.file("open/parafoldtemp.txt")));
    EXPECT_FALSE(exists(dir.file("open/parafoldtemp2.txt")));
}

}  // namespace
}  // namespace parafold
