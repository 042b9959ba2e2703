// Bad inputs as the user of parafold-cli meets them: exit status, what is
// said on standard error and which files exist afterwards. And e-reader
// runs at the same time, which share the temporary file names of their
// current directory.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tests/robust_support.h"
#include "tests/test_files.h"
#include "ui/pipeline.h"

namespace parafold {
namespace {

namespace fs = std::filesystem;
using testing::exists;
using testing::read_file;
using testing::sample;
using testing::sample_joined;
using testing::TempDir;
using testing::write_file;

struct CliRun {
    bool ran = false;
    std::string why;  // why it did not run
    int status = -1;
    std::string out, err;
};

// Runs parafold-cli with `args` (shell syntax) in the current folder
// `folder`, as the unprivileged user when asked (see run_in_child). What it
// prints is caught in `capture` (default: `folder`) and removed again.
CliRun run_cli(const fs::path& folder, const std::string& args, bool unprivileged = false,
               fs::path capture = {}) {
    if (capture.empty()) capture = folder;
    const fs::path out = capture / "cli.out", err = capture / "cli.err";
    const testing::ChildRun child = testing::run_in_child(
        [&](std::FILE*) {
            if (chdir(folder.c_str()) != 0) return 254;
            const std::string command = std::string("\"") + PARAFOLD_CLI + "\" " + args +
                                        " >'" + out.string() + "' 2>'" + err.string() + "'";
            const int raw = std::system(command.c_str());
            return WIFEXITED(raw) ? WEXITSTATUS(raw) : 253;
        },
        unprivileged);
    CliRun run{child.ran, child.why, child.outcome.status, "", ""};
    if (child.ran) {
        run.out = read_file(out.string());
        run.err = read_file(err.string());
        fs::remove(out);
        fs::remove(err);
    }
    return run;
}

std::string failed(const std::string& file, const std::string& reason) {
    return "parafold-cli: " + file + ": Alignment failed\nparafold-cli: " + file + ": " + reason;
}

// Every bad input of this table fails with status 1, says why, and leaves
// no new file behind: the folder holds afterwards exactly what it held.
TEST(CliBadInputs, FailClearlyAndTouchNothing) {
    TempDir dir;
    write_file(dir.file("in.txt"), sample);
    fs::create_directory(dir.path() / "folder");
    const std::string long_name = std::string(4990, 'x') + ".txt";
    const struct {
        const char* what;
        std::string args;
        std::string err;
    } rows[] = {
        {"missing input", "missing.txt", failed("missing.txt", testing::cant_find)},
        {"empty input path", "''", failed("", testing::cant_find)},
        {"folder as input", "folder", failed("folder", testing::cant_find)},
        {"folder as input, e-reader road", "-2 folder", failed("folder", testing::cant_find)},
        {"folder as input, --smart", "--smart folder", failed("folder", testing::cant_find)},
        {"input path of 5,000 characters", long_name, failed(long_name, testing::cant_find)},
        {"output in a missing folder", "-o no/out.txt in.txt", failed("in.txt", testing::cant_create)},
        {"folder as output", "-o folder in.txt", failed("in.txt", testing::cant_create)},
        {"folder as output, e-reader road", "-i -o folder in.txt",
         failed("in.txt", testing::cant_create)},
        {"output on a full disk", "-o /dev/full in.txt", failed("in.txt", testing::cant_write)},
        {"output on a full disk, e-reader road", "-2 -i -o /dev/full in.txt",
         failed("in.txt", testing::cant_write)},
        {"output is the input", "-o ./in.txt in.txt", failed("in.txt", testing::same_file_text)},
        {"output is the input, e-reader road", "-i -o in.txt in.txt",
         failed("in.txt", testing::same_file_text)},
        {"output path of 5,000 characters", "-o " + long_name + " in.txt",
         failed("in.txt", testing::cant_create)},
        {"output path of 5,000 characters, e-reader road", "-2 -o " + long_name + " in.txt",
         failed("in.txt", testing::cant_create)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const CliRun run = run_cli(dir.path(), row.args);
        ASSERT_TRUE(run.ran) << run.why;
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, row.err);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2)
            << "a file was left behind";
        EXPECT_EQ(read_file(dir.file("in.txt")), sample);
    }
}

// Bytes from 0x80 up in a name reach the file system and the printed path
// unchanged.
TEST(CliBadInputs, HighBytesInNames) {
    TempDir dir;
    write_file(dir.file("caf\xE9 \xE6\x97\xA5.txt"), sample);
    const CliRun run = run_cli(dir.path(), "-c 10 'caf\xE9 \xE6\x97\xA5.txt'");
    ASSERT_TRUE(run.ran) << run.why;
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "caf\xE9 \xE6\x97\xA5.ncr.txt\n");
    EXPECT_EQ(read_file(dir.file("caf\xE9 \xE6\x97\xA5.ncr.txt")), sample_joined);
}

