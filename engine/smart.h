// The reading-quality unwrap: joins the wrapped lines of each paragraph and
// keeps every break that shows evidence of being meant.
//
// It reads the input twice. The first pass learns the text's layout from
// its first 8 MiB: the wrap width (unless the caller gives it), the
// indentation of the body text and whether the text is UTF-8 (widths then
// count characters, not bytes); for dehyphenation it reads the whole text
// to learn its own vocabulary. The second pass streams the
// lines through the break rule of engine/smart_join.h. Memory stays constant
// whatever the file size, apart from the vocabulary.
#pragma once

#include <cstdint>
#include <cstdio>

namespace parafold {

struct SmartOptions {
    // The wrap column in characters; 0 or less estimates it from the text.
    std::int32_t columns = 0;
    // Join a word split by a hyphen at a line end without the hyphen when
    // the joined word occurs unhyphenated elsewhere in the text.
    bool dehyphenate = false;
    // When set, the run writes to it a report of what it decided (see
    // start_join in engine/smart_join.h) instead of writing the output file.
    std::FILE* explain = nullptr;
};

// What a run found out, for the caller to tell the user.
struct SmartReport {
    std::int32_t width = 0;  // the wrap column used; 0 when the text is not hard-wrapped
    bool wrapped = false;    // false: no dominant wrap width, line breaks copied unchanged
};

// Writes the input file to the output file with the wrapped lines of each
// paragraph joined (see engine/smart_join.h). Line ends come out as LF
// whatever the input used (CR LF, LF or a lone CR); no CR reaches the
// output. A text with no dominant wrap width (and no `columns`) is copied
// with its line breaks unchanged and the report says so.
//
// Returns 0 when the whole input was read and the whole output written and
// closed; 1 when the input cannot be opened for reading, when the output
// names the same file as the input, when the output cannot be created, or
// on any read or write error. The reason goes to `messages` (nullptr:
// nowhere), in the same words as reflow_file. `report` may be nullptr.
int smart_reflow_file(const char* input_path, const char* output_path,
                      const SmartOptions& options, std::FILE* messages,
                      SmartReport* report = nullptr);

}  // namespace parafold
