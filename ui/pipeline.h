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
//
// Either path may be "-" (standard input as the input, standard output as
// the output) or name a pipe, a FIFO or a device: such streams are read or
// written once, front to back, on either road (see engine/io/filter_files.h).
//
// The width of a run is decided in one place, from the request alone (see
// ProcessRequest): a given number, the mean line length, the most common
// line length less 6, or the reading-quality unwrap's own estimate.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/io/failure.h"
#include "engine/io/filter_files.h"  // standard_stream_path

namespace parafold {

// The names of the e-reader road's temporary files, relative to the
// current directory.
inline constexpr const char* first_temp_name = "parafoldtemp.txt";
inline constexpr const char* second_temp_name = "parafoldtemp2.txt";

struct ProcessRequest {
    std::string input_path, output_path;
    // The wrap column as the user typed it; see column_value(). The value -1
    // asks for an estimate: the mean line length of the text that is joined
    // (on the e-reader road, the first temporary file), or with `smart` the
    // unwrap's own estimate.
    std::string column_text;
    bool two_lines = false;  // "Kindle 2 Lines"
    bool indent = false;     // "Kindle Indent"
    // "Autodetect Columns": on the e-reader road the width is the most
    // common line length of the first temporary file minus 6, and the
    // column text is not used. The plain road ignores it.
    bool autodetect = false;
    // The reading-quality unwrap of engine/smart/unwrap.h in place of the dialog's
    // filter, on either road (the command line's --smart; the dialog never
    // sets it). The column text then gives its width when positive, and
    // otherwise the width is estimated from the text. A text found not to
    // be hard-wrapped is passed through with its breaks (breaks_kept).
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

// How a run ended.
struct ProcessOutcome {
    Failure failure = Failure::none;
    // With `smart`: the text has no dominant wrap width, so its line breaks
    // were kept (see failure_text::breaks_kept).
    bool breaks_kept = false;
};

// Runs the request. Its failure is none when the output was written
// completely; otherwise the output is left as it was unless the filter
// itself had begun writing it on the plain road. On the e-reader road, a run
// whose temporary files were changed meanwhile by another run in the same
// folder (their names are fixed) fails with temp_files_changed rather than
// pass the other's text off as its own; its output, written by then, may
// hold that text. The length report of the e-reader road's estimate goes to
// `report` (nullptr: nowhere).
ProcessOutcome run_request(const ProcessRequest& request, std::FILE* report);

// The same, returning 0 for success and 1 for failure, with the text of the
// failure (or of breaks_kept), each a line, written to `messages` (nullptr:
// nowhere).
int run_pipeline(const ProcessRequest& request, std::FILE* messages, std::FILE* report);

// The same with both written to standard output, as the dialog has it.
int run_pipeline(const ProcessRequest& request);

// Not used by the program: reads `stream` from its start to its end into
// `text`, every byte kept, NUL included, for callers that want a whole file
// in memory. Returns false, with `text` empty, on a read error or when the
// memory for the whole file cannot be had.
bool read_whole_file(std::FILE* stream, std::string& text);

}  // namespace parafold
