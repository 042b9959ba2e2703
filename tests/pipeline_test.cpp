#include "ui/pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/story.h"
#include "tests/test_files.h"
#include "tests/utf16_text.h"
#include "tests/work_dir.h"
#include "ui/output_path.h"

namespace parafold {
namespace {

using testing::exists;
using testing::read_file;
using testing::story;
using testing::story_at_10;
using testing::write_file;

// Every test runs in a fresh current directory, where the dialog's
// e-reader road puts its temporary files.
class Pipeline : public ::testing::Test {
protected:
    testing::WorkDir work;

    // The request as the dialog's fields give it.
    ProcessRequest request(std::string_view column_text, bool two_lines, bool indent,
                           bool autodetect = false) {
        ProcessRequest r;
        r.input_path = "in.txt";
        r.output_path = "out.txt";
        r.options.two_lines = two_lines;
        r.options.indent = indent;
        r.options.width = width_of_fields(column_text, autodetect, two_lines || indent);
        return r;
    }

    // Runs the dialog's pipeline. Where that succeeds, the command line's
    // one pass and the run on bytes in memory must give the same bytes.
    Failure run(const ProcessRequest& r) {
        const Failure failure = run_pipeline(r).failure;
        if (failure != Failure::none || r.output_path != "out.txt") return failure;
        const std::string out = read_file("out.txt");
        ProcessRequest one_pass = r;
        one_pass.output_path = "one-pass.txt";
        EXPECT_EQ(run_request(one_pass).failure, Failure::none);
        EXPECT_TRUE(read_file("one-pass.txt") == out) << "one pass, no temporary file";
        std::string in_memory;
        EXPECT_EQ(unwrap_bytes(read_file(r.input_path), in_memory, r.options).failure,
                  Failure::none);
        EXPECT_TRUE(in_memory == out) << "bytes in memory";
        std::filesystem::remove("one-pass.txt");
        return failure;
    }