// What the program prints must arrive: with standard output on a full disk
// the file is still aligned, but the run fails, saying so.
TEST(CliBadInputs, StandardOutputThatCannotBeWrittenFails) {
    TempDir dir;
    write_file(dir.file("in.txt"), sample);
    for (const char* args : {"-c 10 in.txt", "--help", "--version"}) {
        SCOPED_TRACE(args);
        const std::string command = "cd '" + dir.path().string() + "' && \"" + PARAFOLD_CLI +
                                    "\" " + args + " >/dev/full 2>cli.err";
        const int raw = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
        EXPECT_EQ(read_file(dir.file("cli.err")), "parafold-cli: can't write to standard output\n");
    }
    EXPECT_EQ(read_file(dir.file("in.ncr.txt")), sample_joined);
}

// Permission faults, as the unprivileged user (root ignores file modes).
// The modes are alike for owner and others, so the rows hold for a user
// too. Nothing new is left in either folder.
TEST(CliBadInputs, PermissionFaults) {
    TempDir dir;
    const fs::perms read_only =
        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const fs::path open = dir.path() / "open", closed = dir.path() / "closed";
    fs::create_directory(open);
    fs::create_directory(closed);
    write_file((open / "in.txt").string(), sample);
    write_file((open / "read-only.txt").string(), sample);
    fs::permissions(open, fs::perms::all);
    fs::permissions(open / "in.txt", fs::perms::all);
    fs::permissions(open / "read-only.txt", read_only);
    fs::permissions(closed, fs::perms::all & ~(fs::perms::owner_write | fs::perms::group_write |
                                               fs::perms::others_write));
    const struct {
        const char* what;
        fs::path folder;
        std::string args;
        std::string err;
    } rows[] = {
        {"read-only input", open, "read-only.txt", failed("read-only.txt", testing::cant_find)},
        {"read-only input, e-reader road", open, "-2 read-only.txt",
         failed("read-only.txt", testing::cant_find)},
        {"output folder not writable", open, "-o ../closed/out.txt in.txt",
         failed("in.txt", testing::cant_create)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const CliRun run = run_cli(row.folder, row.args, true, open);
        if (!run.ran) GTEST_SKIP() << "permission cases need an unprivileged user: " << run.why;
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, row.err);
        EXPECT_TRUE(fs::is_empty(closed));
        EXPECT_EQ(std::distance(fs::directory_iterator(open), fs::directory_iterator()), 2);
        EXPECT_EQ(read_file((open / "read-only.txt").string()), sample);
    }
    // The e-reader road writes nothing but its output: a current folder
    // that may not be written is no matter.
    const CliRun ereader = run_cli(closed, "-c 10 -2 -o ../open/out.txt ../open/in.txt", true, open);
    EXPECT_EQ(ereader.status, 0) << ereader.err;
    EXPECT_TRUE(fs::is_empty(closed));
    EXPECT_EQ(read_file((open / "out.txt").string()), "Once upon a time there was a cat.\nThe end\n");
}

// Starts `request` in a child process whose current directory is `folder`;
// returns the child's id.
pid_t start_run(const fs::path& folder, const ProcessRequest& request) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(254);
        _exit(run_pipeline(request).failure == Failure::none ? 0 : 1);
    }
    return pid;
}

