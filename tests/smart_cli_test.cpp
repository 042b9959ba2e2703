// --smart and --dehyphenate on the command line, run as the built program.

#include <gtest/gtest.h>

#include <string>

#include "tests/run_cli.h"
#include "tests/test_files.h"
#include "tests/work_dir.h"

namespace parafold {
namespace {

using testing::read_file;
using testing::run_cli;
using testing::write_file;
using Outcome = testing::CliOutcome;

const std::string hyphenated = "Something was odd. The some-\r\nthing was there.\r\n";

// The options reach the smart unwrap, on both roads of the pipeline.
TEST(SmartCli, OptionsReachTheUnwrap) {
    testing::WorkDir work;
    write_file("in.txt", hyphenated);
    struct Case {
        const char* args;
        std::string expected;
    } cases[] = {
        {"--smart -c 30", "Something was odd. The some-thing was there.\n"},
        {"-s --dehyphenate --columns=30", "Something was odd. The something was there.\n"},
        {"--smart -c 30 -i", "     Something was odd. The some-thing was there.\n"},
        {"--smart -c 30 -2", "Something was odd. The some-thing was there.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome o = run_cli(std::string(c.args) + " -o out.txt in.txt");
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.err, "");
        EXPECT_EQ(read_file("out.txt"), c.expected);
    }
}

// Without --columns the width comes from the text; a text that is not
// hard-wrapped is left alone, and the command says so.
TEST(SmartCli, EstimatesTheWidthOrSaysThereIsNone) {
    testing::WorkDir work;
    std::string wrapped, joined;
    for (int i = 0; i < 20; ++i) {
        wrapped += "Alpha beta. Gamma delta epsilon\n";
        joined += "Alpha beta. Gamma delta epsilon ";
    }
    wrapped += "end.\n";
    joined += "end.\n";
    write_file("wrapped.txt", wrapped);
    const Outcome o = run_cli("--smart wrapped.txt");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(read_file("wrapped.ncr.txt"), joined);

    write_file("long.txt", std::string(500, 'x') + " one line\r\n\r\nanother line\r\n");
    const Outcome unwrapped = run_cli("--smart long.txt");
    EXPECT_EQ(unwrapped.status, 0);
    EXPECT_EQ(unwrapped.err,
              "parafold-cli: long.txt: The text has no dominant wrap width: its line breaks were kept.\n");
    EXPECT_EQ(read_file("long.ncr.txt"), std::string(500, 'x') + " one line\n\nanother line\n");
}

// --explain prints the report for each file and writes no file.
TEST(SmartCli, ExplainsInsteadOfWriting) {
    testing::WorkDir work;
    write_file("in.txt", "Title\r\nThe text goes on and\r\non.\r\n");
    const Outcome o = run_cli("--smart -c 30 --explain in.txt");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.out.substr(0, 36), "file: in.txt\nlayout: width 30 bytes\n");
    EXPECT_NE(o.out.find("\nkept 1: next word fits | Title | The text goes on and\n"),
              std::string::npos);
    EXPECT_FALSE(testing::exists("in.ncr.txt"));
}

TEST(SmartCli, UsageErrors) {
    testing::WorkDir work;
    write_file("in.txt", hyphenated);
    for (const char* args : {"--dehyphenate in.txt", "--smart -a in.txt", "--smart=1 in.txt",
                             "--explain in.txt", "--smart --explain -2 in.txt",
                             "--smart --explain -o out.txt in.txt"}) {
        SCOPED_TRACE(args);
        const Outcome o = run_cli(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_NE(o.err, "");
        EXPECT_FALSE(testing::exists("in.ncr.txt"));
    }
}

}  // namespace
}  // namespace parafold
