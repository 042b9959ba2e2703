// A text read in its own form and written back in it.
//
// The filters work on 8-bit text with LF line ends, counting widths in
// bytes. Two other forms are carried through them:
//  - UTF-16 with a byte-order mark (as Windows editors save "Unicode"
//    text) is read as UTF-8 and written back in UTF-16 with its mark, in
//    its own byte order (see engine/io/utf16.h); its widths then count
//    characters, not bytes;
//  - old Mac text, whose lines end in a lone CR, is read as if each CR were
//    an LF. So as to leave every other text's bytes as they are, only a
//    text with CR bytes and no LF at all is taken for it, and the common
//    case costs nothing: only a text whose first block holds a CR and no LF
//    is looked at further, for an LF (a file to its end, a stream through
//    its first stream_sample_bytes).
#pragma once

#include "engine/io/blocks.h"
#include "engine/io/failure.h"
#include "engine/io/learn.h"
#include "engine/io/utf16.h"

namespace parafold {

struct TextForm {
    Utf16Found utf16;       // found when the first block is read
    bool cr_lines = false;  // old Mac text: each CR is read as an LF

    // Whether widths count characters (of UTF-8) rather than bytes.
    bool counts_characters() const { return utf16.utf16; }
};

// The text of a raw source, in its own form. It refers to itself: make it
// where it is used, and do not copy it.
struct TextReading {
    TextForm form;
    BlockSource decoded;  // UTF-16 as UTF-8, any other text as it is
    LearntText start;     // the decoded text again from its first byte
    BlockSource text;     // what the filters read: the text with LF line ends
};

// Reads the first bytes of `raw` to find its form and sets `reading.text`
// to the text from its first byte. `raw` must outlive `reading`; reading
// `reading.text` can rewind when `raw` can. cant_read_input on a read error.
Failure read_text(BlockSource& raw, TextReading& reading);

// A layer over `raw` that writes a text in `form` (as read_text found it),
// its line ends as they come.
BlockSink write_text(BlockSink& raw, const TextForm& form);

}  // namespace parafold
