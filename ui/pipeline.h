// One Process File request, from the input file to the output file, without
// any window.
//
// Two roads:
//  - plain (neither e-reader option): the line-joining filter runs straight
//    from the input file to the output file;
//  - e-reader (either option): the input goes through kindle_two_lines()
//    when `two_lines` is set into the temporary file "parafoldtemp.txt", the
//    filter joins that into "parafoldtemp2.txt", and that goes through
//    kindle_indent() when `indent` is set into the output file. Both
//    temporary files live in the current directory and are deleted at the
//    end of the run. The transforms see the text piece by piece (see
//    ui/piecewise.h), with the same result as on the whole text, so no whole
//    file is held in memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace parafold {

// The names of the e-reader road's temporary files, relative to the
// current directory.
inline constexpr const char* first_temp_name = "parafoldtemp.txt";
inline constexpr const char* second_temp_name = "parafoldtemp2.txt";

struct ProcessRequest {
    std::string input_path, output_path;
    // The wrap column as the user typed it; see column_value().
    std::string column_text;
    bool two_lines = false;  // "Kindle 2 Lines"
    bool indent = false;     // "Kindle Indent"
    // "Autodetect Columns": on the e-reader road the width is the most
    // common line length of the first temporary file minus 6, and the
    // column text is not used. The plain road ignores it.
    bool autodetect = false;
    // The reading-quality unwrap of engine/smart.h in place of the dialog's
    // filter, on either road (the command line's --smart; the dialog never
    // sets it). The column text then gives its width when positive, and
    // otherwise the width is estimated from the text. A text found not to
    // be hard-wrapped is passed through with its breaks, and a line on the
    // messages stream says so.
    bool smart = false;
    bool dehyphenate = false;  // with `smart`: see SmartOptions
    std::FILE* explain = nullptr;  // with `smart` on the plain road: see SmartOptions
};

// The value of a column text, as C's strtol reads a decimal number: leading
// white space (space, \t, \n, \v, \f, \r) skipped, an optional sign, then
// digits up to the first non-digit. No digits give 0; a value beyond the
// signed 32-bit range saturates to 2147483647 or -2147483648.
//
//   column_value("56") == 56, column_value(" -1x") == -1, column_value("") == 0
std::int32_t column_value(std::string_view column_text);

// Runs the request. Returns 0 when the output file was written completely,
// 1 otherwise; the output file is then left as it was unless the filter
// itself had begun writing it on the plain road. On the e-reader road, a run
// whose temporary files were changed meanwhile by another run in the same
// folder (their names are fixed) fails rather than pass the other's text off
// as its own; its output, written by then, may hold that text. Diagnostics, each a line
// saying why, go to standard output, as does the length report of the
// e-reader road's estimate.
int run_pipeline(const ProcessRequest& request);

// The same, with the diagnostics written to `messages` and the length report
// to `report` (nullptr: nowhere).
int run_pipeline(const ProcessRequest& request, std::FILE* messages, std::FILE* report);

// Reads `stream` from its start to its end into `text`, every byte kept,
// NUL included, for callers that want a whole file in memory. Returns false, with `text` empty, on a read error or when
// the memory for the whole file cannot be had.
bool read_whole_file(std::FILE* stream, std::string& text);

}  // namespace parafold