int exit_status(pid_t pid) {
    int raw = 0;
    waitpid(pid, &raw, 0);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// An e-reader request ("Kindle 2 Lines" and "Kindle Indent").
ProcessRequest ereader_request(const std::string& in, const std::string& column_text, bool smart) {
    ProcessRequest request{in, "", {}};
    request.options.two_lines = request.options.indent = true;
    request.options.width = width_of_fields(column_text, false, true);
    request.options.smart = smart;
    return request;
}

// Texts large enough that runs started together overlap.
struct Texts {
    TempDir dir;
    std::string in[3];
    Texts() {
        const std::string line = "word word word word word word word word word word word\r\n";
        for (int i = 0; i < 3; ++i) {
            in[i] = dir.file("in" + std::to_string(i) + ".txt");
            std::string text;
            for (int k = 0; k < 100'000; ++k) text += std::string(1, 'A' + i) + " " + line + line + "\r\n";
            write_file(in[i], text);
        }
    }
};

// What each request writes when it runs alone.
std::vector<std::string> outputs_alone(std::vector<ProcessRequest> requests) {
    TempDir alone;
    std::vector<std::string> outputs;
    for (ProcessRequest& request : requests) {
        request.output_path = alone.file("out.txt");
        EXPECT_EQ(exit_status(start_run(alone.path(), request)), 0);
        outputs.push_back(read_file(request.output_path));
    }
    return outputs;
}

// The temporary files live in the current directory, so runs in different
// directories at the same time do not meet.
TEST(Concurrency, EreaderRunsInDifferentFoldersDoNotDisturbEachOther) {
    Texts texts;
    std::vector<ProcessRequest> requests;
    for (int i = 0; i < 2; ++i) requests.push_back(ereader_request(texts.in[i], "56", false));
    const std::vector<std::string> expected = outputs_alone(requests);
    TempDir folders[2];
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        pid_t runs[2];
        for (int i = 0; i < 2; ++i) {
            requests[i].output_path = folders[i].file("out.txt");
            runs[i] = start_run(folders[i].path(), requests[i]);
        }
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(exit_status(runs[i]), 0);
            EXPECT_TRUE(read_file(folders[i].file("out.txt")) == expected[i]);
            // The output alone: no temporary file is left.
            EXPECT_EQ(std::distance(fs::directory_iterator(folders[i].path()),
                                    fs::directory_iterator()),
                      1);
        }
    }
}

// Runs in one folder at the same time write, read and delete the same two
// temporary files, whose names are fixed: what one reads back may be
// another's text, or a run finds a temporary file gone. Such a run fails; a
// run that succeeds wrote its own text, with either join and also when the
// others join the same text at another width. All end, and no temporary
// file is left once all have. This prints what happened.
TEST(Concurrency, EreaderRunsInOneFolderShareTheTemporaryFiles) {
    Texts texts;
    const struct {
        const char* what;
        std::vector<ProcessRequest> requests;
    } rows[] = {
        {"the dialog's filter",
         {ereader_request(texts.in[0], "56", false), ereader_request(texts.in[1], "56", false),
          ereader_request(texts.in[2], "56", false)}},
        {"--smart",
         {ereader_request(texts.in[0], "-1", true), ereader_request(texts.in[1], "-1", true),
          ereader_request(texts.in[2], "-1", true)}},
        {"one text at three widths",
         {ereader_request(texts.in[0], "56", false), ereader_request(texts.in[0], "30", false),
          ereader_request(texts.in[0], "20", false)}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<ProcessRequest> requests = row.requests;
        const std::vector<std::string> expected = outputs_alone(requests);
        TempDir folder;
        int right = 0, wrong_but_succeeded = 0, failed = 0;
        for (int round = 0; round < 4; ++round) {
            std::vector<pid_t> runs;
            for (std::size_t i = 0; i < requests.size(); ++i) {
                requests[i].output_path = folder.file("out" + std::to_string(i) + ".txt");
                runs.push_back(start_run(folder.path(), requests[i]));
            }
            for (std::size_t i = 0; i < requests.size(); ++i) {
                const int status = exit_status(runs[i]);
                ASSERT_TRUE(status == 0 || status == 1) << status;
                const bool same = read_file(requests[i].output_path) == expected[i];
                (status != 0 ? failed : same ? right : wrong_but_succeeded) += 1;
            }
            EXPECT_FALSE(exists(folder.file(first_temp_name)));
            EXPECT_FALSE(exists(folder.file(second_temp_name)));
        }
        EXPECT_EQ(wrong_but_succeeded, 0);
        std::cout << row.what << ", three e-reader runs at once in one folder, 12 runs: "
                  << right << " right, " << wrong_but_succeeded
                  << " succeeded with a wrong output, " << failed << " failed\n";
    }
}

}  // namespace
}  // namespace parafold
