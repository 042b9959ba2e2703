// The reading-quality unwrap: joins the wrapped lines of each paragraph and
// keeps every break that shows evidence of being meant.
//
// It reads a file twice. The first pass learns the text's layout from its
// first 8 MiB: the wrap width (unless the caller gives it), the indentation
// of the body text and whether the text is UTF-8 (widths then count
// characters, not bytes); for dehyphenation it reads the whole text to
// learn its own vocabulary. The second pass streams the lines through the
// break rule of engine/smart/join.h. A stream (standard input, a pipe; see
// engine/io/filter_files.h) cannot be read twice: its first 8 MiB are held in
// memory, learnt from (the vocabulary too) and joined ahead of the rest.
// Memory stays bounded whatever the size, apart from the vocabulary.
#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/io/filter_files.h"

namespace parafold {

struct SmartOptions {
    // The wrap column in characters; 0 or less estimates it from the text.
    std::int32_t columns = 0;
    // Join a word split by a hyphen at a line end without the hyphen when
    // the text spells it so (see engine/smart/hyphens.h).
    bool dehyphenate = false;
    // The word list that dehyphenation asks where the text is silent (see
    // engine/smart/word_list.h): nullptr, the system's; "", none.
    const char* word_list = nullptr;
    // When set, the run writes to it a report of what it decided (see
    // start_join in engine/smart/join.h) instead of writing the output file.
    std::FILE* explain = nullptr;
};

// What a run found out, for the caller to tell the user.
struct SmartReport {
    std::int32_t width = 0;  // the wrap column used; 0 when the text is not hard-wrapped
    bool wrapped = false;    // false: no dominant wrap width, line breaks copied unchanged
};

// Writes the input to the output with the wrapped lines of each paragraph
// joined (see engine/smart/join.h). Line ends come out as LF whatever the
// input used (CR LF, LF or a lone CR); no CR reaches the output. A text with
// no dominant wrap width (and no `columns`) is copied with its line breaks
// unchanged and the report says so. A text that starts with a UTF-16 mark
// is joined as UTF-8 and written back in UTF-16 with the same mark (see
// engine/io/utf16.h). Either path may be "-" or name a stream. The output is created only once the input was read for its
// layout.
//
// Fails with cant_find_input when the input cannot be opened for reading,
// output_is_input, cant_create_output, cant_read_input or
// cant_write_output on any read or write error (cant_write_report for the
// report of `explain`), out_of_memory when the vocabulary outgrows memory.
// `report` may be nullptr.
FilterOutcome smart_reflow_between(const char* input_path, const char* output_path,
                                   const SmartOptions& options, SmartReport* report = nullptr);

}  // namespace parafold
