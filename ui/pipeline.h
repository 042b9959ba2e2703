// One Process File request, from the input to the output, without any
// window: the text joined by the dialog's rule (or the reading-quality
// unwrap), through the e-reader transforms when asked.
//
// The steps, for every text: it is read in its own form (UTF-16 decoded,
// old Mac line ends as LF; see engine/io/text_form.h); with `two_lines`
// it goes through kindle_two_lines(); the join learns first what its width
// needs (see engine/reflow/width.h), from the text as the join sees it,
// then joins; with `indent` the result goes through kindle_indent(); it is
// written back in its own form. Two ways through them:
//  - run_request, and unwrap_between for streams in memory: one pass from
//    the input to the output, every step streaming, no temporary file (a
//    file read twice where a width or a layout must be learnt first);
//  - run_pipeline, the dialog's: the same on the plain road (neither
//    e-reader option); on the e-reader road, as the dialog always did,
//    through the temporary files "parafoldtemp.txt" (the text after
//    kindle_two_lines, measured as it is written) and "parafoldtemp2.txt"
//    (the join's result) in the current directory, deleted at the end.
// Both give the same bytes. Either path may be "-" (standard input as the
// input, standard output as the output) or name a pipe, a FIFO or a device:
// such streams are read or written once, front to back (see
// engine/io/filter_files.h). Memory stays bounded whatever the text, with
// at most a few stream samples of 8 MiB (see engine/io/learn.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/io/blocks.h"
#include "engine/io/failure.h"
#include "engine/io/filter_files.h"  // standard_stream_path
#include "engine/reflow/width.h"

namespace parafold {

// The names of the dialog's temporary files, relative to the current
// directory.
inline constexpr const char* first_temp_name = "parafoldtemp.txt";
inline constexpr const char* second_temp_name = "parafoldtemp2.txt";

// What to do to a text, wherever it comes from and goes to.
struct UnwrapOptions {
    // The wrap column. With `smart`, a given width above 0 is the unwrap's,
    // and any other asks for its own estimate.
    Width width;
    bool two_lines = false;  // "Kindle 2 Lines"
    bool indent = false;     // "Kindle Indent"
    // The reading-quality unwrap of engine/smart/unwrap.h in place of the
    // dialog's rule (the command line's --smart; the dialog never sets it).
    // A text found not to be hard-wrapped passes with its breaks
    // (breaks_kept).
    bool smart = false;
    bool dehyphenate = false;  // with `smart`: see SmartOptions
    bool explain = false;      // with `smart`: the report in place of the text
    bool one_thread = false;   // with `smart`: see SmartOptions
};

struct ProcessRequest {
    std::string input_path, output_path;
    UnwrapOptions options;
};

// The value of a column text, as C's strtol reads a decimal number: leading
// white space (space, \t, \n, \v, \f, \r) skipped, an optional sign, then
// digits up to the first non-digit. No digits give 0; a value beyond the
// signed 32-bit range saturates to 2147483647 or -2147483648.
//
//   column_value("56") == 56, column_value(" -1x") == -1, column_value("") == 0
std::int32_t column_value(std::string_view column_text);

// The width the dialog's fields ask for: with "Autodetect Columns" on the
// e-reader road, the most common line length less 6 whatever the column
// text says; otherwise the column text's value, where -1 asks for the mean
// line length. (On the plain road "Autodetect Columns" acts only through
// the mean it put into the column field when the file was chosen.)
Width width_of_fields(std::string_view column_text, bool autodetect, bool ereader);

// How a run ended.
struct ProcessOutcome {
    Failure failure = Failure::none;
    // With `smart`: the text has no dominant wrap width, so its line breaks
    // were kept (see failure_text::breaks_kept).
    bool breaks_kept = false;
};

// Runs the request in one pass. Its failure is none when the output was
// written completely; otherwise the output is left as it was, unless the
// failure came while it was written (a full disk, a reader that left). The
// output is created only once what must be learnt was read. With a width of
// the most common line length, its length report goes to `report`
// (nullptr: nowhere).
ProcessOutcome run_request(const ProcessRequest& request, std::FILE* report = nullptr);

// The dialog's run of the request (see above). On the e-reader road, a run
// whose temporary files were changed meanwhile by another run in the same
// folder (their names are fixed) fails with temp_files_changed rather than
// pass the other's text off as its own; its output, written by then, may
// hold that text.
ProcessOutcome run_pipeline(const ProcessRequest& request);

// Streams in memory: runs `options` on the text that `input` gives into
// `output`, the bytes a file run with the same options gives for the same
// bytes. An input that can rewind (bytes in memory, see memory_source) is
// learnt from whole, as a file is; one that cannot, as a stream is. Fails
// with cant_read_input or cant_write_output when an end says so.
//
// `output` is written on the caller's thread unless `output_threads` allows
// a thread of the run's own, which the dialog's rule then writes it on
// while the caller's thread joins (the way a file is written): for an
// output that any thread may write, one at a time, and that is left alone
// once this returns.
enum class OutputThreads { caller, any };
ProcessOutcome unwrap_between(BlockSource& input, BlockSink& output, const UnwrapOptions& options,
                              OutputThreads output_threads = OutputThreads::caller);

// The same from bytes in memory to bytes in memory: `output` is replaced by
// the result.
ProcessOutcome unwrap_bytes(std::string_view input, std::string& output,
                            const UnwrapOptions& options);

}  // namespace parafold
