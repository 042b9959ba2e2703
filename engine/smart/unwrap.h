// The reading-quality unwrap: joins the wrapped lines of each paragraph and
// keeps every break that shows evidence of being meant.
//
// It learns before its first output (see engine/io/learn.h): the text's
// layout from its first 8 MiB, the wrap width (unless the caller gives it),
// the indentation of the body text and whether the text is UTF-8 (widths
// then count characters, not bytes); for dehyphenation, the vocabulary of
// the whole text. Then it streams the lines through the break rule of
// engine/smart/join.h. A file is read twice for that; a stream's first
// 8 MiB are held in memory, learnt from (the vocabulary too) and joined
// ahead of the rest. Memory stays bounded whatever the size, the
// vocabulary's too (it tells apart at most max_text_words different words).
#pragma once

#include <cstdint>
#include <string>

#include "engine/io/filter_files.h"
#include "engine/io/learn.h"
#include "engine/smart/join.h"

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
    // Write, in place of the text, a report of what was decided (see
    // start_join in engine/smart/join.h), in UTF-8 whatever the text's form.
    bool explain = false;
    // Join on the caller's thread alone, also a long text (see
    // engine/smart/join_thread.h): for a caller that already keeps the
    // processor's cores busy with several texts at once.
    bool one_thread = false;
};

// What a run found out, for the caller to tell the user.
struct SmartReport {
    std::int32_t width = 0;  // the wrap column used; 0 when the text is not hard-wrapped
    bool wrapped = false;    // false: no dominant wrap width, line breaks copied unchanged
};

// One text's unwrap: what it learns, then its join. It refers to itself:
// make it where it is used, and do not copy it.
struct SmartUnwrap {
    SmartOptions options;
    SmartScanState scan;  // with dehyphenation it holds the words found
    TextLayout layout;
    SmartJoinState join;
    std::string explained;  // the report, on its way out
};

// The learner of the unwrap: give it the text as the join will see it.
Learner smart_learner(SmartUnwrap& unwrap);

// Ends the learning and gives a layer over `below` that writes the text
// joined (with `explain`, the report instead).
BlockSink smart_joining(SmartUnwrap& unwrap, BlockSink& below);

// What the unwrap learnt, once smart_joining has been asked for.
SmartReport report_of(const SmartUnwrap& unwrap);

// Writes the input file to the output file with the wrapped lines of each
// paragraph joined, the text read and written in its own form (see
// engine/io/text_form.h). Line ends come out as LF whatever the input used
// (CR LF, LF or a lone CR); no CR reaches the output. A text with no
// dominant wrap width (and no `columns`) is copied with its line breaks
// unchanged and the report says so. Either path may be "-" or name a
// stream. The output is created only once the input was read for its
// layout. The outcome's digests cover the bytes as stored.
//
// Fails with cant_find_input when the input cannot be opened for reading,
// output_is_input, cant_create_output, cant_read_input or
// cant_write_output on any read or write error (cant_write_report for the
// report of `explain`), out_of_memory when the vocabulary outgrows memory.
// `report` may be nullptr.
FilterOutcome smart_reflow_between(const char* input_path, const char* output_path,
                                const SmartOptions& options, SmartReport* report = nullptr);

}  // namespace parafold
