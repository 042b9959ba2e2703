// The line-joining filter: as a layer, and from one file to another.
#pragma once

#include <cstdint>

#include "engine/io/blocks.h"
#include "engine/io/filter_files.h"
#include "engine/reflow/width.h"

namespace parafold {

// A layer over `below` that writes what is written to it with each LF as
// LF where the line is a real break and as one space where the line was
// only wrapped at `columns` (see engine/reflow/join.h for the rule; with
// `characters`, lengths count characters of UTF-8); CR and NUL bytes are
// dropped. With `indent`, in the same pass, the lines come out as
// kindle_indent writes them; with `two_lines`, what is joined is what
// kindle_two_lines makes of the text, also in the same pass.
BlockSink joining(BlockSink& below, std::int32_t columns, bool characters, bool indent,
                  bool two_lines = false);
// The same, joined in place into the room `below` gives.
BlockSink joining(RoomSink& below, std::int32_t columns, bool characters, bool indent,
                  bool two_lines = false);

// Copies the input file to the output file through `joining`, the text
// read and written in its own form (see engine/io/text_form.h). Either
// path may be "-" or name a stream (see engine/io/filter_files.h). Where
// the width needs the lines measured (the mean, the most common length),
// they are learnt first (see engine/io/learn.h): the whole file, or a
// stream's first 8 MiB. The outcome's digests cover the bytes as stored,
// for a caller that hands the files over to others.
//
// The input must exist and, unless it is a stream, be writable, though it
// is never written: otherwise cant_find_input. Also output_is_input,
// cant_create_output, and cant_read_input or cant_write_output on any read
// or write error (including closing the output).
FilterOutcome reflow_file(const char* input_path, const char* output_path, const Width& width);

}  // namespace parafold
