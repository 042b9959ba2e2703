// Opening and closing the two files of a filter run, with the checks and
// messages every filter owes its user.
#pragma once

#include <cstdio>

namespace parafold {

// Opens the input with `mode`, unbuffered (the filters read large blocks).
// Refuses, before anything is written, an output path that names the same
// file by any name, since creating the output truncates it. Says why and
// returns nullptr when it fails.
std::FILE* open_filter_input(const char* input_path, const char* mode, const char* output_path,
                             std::FILE* messages);

// Creates (or truncates) the output, unbuffered. On failure says why,
// closes `input` and returns nullptr.
std::FILE* create_filter_output(const char* output_path, std::FILE* input, std::FILE* messages);

// Closes both files and returns `status`, or 1 when closing the output
// failed (its last bytes may never have reached the disk).
int close_filter_files(std::FILE* input, std::FILE* output, int status, std::FILE* messages);

}  // namespace parafold
