// The join of the reading-quality unwrap as a layer that runs on several
// threads: the caller's thread hands the text out in pieces and writes
// what they give in order, threads of their own (one a core, up to four)
// join the pieces, each thread its own paragraphs, as a join may start
// afresh after an empty line (engine/smart/join.h). The bytes written are
// those of one join on one thread.
//
// The first megabyte is joined on the caller's thread, and the joining
// threads start only after it, so a short text costs no thread. Where the
// build has no threads, or none can be started, all of it is joined on
// the caller's thread.
#pragma once

#include "engine/io/blocks.h"
#include "engine/smart/join.h"

namespace parafold {

// Joins what is written to it with `join` and writes the result to `below`
// (both must outlive the layer). A write that fails below fails the next
// write or the finish here, and the join stops there; running out of memory
// on a joining thread comes back as std::bad_alloc from the next write or
// the finish, as on one thread. With `one_thread`, every block is joined on
// the caller's thread.
BlockSink threaded_joining(SmartJoin& join, BlockSink& below, bool one_thread = false);

}  // namespace parafold
