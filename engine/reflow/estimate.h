// Estimates of the wrap column from the lengths of a file's lines.
//
// A file is measured in pieces: the bytes up to and including the next LF,
// but at most 99,999 bytes, so a longer line is several pieces. A piece
// measures the bytes before its first NUL (all of it when it has none),
// line-end bytes included. The text is read in its own form (see
// engine/io/text_form.h): UTF-16 is measured in characters, and old Mac
// text with each CR as an LF.
#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/reflow/pieces.h"

namespace parafold {

// Measures every piece of the file at `path` into `stats`. False when it
// cannot be opened, or not even its first bytes can be read (a folder
// opens for reading on some systems but has no bytes to give). A later
// read error ends the reading as the end of the file does.
bool measure_file(const char* path, PieceStats& stats);

// The mean measured length of the file's pieces, truncated; 0 for an empty
// file; -1 when the file cannot be measured.
std::int32_t average_line_length(const char* path);

// The measured length from 41 to 254 that occurs most often (the shortest
// of equals); 0 when none occurs; -1 when the file cannot be measured.
std::int32_t most_common_line_length(const char* path);

// The report of 255 lines "length:count\n" for the lengths 0 to 254 of
// measured pieces (nullptr: none).
void write_length_report(const PieceStats& stats, std::FILE* report);

}  // namespace parafold
