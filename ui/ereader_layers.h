// The e-reader transforms as layers over a sink (see engine/io/blocks.h):
// what is written to a layer goes on transformed to the sink below, piece
// by piece, with the bytes the transform gives the whole text. A layer
// holds a buffer and the few bytes its transform carries between pieces
// (see ereader/transforms.h), so a line of any length passes through in
// little memory. Its finish writes what the transform held back at the
// end of the text, then finishes the sink below.
#pragma once

#include "engine/io/blocks.h"

namespace parafold {

// "Kindle 2 Lines": kindle_two_lines.
BlockSink two_lines_layer(BlockSink& below);

// "Kindle Indent": kindle_indent.
BlockSink indent_layer(BlockSink& below);

}  // namespace parafold
