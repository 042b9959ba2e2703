// Estimates of the wrap column from the byte lengths of a file's lines.
//
// A file is measured in pieces: the bytes up to and including the next LF,
// but at most 99,999 bytes, so a longer line is several pieces. A piece
// measures the bytes before its first NUL (all of it when it has none),
// line-end bytes included.
#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/reflow/pieces.h"

namespace parafold {

// The mean measured length of the file's pieces, truncated; 0 for an empty
// file; -1 when the file cannot be opened for reading. Writes nothing.
std::int32_t average_line_length(const char* path);

// Not used by the program, whose pipeline measures the pieces as it writes
// them: the measured length from 41 to 254 that occurs most often (the
// shortest of equals); 0 when none occurs; -1 when the file cannot be opened.
// Writes a report of 255 lines "length:count\n" for the lengths 0 to 254
// to standard output once the file has been read.
std::int32_t most_common_line_length(const char* path);

// Not used by the program: the same, with the report written to `report`
// (nullptr: no report).
std::int32_t most_common_line_length(const char* path, std::FILE* report);

// The report of 255 lines "length:count\n" of pieces measured by the
// caller, as most_common_line_length writes it (nullptr: none).
void write_length_report(const PieceStats& stats, std::FILE* report);

}  // namespace parafold
