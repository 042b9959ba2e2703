// The line-joining filter from one file to another.
#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/io/filter_files.h"

namespace parafold {

// Copies the input to the output, writing each LF of the input as LF where
// the line is a real break and as one space where the line was only
// wrapped (see engine/reflow/join.h for the rule); CR and NUL bytes are dropped.
// Either path may be "-" or name a stream (see engine/io/filter_files.h).
//
// A width of -1 first estimates the width: average_line_length() of the
// input file; of a stream, the mean of the same pieces in its first 8 MiB,
// which are held in memory meanwhile (all of it when it is shorter).
//
// The input must exist and, unless it is a stream, be writable, though it
// is never written: otherwise cant_find_input. Also output_is_input,
// cant_create_output, and cant_read_input or cant_write_output on any read
// or write error (including closing the output).
FilterOutcome reflow_between(const char* input_path, const char* output_path, std::int32_t width);

// Not used by the program: the same with the outcome as the int status, 0
// or 1, and its text written to `messages` (nullptr: nowhere).
int reflow_file(const char* input_path, const char* output_path, std::int32_t width,
                std::FILE* messages);

// Not used by the program: the same with the text written to standard
// output.
int reflow_file(const char* input_path, const char* output_path, std::int32_t width);

}  // namespace parafold
