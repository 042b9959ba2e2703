#pragma once

#include <cstddef>

#include "engine/io/blocks.h"

namespace parafold {

// A layer that gathers what it is given into blocks of `block_bytes` and
// writes each full block to `below` on a thread of its own, so that the
// system's copying of the written bytes runs beside the work that makes
// the next ones. Its first block is written on the caller's thread when it
// is also the last: a small file starts no thread. Where the target has no
// threads, or none can be started, it writes every block on the caller's
// thread. A failed write below is reported by the next write or by
// finish(), which throw what it threw on the layer's thread. `below` is
// used by one thread at a time and not at all once finish() has returned
// or the layer is gone, so it may write to a file that the caller closes
// then.
BlockSink write_behind(BlockSink& below, std::size_t block_bytes);

// The blocks to hand to the thread: each hand-over wakes it, which costs
// about as much as copying a few KiB, so that blocks of 256 KiB took a
// tenth more time than these on a text of 256 MiB; the three of the ring
// hold 3 MiB.
constexpr std::size_t write_behind_block_bytes = 1 << 20;

// The same, filled in place: its room is in the blocks that the thread
// writes, so that no byte is copied on the way.
RoomSink write_behind_room(BlockSink& below, std::size_t block_bytes);

}  // namespace parafold
