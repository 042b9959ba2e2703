// The command-line front end, run as the built program in a scratch folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/run_cli.h"
#include "tests/story.h"
#include "tests/test_files.h"
#include "tests/work_dir.h"

namespace parafold {
namespace {

using testing::exists;
using testing::read_file;
using testing::story;
using testing::story_at_10;
using testing::write_file;

using Outcome = testing::CliOutcome;

class Cli : public ::testing::Test {
protected:
    testing::WorkDir work;

    // Runs parafold-cli with `args` (shell syntax) in the scratch folder.
    Outcome run(const std::string& args) { return testing::run_cli(args); }

    static std::size_t lines(const std::string& text) {
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    }
};

// The output goes to the derived path, which is printed.
TEST_F(Cli, AlignsOneFileAndPrintsWhereTheOutputWent) {
    write_file("book.txt", story);
    const Outcome o = run("-c 10 book.txt");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "book.ncr.txt\n");
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(read_file("book.ncr.txt"), story_at_10);

    const Outcome named = run("--output custom.out book.txt");
    EXPECT_EQ(named.status, 0);
    EXPECT_EQ(named.out, "custom.out\n");
    EXPECT_TRUE(exists("custom.out"));
}

struct OptionCase {
    const char* args;
    std::string expected;
};

// Every option spelling reaches the pipeline as the dialog would send it.
TEST_F(Cli, OptionsReachThePipeline) {
    // The mean line length of the story, with its CR LF ends, is 8.
    const std::string story_at_8 = "Once upon a time there was a cat.\n\n\nThe end  ";
    const OptionCase cases[] = {
        {"", "Once upon a\ntime there\nwas a cat.\n\n\nThe end \n"},  // column 56
        {"-c 10", story_at_10},
        {"-c10 -2", "Once upon a time there was a cat.\nThe end\n"},
        {"--columns=10 --indent", "     Once upon a time there was a cat.\n     The end \n"},
        {"--columns 10 -2i", "     Once upon a time there was a cat.\n     The end\n"},
        {"-c -1", story_at_8},
        {"-a", story_at_8},           // the column text becomes the mean, 8
        {"-a -c 10", story_at_10},    // a column text given wins on the plain road
        {"--autodetect --columns=", "Once upon a time there was a cat.\n  The end  "},
    };
    write_file("book.txt", story);
    for (const OptionCase& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome o = run(std::string(c.args) + " book.txt");
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(read_file("book.ncr.txt"), c.expected);
        EXPECT_FALSE(exists("parafoldtemp.txt"));
        EXPECT_FALSE(exists("parafoldtemp2.txt"));
    }
}

// Every file is tried; a failure is told on standard error with its reason
// and makes the exit status 1.
TEST_F(Cli, SeveralFilesWithOneFailing) {
    write_file("a.txt", story);
    write_file("b.txt", story);
    for (const char* options : {"-c 10", "-c 10 -2"}) {
        SCOPED_TRACE(options);
        const Outcome o = run(std::string(options) + " a.txt missing.txt b.txt");
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.out, "a.ncr.txt\nb.ncr.txt\n");
        EXPECT_EQ(o.err,
                  "parafold-cli: missing.txt: Alignment failed\n"
                  "parafold-cli: missing.txt: Can't find the input file.\n");
        EXPECT_FALSE(exists("missing.ncr.txt"));
    }
}

// The e-reader road's own reasons reach standard error too.
TEST_F(Cli, TellsWhyAnEreaderRunFailed) {
    write_file("parafoldtemp.txt", story);
    const Outcome o = run("-i parafoldtemp.txt");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("parafold-cli: parafoldtemp.txt: Alignment failed\n"), std::string::npos);
    EXPECT_NE(o.err.find("temporary files"), std::string::npos) << o.err;
    EXPECT_EQ(read_file("parafoldtemp.txt"), story);
}

// Usage errors: status 2, one line on standard error, no file touched.
TEST_F(Cli, UsageErrors) {
    const char* cases[] = {
        "",                       // no file
        "-o out.txt a.txt b.txt", // one output for two files
        "-x a.txt",
        "--bogus a.txt",
        "--indent=yes a.txt",
        "a.txt -c",               // a value is missing
        "a.txt --output",
    };
    write_file("a.txt", story);
    write_file("b.txt", story);
    for (const char* args : cases) {
        SCOPED_TRACE(args);
        const Outcome o = run(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(lines(o.err), 1u);
        EXPECT_EQ(o.err.rfind("parafold-cli: ", 0), 0u) << o.err;
        EXPECT_FALSE(exists("out.txt"));
        EXPECT_FALSE(exists("a.ncr.txt"));
    }
}

TEST_F(Cli, HelpAndVersion) {
    for (const char* args : {"--help", "-h", "a.txt --help"}) {
        SCOPED_TRACE(args);
        const Outcome o = run(args);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.out.rfind("Usage: parafold-cli [OPTIONS] FILE...\n", 0), 0u);
        EXPECT_EQ(o.err, "");
    }
    const Outcome version = run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("parafold-cli ", 0), 0u);
    EXPECT_EQ(lines(version.out), 1u);
}

// The 255-line length report of the estimate shows only with --verbose.
TEST_F(Cli, LengthReportOnlyWhenVerbose) {
    write_file("book.txt", story);
    const Outcome quiet = run("-2 -a book.txt");
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, "book.ncr.txt\n");

    const Outcome verbose = run("-2av book.txt");
    EXPECT_EQ(verbose.status, 0);
    EXPECT_EQ(lines(verbose.out), 256u);
    EXPECT_EQ(verbose.out.rfind("0:0\n1:0\n", 0), 0u);
    EXPECT_NE(verbose.out.find("\nbook.ncr.txt\n"), std::string::npos);
}

// After "--" every argument is a file, even one that starts with '-'.
TEST_F(Cli, DoubleDashEndsTheOptions) {
    write_file("-dash.txt", story);
    const Outcome o = run("-c 10 -- -dash.txt");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(read_file("-dash.ncr.txt"), story_at_10);
}

}  // namespace
}  // namespace parafold