    static void expect_no_temp_files() {
        EXPECT_FALSE(exists(first_temp_name));
        EXPECT_FALSE(exists(second_temp_name));
    }
};

struct RoadCase {
    const char* name;
    bool two_lines, indent;
    std::string expected;
};

// Each road and option combination, against the bytes it must write.
TEST_F(Pipeline, EachRoadAndOptionCombination) {
    const RoadCase cases[] = {
        {"plain", false, false, story_at_10},
        {"two lines", true, false, "Once upon a time there was a cat.\nThe end\n"},
        {"indent", false, true, "     Once upon a time there was a cat.\n     The end \n"},
        {"two lines and indent", true, true, "     Once upon a time there was a cat.\n     The end\n"},
    };
    write_file("in.txt", story);
    for (const RoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(run(request("10", c.two_lines, c.indent)), Failure::none);
        EXPECT_EQ(read_file("out.txt"), c.expected);
        expect_no_temp_files();
        EXPECT_EQ(read_file("in.txt"), story);
    }
    // A text of several MiB, which the one pass writes on a second thread
    // block by block, in its own form: the same bytes as the other roads.
    std::string wrapped;
    for (int i = 0; wrapped.size() < (5u << 20); ++i) {
        wrapped += "Paragraph " + std::to_string(i) +
                   " runs on for a while, wrapped at forty\r\ncolumns as old texts were. \r\n\r\n";
    }
    for (const bool utf16 : {false, true}) {
        write_file("in.txt", utf16 ? testing::utf16_text(wrapped) : wrapped);
        for (const RoadCase& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.name << ", several MiB" << (utf16 ? ", UTF-16" : ""));
            EXPECT_EQ(run(request("40", c.two_lines, c.indent)), Failure::none);
        }
    }
}

// The plain road ignores "Autodetect Columns": the column text decides.
TEST_F(Pipeline, AutodetectHasNoEffectOnThePlainRoad) {
    write_file("in.txt", story);
    ASSERT_EQ(run(request("10", false, false, true)), Failure::none);
    EXPECT_EQ(read_file("out.txt"), story_at_10);
}

// On the e-reader road the width is the most common line length of the
// first temporary file (41 to 254 bytes) minus 6, whatever the column says.
TEST_F(Pipeline, AutodetectOnTheEreaderRoad) {
    const std::string line44(44, 'x');  // measured with CR LF: 46, so width 40
    const std::string text = line44 + "\r\n" + line44 + "\r\n" + std::string(39, 'y') + "\r\n" +
                             std::string(40, 'z') + "\r\nend\r\n";
    write_file("in.txt", text);

    ASSERT_EQ(run(request("80", false, true, true)), Failure::none);
    EXPECT_EQ(read_file("out.txt"),
              "     " + line44 + " " + line44 + " " + std::string(39, 'y') + "\n     " +
                  std::string(40, 'z') + " end\n");
    expect_no_temp_files();

    // Without it the column text holds: every line is below 80.
    ASSERT_EQ(run(request("80", false, true, false)), Failure::none);
    EXPECT_EQ(read_file("out.txt"), "     " + line44 + "\n     " + line44 + "\n     " +
                                        std::string(39, 'y') + "\n     " + std::string(40, 'z') +
                                        "\n     end\n");
}

// The estimate measures the text after "Kindle 2 Lines": its lines have
// lost their CRs, so here it finds 45 and the width is 39.
TEST_F(Pipeline, AutodetectMeasuresTheReshapedText) {
    const std::string text = std::string(44, 'x') + "\r\n" + std::string(44, 'x') + "\r\n" +
                             std::string(39, 'y') + "\r\nend\r\n";
    write_file("in.txt", text);
    ASSERT_EQ(run(request("56", true, false, true)), Failure::none);
    EXPECT_EQ(read_file("out.txt"), std::string(44, 'x') + " " + std::string(44, 'x') + " " +
                                        std::string(39, 'y') + " end\n");
}

// Without a line of 41 to 254 bytes the width is -6: only sentence ends
// keep their breaks, blank lines included.
TEST_F(Pipeline, AutodetectWithoutLongLinesJoinsAllButSentenceEnds) {
    write_file("in.txt", "short\n\nline.\nmore\n");
    ASSERT_EQ(run(request("56", false, true, true)), Failure::none);
    EXPECT_EQ(read_file("out.txt"), "     short  line.\n     more \n");
}

// "-1" has the filter estimate the mean line length of its own input: on
// the e-reader road that is the first temporary file, after the reshaping.
TEST_F(Pipeline, MinusOneEstimatesOnBothRoads) {
    // Mean of the input as it stands: (10+1+1+1+10+6)/6 = 4; after
    // "Kindle 2 Lines": (10+10+6)/3 = 8.
    write_file("in.txt", "abcdefghi\n\n\n\nabcdefghi\nxyzuv\n");

    ASSERT_EQ(run(request("-1", false, false)), Failure::none);
    EXPECT_EQ(read_file("out.txt"), "abcdefghi \n\n\nabcdefghi xyzuv ");

    ASSERT_EQ(run(request("-1", true, false)), Failure::none);
    EXPECT_EQ(read_file("out.txt"), "abcdefghi abcdefghi xyzuv\n");
    expect_no_temp_files();
}

// An empty or junk column text is width 0 on both roads: only sentence
// ends keep their breaks.
TEST_F(Pipeline, EmptyAndJunkColumnTexts) {
    write_file("in.txt", "ab\n\ncd.\nef\n");
    for (const char* text : {"", "abc", " - 5", "+"}) {
        SCOPED_TRACE(std::string("column text \"") + text + "\"");
        ASSERT_EQ(run(request(text, false, false)), Failure::none);
        EXPECT_EQ(read_file("out.txt"), "ab  cd.\nef ");
        ASSERT_EQ(run(request(text, false, true)), Failure::none);
        EXPECT_EQ(read_file("out.txt"), "     ab  cd.\n     ef \n");
    }
}

// Every byte of the input reaches the filter, which drops NUL and CR, on
// both roads: text after a NUL is not lost. Text in UTF-16 is joined as
// its characters and comes out in UTF-16, its mark first.
TEST_F(Pipeline, NulBytesAndUtf16OnBothRoads) {
    write_file("in.txt", std::string("ab\0cd.\n\0ef\n", 11));
    ASSERT_EQ(run(request("10", false, false)), Failure::none);
    EXPECT_EQ(read_file("out.txt"), "abcd.\nef\n");
    ASSERT_EQ(run(request("10", false, true)), Failure::none);
    EXPECT_EQ(read_file("out.txt"), "     abcd.\n     ef\n");

    write_file("in.txt", std::string("\xFF\xFEH\0i\0.\0\r\0\n\0", 12));
    ASSERT_EQ(run(request("10", true, true)), Failure::none);
    EXPECT_EQ(read_file("out.txt"), std::string("\xFF\xFE \0 \0 \0 \0 \0H\0i\0.\0\n\0", 20));
    expect_no_temp_files();
}

// Old Mac text, its lines ended by a lone CR, is read with each CR as an
// LF: words are not glued together, and "Kindle 2 Lines" collapses its
// blank lines.
TEST_F(Pipeline, OldMacTextOnBothRoads) {
    write_file("in.txt", "a friend\rthis\r\r\rfiles.\rNew\r");
    ASSERT_EQ(run(request("5", false, false)), Failure::none);
    EXPECT_EQ(read_file("out.txt"), "a friend this\n\n\nfiles.\nNew\n");
    ASSERT_EQ(run(request("5", true, true)), Failure::none);
    EXPECT_EQ(read_file("out.txt"), "     a friend this\n     files.\n     New\n");
}

// The e-reader road, input missing: failure at once, the output untouched,
// and a stale first temporary file is not taken for the input.
TEST_F(Pipeline, EreaderRoadMissingInputFailsWithoutReadingAStaleTempFile) {
    write_file(first_temp_name, "someone else's text\n");
    write_file("out.txt", "keep me");
    EXPECT_EQ(run(request("56", true, true)), Failure::cant_find_input);
    EXPECT_EQ(read_file("out.txt"), "keep me");
    expect_no_temp_files();

    ProcessRequest nothing_chosen = request("56", false, true);
    nothing_chosen.input_path = nothing_chosen.output_path = "";
    EXPECT_EQ(run(nothing_chosen), Failure::cant_find_input);
    expect_no_temp_files();
}

// Failures after the first temporary file was written still fail the run
// and still remove both temporary files.
TEST_F(Pipeline, EreaderRoadFailuresReportFailureAndCleanUp) {
    write_file("in.txt", story);
    write_file("keep.txt", "keep me");

    // The output folder does not exist.
    ProcessRequest no_folder = request("10", true, false);
    no_folder.output_path = "missing/out.txt";
    EXPECT_EQ(run(no_folder), Failure::cant_create_output);
    EXPECT_FALSE(exists("missing"));
    expect_no_temp_files();

    // The first temporary file cannot be created: its name is a folder.
    std::filesystem::create_directory(first_temp_name);
    EXPECT_EQ(run(request("10", false, true)), Failure::cant_write_first_temp);
    EXPECT_FALSE(exists("out.txt"));
    std::filesystem::remove(first_temp_name);

    // The filter cannot create the second temporary file.
    std::filesystem::create_directory(second_temp_name);
    EXPECT_EQ(run(request("10", false, true)), Failure::cant_create_output);
    EXPECT_FALSE(exists("out.txt"));
    expect_no_temp_files();

#ifdef __linux__
    // The output cannot be written completely: no space left. The text is
    // written whole after "Kindle Indent", copied in blocks without it.
    for (const bool indent : {true, false}) {
        ProcessRequest full = request("10", !indent, indent);
        full.output_path = "/dev/full";
        EXPECT_EQ(run(full), Failure::cant_write_output);
        expect_no_temp_files();
    }
#endif
}

// A file of the user's that bears the name of a temporary file is neither
// read as the input nor overwritten as the output, nor deleted.
TEST_F(Pipeline, TempFileNamesAreRefusedOnTheEreaderRoad) {
    write_file(first_temp_name, story);
    write_file(second_temp_name, "mine too\n");
    write_file("in.txt", story);

    ProcessRequest as_input = request("10", false, true);
    as_input.input_path = first_temp_name;
    EXPECT_EQ(run(as_input), Failure::names_a_temp_file);
    EXPECT_FALSE(exists("out.txt"));

    ProcessRequest as_output = request("10", true, false);
    as_output.output_path = std::string("./") + second_temp_name;
    EXPECT_EQ(run(as_output), Failure::names_a_temp_file);

    EXPECT_EQ(read_file(first_temp_name), story);
    EXPECT_EQ(read_file(second_temp_name), "mine too\n");
}

// An output path that names a temporary file which does not exist yet is
// refused too: the run would otherwise delete what it wrote and succeed.
TEST_F(Pipeline, NewOutputNamedLikeATempFileIsRefused) {
    write_file("in.txt", story);
    for (const char* name : {"parafoldtemp.txt", "parafoldtemp2.txt", "./parafoldtemp.txt"}) {
        SCOPED_TRACE(name);
        ProcessRequest r = request("10", true, true);
        r.output_path = name;
        EXPECT_EQ(run(r), Failure::names_a_temp_file);
        expect_no_temp_files();
    }
}

// The names are only reserved in the current directory, and only where
// temporary files are used.
TEST_F(Pipeline, TempFileNamesElsewhereStillWork) {
    std::filesystem::create_directory("sub");
    const std::string input = (std::filesystem::path("sub") / first_temp_name).string();
    write_file(input, story);

    ProcessRequest elsewhere = request("10", true, false);
    elsewhere.input_path = input;
    EXPECT_EQ(run(elsewhere), Failure::none);
    EXPECT_EQ(read_file("out.txt"), "Once upon a time there was a cat.\nThe end\n");

    write_file(first_temp_name, story);
    ProcessRequest plain = request("10", false, false);
    plain.input_path = first_temp_name;
    EXPECT_EQ(run(plain), Failure::none);
    EXPECT_EQ(read_file("out.txt"), story_at_10);
    EXPECT_EQ(read_file(first_temp_name), story);
}

// The output named as the input is refused on both roads: the input stays.
TEST_F(Pipeline, OutputThatIsTheInputIsRefused) {
    write_file("in.txt", story);
    for (const bool indent : {false, true}) {
        SCOPED_TRACE(indent ? "e-reader road" : "plain road");
        ProcessRequest r = request("10", false, indent);
        r.output_path = "./in.txt";
        EXPECT_EQ(run(r), Failure::output_is_input);
        EXPECT_EQ(read_file("in.txt"), story);
    }
}

struct ColumnCase {
    const char* text;
    std::int32_t value;
};

TEST(ColumnValue, ReadsLikeStrtolAndSaturates) {
    const ColumnCase cases[] = {
        {"56", 56},
        {"-1", -1},
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"+7", 7},
        {" \t\n\v\f\r42", 42},  // every kind of leading white space
        {"12abc", 12},          // characters after the digits are ignored
        {"1 2", 1},
        {"- 3", 0},             // no white space after the sign
        {"0000000000000000056", 56},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"99999999999999999999999", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-2147483649", -2147483647 - 1},
        {"-99999999999999999999999", -2147483647 - 1},
    };
    for (const ColumnCase& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        EXPECT_EQ(column_value(c.text), c.value);
    }
}

struct PathCase {
    const char* input;
    const char* output;
};

TEST(DeriveOutputPath, ReplacesFromTheLastDot) {
    const PathCase cases[] = {
        {"C:\\texts\\book.txt", "C:\\texts\\book.ncr.txt"},
        {"C:\\texts\\book.part2.txt", "C:\\texts\\book.part2.ncr.txt"},
        {"C:\\my.texts\\readme", "C:\\my.ncr.txt"},  // a folder's '.' counts
        {"C:\\texts\\readme", "C:\\texts\\readme.ncr.txt"},  // no '.' at all
        {"readme", "readme.ncr.txt"},
        {"", ".ncr.txt"},
        {"book.", "book.ncr.txt"},
        {"/home/u/book.ncr.txt", "/home/u/book.ncr.ncr.txt"},
    };
    for (const PathCase& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(derive_output_path(c.input), c.output);
    }
}

}  // namespace
}  // namespace parafold
