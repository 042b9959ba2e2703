// Why a run failed, as a value, and the one table of texts that say so.
//
// The engine and the pipeline return a Failure; the front ends turn it into
// words through text_of(): the command line prefixes it with the program
// and the file, and the dialog shows only its message box.
#pragma once

namespace parafold {

enum class Failure {
    none,
    cant_find_input,     // the input cannot be opened
    cant_read_input,     // reading the input failed
    output_is_input,     // the output path names the input file
    cant_create_output,  // the output cannot be opened for writing
    cant_write_output,   // writing or closing the output failed
    cant_write_report,   // --smart --explain: writing the report failed
    // The e-reader road's own, around its two temporary files:
    names_a_temp_file,      // the input or output bears a temporary file's name
    cant_write_first_temp,  // "parafoldtemp.txt" cannot be created or written
    cant_read_second_temp,  // "parafoldtemp2.txt" cannot be opened or read
    temp_files_changed,     // another run in the same folder changed them meanwhile
    out_of_memory,          // memory for a stretch of text or a vocabulary ran out
    reader_left,            // the output is a pipe whose reader closed it before the end
    too_many_open_files,    // the process or the system may open no more files
    // The command line's own:
    output_taken,  // an earlier input of the same command has this output file too
    // Any road's, numbered after the others, which keep their numbers:
    output_busy,  // another run (or, on Windows, another program) is writing the output file
};

namespace failure_text {

inline constexpr const char* cant_find_input = "Can't find the input file.\n";
inline constexpr const char* cant_read_input = "Sorry, can't read the input file.\n";
inline constexpr const char* output_is_input = "Sorry, the output file is the input file.\n";
inline constexpr const char* cant_create_output =
    "Sorry, can't create the output file. Could be write protect or no free space.\n";
inline constexpr const char* cant_write_output =
    "Sorry, can't write the output file. Could be write protect or no free space.\n";
inline constexpr const char* cant_write_report = "Sorry, can't write the report.\n";
inline constexpr const char* names_a_temp_file =
    "Sorry, the input or output file is one of the temporary files parafoldtemp.txt and "
    "parafoldtemp2.txt. Please rename it.\n";
inline constexpr const char* cant_write_first_temp =
    "Sorry, can't write the temporary file parafoldtemp.txt in the current folder. Could be "
    "write protect or no free space.\n";
inline constexpr const char* cant_read_second_temp =
    "Sorry, can't read the temporary file parafoldtemp2.txt.\n";
inline constexpr const char* temp_files_changed =
    "Sorry, another run in the current folder changed the temporary files parafoldtemp.txt and "
    "parafoldtemp2.txt while this one used them. Please run it again.\n";
inline constexpr const char* out_of_memory = "Sorry, not enough memory to hold the whole text.\n";
inline constexpr const char* reader_left =
    "Sorry, the reader of the output closed the pipe before the end of the text.\n";
inline constexpr const char* output_busy =
    "Sorry, another run or program is writing the output file. Wait for it to end, or choose "
    "another output file.\n";
inline constexpr const char* too_many_open_files =
    "Sorry, too many files are open: the system lets this run open no more.\n";
inline constexpr const char* output_taken =
    "Sorry, an earlier input file has the same output file, which this one would replace. "
    "Give it its own with --output.\n";

// Not a failure: what --smart says of a text it left as it was.
inline constexpr const char* breaks_kept =
    "The text has no dominant wrap width: its line breaks were kept.\n";

}  // namespace failure_text

// The text that says `failure`, ending in a line break; "" for none.
constexpr const char* text_of(Failure failure) {
    switch (failure) {
        case Failure::none: return "";
        case Failure::cant_find_input: return failure_text::cant_find_input;
        case Failure::cant_read_input: return failure_text::cant_read_input;
        case Failure::output_is_input: return failure_text::output_is_input;
        case Failure::cant_create_output: return failure_text::cant_create_output;
        case Failure::cant_write_output: return failure_text::cant_write_output;
        case Failure::cant_write_report: return failure_text::cant_write_report;
        case Failure::names_a_temp_file: return failure_text::names_a_temp_file;
        case Failure::cant_write_first_temp: return failure_text::cant_write_first_temp;
        case Failure::cant_read_second_temp: return failure_text::cant_read_second_temp;
        case Failure::temp_files_changed: return failure_text::temp_files_changed;
        case Failure::out_of_memory: return failure_text::out_of_memory;
        case Failure::reader_left: return failure_text::reader_left;
        case Failure::too_many_open_files: return failure_text::too_many_open_files;
        case Failure::output_busy: return failure_text::output_busy;
        case Failure::output_taken: return failure_text::output_taken;
    }
    return "";
}

// An exit status for `failure`: 0 for none, 1 for any failure.
constexpr int status_of(Failure failure) { return failure == Failure::none ? 0 : 1; }

}  // namespace parafold
