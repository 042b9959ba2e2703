// The texts the filters write when a run fails, and where they go.
#pragma once

#include <cstdio>

namespace parafold::failure_text {

inline constexpr const char* cant_find_input = "Can't find the input file.\n";
inline constexpr const char* cant_read_input = "Sorry, can't read the input file.\n";
inline constexpr const char* output_is_input = "Sorry, the output file is the input file.\n";
inline constexpr const char* cant_create_output =
    "Sorry, can't create the output file. Could be write protect or no free space.\n";
inline constexpr const char* cant_write_output =
    "Sorry, can't write the output file. Could be write protect or no free space.\n";

// Writes `text` to `stream` at once; a null stream takes nothing.
inline void say(std::FILE* stream, const char* text) {
    if (stream) {
        std::fputs(text, stream);
        std::fflush(stream);
    }
}

}  // namespace parafold::failure_text
