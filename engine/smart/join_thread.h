// The join of the reading-quality unwrap as a layer that runs on two
// threads: the caller's thread cuts the text into lines and measures them
// (the first half of engine/smart/join.h's smart_join), a thread of its
// own joins them and writes the result to the layer below. The bytes
// written are those of the join on one thread.
//
// The first megabyte is joined on the caller's thread, and the second
// thread starts only after it, so a short text costs no thread. Where the
// build has no threads, or one cannot be started, all of it is joined on
// the caller's thread.
#pragma once

#include "engine/io/blocks.h"
#include "engine/smart/join.h"

namespace parafold {

// Joins what is written to it with `join` and writes the result to `below`
// (both must outlive the layer). A write that fails below fails the next
// write or the finish here, and the join stops there; running out of memory
// on the joining thread comes back as std::bad_alloc from the next write or
// the finish, as on one thread. With `one_thread`, every block is joined on
// the caller's thread.
BlockSink threaded_joining(SmartJoin& join, BlockSink& below, bool one_thread = false);

}  // namespace parafold
