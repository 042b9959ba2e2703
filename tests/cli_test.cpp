// The command-line front end, run as the built program in a scratch folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/io/failure.h"
#include "tests/run_cli.h"
#include "tests/story.h"
#include "tests/test_files.h"
#include "tests/utf16_text.h"
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

// The command line's e-reader road uses no temporary file: the names the
// dialog's road takes are ordinary names here.
TEST_F(Cli, EreaderRoadNeedsNoTemporaryFile) {
    write_file("parafoldtemp.txt", story);
    const Outcome o = run("-c 10 -2 -i parafoldtemp.txt");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(read_file("parafoldtemp.ncr.txt"),
              "     Once upon a time there was a cat.\n     The end\n");
    EXPECT_EQ(read_file("parafoldtemp.txt"), story);
    EXPECT_FALSE(exists("parafoldtemp2.txt"));
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
        "-j x a.txt",             // no number of jobs
        "--jobs -1 a.txt",
        "a.txt -j",
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

// Standard input and output, pipes, a reader that leaves early, and
// several files at once: one row per case, each a shell command run with
// $CLI naming the program, under a time limit so that a hang fails the row
// (status 124) instead of the suite. A row whose command ends in "; exit
// $(cat status)" reports the program's own status from inside a pipe.
TEST_F(Cli, StreamsPipesAndJobs) {
    write_file("book.txt", story);
    write_file("a.txt", story);
    write_file("b.txt", story);
    // Lines that each keep their break, far more than a pipe holds.
    std::string lines;
    while (lines.size() < (4u << 20)) lines += "A short line.\r\n";
    write_file("lines.txt", lines);
    // A text wrapped at 60 of over 8 MiB: a stream's layout sample is a part.
    std::string wrapped;
    for (int i = 0; wrapped.size() < (9u << 20); ++i) {
        wrapped += "Paragraph " + std::to_string(i) +
                   " runs on for a while and is wrapped at sixty\ncolumns, the way "
                   "old texts were, with some- \nthing hyphenated.\n\n";
    }
    write_file("wrapped.txt", wrapped);
    // Exactly 8 MiB, the stream sample's size, ending in a line without LF:
    // its mean is 9 with that line, 10 without.
    std::string exact;
    while (exact.size() + 10 <= (8u << 20)) exact += "xxxxxxxxx\n";
    exact += std::string((8u << 20) - exact.size(), 'y');
    write_file("exact.txt", exact);
    write_file("mac.txt", "Alpha beta\rgamma delta\r\r\rEnd.\r");
    const std::string story_two_lines_indent = "     Once upon a time there was a cat.\n     The end\n";
    const std::string smart_story = "Once upon a time there was a cat.\n\n\nThe end \n";
    // UTF-16LE with its mark, as Windows editors save "Unicode".
    const auto utf16 = [](const std::string& text) { return testing::utf16_text(text); };
    write_file("book16.txt", utf16(story));
    // lines.txt written by `options` to a pipe that head -1 leaves early.
    const auto read_by_head = [](const std::string& options) {
        return "{ $CLI " + options + " lines.txt; echo $? >status; } | head -1; exit $(cat status)";
    };
    const std::string failed_to_write =
        std::string("parafold-cli: lines.txt: Alignment failed\nparafold-cli: lines.txt: ") +
        failure_text::cant_write_output;
    const auto reader_left = [](const std::string& file) {
        return "parafold-cli: " + file + ": " + failure_text::reader_left;
    };
    std::filesystem::create_directory("sub");
    const auto output_taken = [](const std::string& file) {
        return "parafold-cli: " + file + ": Alignment failed\nparafold-cli: " + file + ": " +
               failure_text::output_taken;
    };
    const std::string same_file_lines =
        std::string("parafold-cli: lines.txt: Alignment failed\nparafold-cli: lines.txt: ") +
        failure_text::output_is_input;
    const std::string same_file_from_stdin =
        std::string("parafold-cli: -: Alignment failed\nparafold-cli: -: ") +
        failure_text::output_is_input;
    const struct {
        const char* what;
        std::string command;
        int status;
        std::string out, err;
        std::string file, bytes;  // a file the run must leave, and its bytes
    } rows[] = {
        // Pipes named as the input are only read, on every road.
        {"a pipe as /dev/stdin", "cat book.txt | $CLI -c 10 -o out.txt /dev/stdin", 0,
         "out.txt\n", "", "out.txt", story_at_10},
        {"a pipe as /dev/stdin, e-reader road", "cat book.txt | $CLI -c 10 -2 -i -o out.txt /dev/stdin",
         0, "out.txt\n", "", "out.txt", story_two_lines_indent},
        {"a pipe as /dev/stdin, --smart", "cat book.txt | $CLI --smart -c 10 -o out.txt /dev/stdin",
         0, "out.txt\n", "", "out.txt", smart_story},
        {"a FIFO as the input", "mkfifo fifo && (cat book.txt >fifo &) && $CLI -c 10 -o out.txt fifo",
         0, "out.txt\n", "", "out.txt", story_at_10},
        // -a measures the text after -2, from the pipe's sample.
        {"-2 -a on a pipe", "cat book.txt | $CLI -2 -a -o out.txt /dev/stdin", 0, "out.txt\n", "",
         "out.txt", "Once upon a time there was a cat.\nThe end "},
        {"-1 on a pipe: the mean of what the pipe gave",
         "cat book.txt | $CLI -c -1 -o out.txt -", 0, "out.txt\n", "", "out.txt",
         "Once upon a time there was a cat.\n\n\nThe end  "},
        // "-" reads standard input and writes standard output; nothing else
        // goes there.
        {"- in, - out", "$CLI -c 10 - <book.txt", 0, story_at_10, "", "", ""},
        {"- in, - out, e-reader road", "$CLI -c 10 -2 -i - <book.txt", 0, story_two_lines_indent,
         "", "", ""},
        {"- in, - out, --smart", "$CLI --smart -c 10 - <book.txt", 0, smart_story, "", "", ""},
        {"- in, - out, --smart, UTF-16", "$CLI --smart -c 10 - <book16.txt", 0, utf16(smart_story),
         "", "", ""},
        {"e-reader road, --smart, UTF-16", "$CLI --smart -c 10 -2 -i -o - book16.txt", 0,
         utf16("     Once upon a time there was a cat. The end\n"), "", "", ""},
        {"-o - for a file", "$CLI -c 10 -o - book.txt", 0, story_at_10, "", "", ""},
        {"-o - for a file, e-reader road", "$CLI -c 10 -2 -i -o - book.txt", 0,
         story_two_lines_indent, "", "", ""},
        {"- in, a file out", "$CLI -c 10 -o out.txt - <book.txt", 0, "out.txt\n", "", "out.txt",
         story_at_10},
        {"- among files: their paths go to standard error", "$CLI -c 10 a.txt - b.txt <book.txt",
         0, story_at_10, "a.ncr.txt\nb.ncr.txt\n", "b.ncr.txt", story_at_10},
        {"-v with the text on standard output: the report goes to standard error",
         "$CLI -2 -a -v - <book.txt 2>&1 >out.txt | wc -l", 0, "255\n", "", "out.txt",
         "Once upon a time there was a cat.\nThe end "},
        // A stream's --smart layout comes from its first 8 MiB, as a file's
        // does; --dehyphenate's words from those 8 MiB too.
        {"--smart on a stream of 9 MiB equals the file",
         "cat wrapped.txt | $CLI --smart -o - - >stream.txt && $CLI --smart -o file.txt wrapped.txt "
         ">/dev/null && cmp stream.txt file.txt && echo same",
         0, "same\n", "", "", ""},
        {"-c -1 on a stream of exactly 8 MiB equals the file",
         "$CLI -c -1 -o - - <exact.txt >stream.txt && $CLI -c -1 -o file.txt exact.txt >/dev/null "
         "&& cmp stream.txt file.txt && echo same",
         0, "same\n", "", "", ""},
        {"--smart --dehyphenate on a short stream equals the file",
         "$CLI -c 10 --smart --dehyphenate -o - - <book.txt >stream.txt && $CLI -c 10 --smart "
         "--dehyphenate book.txt >/dev/null && cmp stream.txt book.ncr.txt && echo same",
         0, "same\n", "", "", ""},
        // A text without end through the e-reader road: one pass, no file.
        // (What it says when the reader leaves is the row's own business.)
        {"yes | -2 - | head -1", "yes | $CLI -2 - 2>/dev/null | head -1", 0, "y\n", "", "", ""},
        {"yes | -2 -i -c -1 - | head -1", "yes | $CLI -2 -i -c -1 - 2>/dev/null | head -1", 0,
         "     y\n", "", "", ""},
        // UTF-16 and old Mac text on the plain and e-reader roads.
        {"UTF-16, e-reader road", "$CLI -c 10 -2 -i - <book16.txt", 0,
         utf16(story_two_lines_indent), "", "", ""},
        {"old Mac text, --smart -2: its blank lines collapse", "$CLI --smart -c 12 -2 - <mac.txt",
         0, "Alpha beta gamma delta End.\n", "", "", ""},
        // A reader that leaves early ends the run promptly, as a failure
        // that says so; the other FILEs are still done.
        {"/dev/stdout read by head -1", read_by_head("-o /dev/stdout"), 1, "A short line.\n",
         reader_left("lines.txt"), "", ""},
        {"-o - read by head -1", read_by_head("-o -"), 1, "A short line.\n",
         reader_left("lines.txt"), "", ""},
        {"-o - read by head -1, e-reader road", read_by_head("-2 -o -"), 1, "A short line.\n",
         reader_left("lines.txt"), "", ""},
        {"-o - read by head -1, --smart", read_by_head("--smart -o -"), 1, "A short line.\n",
         reader_left("lines.txt"), "", ""},
        {"- read by head -1 among files",
         "{ $CLI -c 10 - a.txt <lines.txt; echo $? >status; } | head -1; exit $(cat status)", 1,
         "A short line.\n", reader_left("-") + "a.ncr.txt\n", "a.ncr.txt", story_at_10},
        // Any name of standard output is the stream itself: not reopened
        // (which would empty what it appends to), no path printed into it.
        {"-o with names of standard output, appending",
         "echo log >log.txt && for o in /dev/stdout /dev/fd/1 /proc/self/fd/1 //dev/./stdout; do "
         "$CLI -c 10 -o $o book.txt >>log.txt || exit 1; done; cat log.txt",
         0, "log\n" + story_at_10 + story_at_10 + story_at_10 + story_at_10, "", "", ""},
        {"-o /dev/stdout into a pipe", "$CLI -c 10 -o /dev/stdout book.txt | cat", 0,
         story_at_10, "", "", ""},
        // Standard input or output that is the other end's file is refused
        // before anything is written, whichever road; a file size limit
        // stops a run that would grow the file for ever.
        {"-o F - <F", "$CLI -c 10 -o lines.txt - <lines.txt", 1, "", same_file_from_stdin,
         "lines.txt", lines},
        {"-o F - <F, -c -1", "$CLI -c -1 -o lines.txt - <lines.txt", 1, "",
         same_file_from_stdin, "lines.txt", lines},
        {"-o F - <F, --smart", "$CLI --smart -o lines.txt - <lines.txt", 1, "",
         same_file_from_stdin, "lines.txt", lines},
        {"-o F - <F, e-reader road", "$CLI -2 -o lines.txt - <lines.txt", 1, "",
         same_file_from_stdin, "lines.txt", lines},
        {"-o - F >>F", "ulimit -f 20000; $CLI -o - lines.txt >>lines.txt", 1, "",
         same_file_lines, "lines.txt", lines},
        {"-o - F >>F, e-reader road", "ulimit -f 20000; $CLI -i -o - lines.txt >>lines.txt", 1,
         "", same_file_lines, "lines.txt", lines},
        {"- <F >>F", "ulimit -f 20000; $CLI --smart - <lines.txt >>lines.txt", 1, "",
         same_file_from_stdin, "lines.txt", lines},
        {"--explain F >>F", "ulimit -f 20000; $CLI --smart --explain lines.txt >>lines.txt", 1,
         "", same_file_lines, "lines.txt", lines},
        // A closed standard descriptor is taken by no file: what was to go
        // there fails, and the input is not written.
        {"standard output closed, -o -", "$CLI -o - lines.txt >&-", 1, "", failed_to_write,
         "lines.txt", lines},
        {"standard output closed, paths to print", "$CLI -j 2 a.txt lines.txt >&-", 1, "",
         "parafold-cli: can't write to standard output\n", "lines.txt", lines},
        {"standard error closed", "$CLI -j 2 missing.txt lines.txt 2>&-", 1, "lines.ncr.txt\n",
         "", "lines.txt", lines},
        // Two inputs with one output name: the second is refused, the
        // first's output kept; one input twice writes the same twice.
        {"two inputs, one output name", "printf 'Other\\n' >a.md && $CLI -c 10 a.txt a.md", 1,
         "a.ncr.txt\n", output_taken("a.md"), "a.ncr.txt", story_at_10},
        {"two inputs, one output name, --jobs",
         "printf 'Other\\n' >a.md && $CLI -j 2 -c 10 ./a.txt sub/../a.md", 1, "./a.ncr.txt\n",
         output_taken("sub/../a.md"), "a.ncr.txt", story_at_10},
        {"two inputs whose names have no dot",
         "cp book.txt README && printf 'Other\\n' >sub/README && $CLI -c 10 ./README ./sub/README",
         1, ".ncr.txt\n", output_taken("./sub/README"), ".ncr.txt", story_at_10},
        // Several at once: paths and messages in the order of the FILEs.
        {"--jobs 2 with a failing file", "$CLI --jobs 2 -c 10 a.txt missing.txt b.txt", 1,
         "a.ncr.txt\nb.ncr.txt\n",
         "parafold-cli: missing.txt: Alignment failed\n"
         "parafold-cli: missing.txt: Can't find the input file.\n",
         "b.ncr.txt", story_at_10},
        {"-j2 where one FILE reads another's output", "$CLI -j2 -c 10 a.txt a.ncr.txt a.txt", 0,
         "a.ncr.txt\na.ncr.ncr.txt\na.ncr.txt\n", "", "a.ncr.ncr.txt",
         "Once upon a time there was a cat.\n\n\nThe end \n"},
        {"-j 0, e-reader road", "$CLI -j 0 -c 10 -2 -i a.txt b.txt", 0,
         "a.ncr.txt\nb.ncr.txt\n", "", "b.ncr.txt", story_two_lines_indent},
        {"--jobs=2 with - among files", "$CLI --jobs=2 -c 10 a.txt - b.txt - <book.txt", 0,
         story_at_10, "a.ncr.txt\nb.ncr.txt\n", "a.ncr.txt", story_at_10},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        // As they were, whatever an earlier row did to them.
        write_file("a.txt", story);
        write_file("b.txt", story);
        write_file("lines.txt", lines);
        write_file("row.sh", row.command + "\n");
        const std::string command = std::string("CLI='") + PARAFOLD_CLI +
                                    "' timeout 20 sh row.sh >cli.out 2>cli.err";
        const int raw = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, row.status);
        EXPECT_TRUE(read_file("cli.out") == row.out) << read_file("cli.out").substr(0, 200);
        EXPECT_EQ(read_file("cli.err"), row.err);
        // Not EXPECT_EQ: its line diff of two texts of megabytes would
        // take gigabytes.
        if (!row.file.empty()) {
            const std::string bytes = read_file(row.file);
            EXPECT_TRUE(bytes == row.bytes) << row.file << ": " << bytes.substr(0, 200);
        }
        for (const char* name :
             {"out.txt", "a.ncr.txt", "b.ncr.txt", "-", "fifo", "status", "log.txt", ".ncr.txt",
              "stream.txt", "file.txt"}) {
            std::filesystem::remove(name);
        }
    }
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
