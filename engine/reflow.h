// The line-joining filter from one file to another.
#pragma once

#include <cstdint>
#include <cstdio>

namespace parafold {

// Copies the input file to the output file, writing each LF of the input
// as LF where the line is a real break and as one space where the line was
// only wrapped (see engine/join.h for the rule); CR and NUL bytes are
// dropped. A width of -1 first estimates the width with
// average_line_length() on the input.
//
// Returns 0 when the whole input was read and the whole output written and
// closed; 1 when the input cannot be opened (it must exist and be writable,
// though it is never written), when the output names the same file as the
// input, when the output cannot be created, or on any read or write error.
// The reason goes to standard output.
int reflow_file(const char* input_path, const char* output_path, std::int32_t width);

// The same, with the diagnostic texts written to `messages` instead of
// standard output (nullptr: nowhere).
int reflow_file(const char* input_path, const char* output_path, std::int32_t width,
                std::FILE* messages);

}  // namespace parafold
