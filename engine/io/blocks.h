// Reading and writing block by block, through layers.
//
// A file sits at the bottom of either side (engine/io/filter_files.h makes
// them). Over it, layers look at or change the bytes on their way: a
// digest of what passed, a sample held in memory and given again, and on
// the --smart file road the place for a decoder over the source and its
// encoder under the sink. A layer is a record of functions that call the
// layer below, which must outlive it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "engine/io/digest.h"

namespace parafold {

struct BlockSource {
    // Reads up to `size` bytes into `block` and returns how many. Fewer
    // than `size` only at the end of the input or after a read error; the
    // caller reads no further then.
    std::function<std::size_t(char* block, std::size_t size)> read;
    // After a short read: whether it was a read error rather than the end.
    std::function<bool()> failed;
    // Goes back to the first byte for another pass; false when that cannot
    // be done (a pipe). Empty: never possible.
    std::function<bool()> rewind;
};

struct BlockSink {
    // Writes `size` bytes; false when not all of them could be written.
    std::function<bool(const char* data, std::size_t size)> write;
    // At the end: writes what a layer still holds back (an encoder's
    // unfinished character); false when that fails. Empty: nothing held.
    std::function<bool()> finish;
};

// Whether `source` can go back to its first byte, and did.
bool rewound(BlockSource& source);

// Layers that add every byte passing through to `digest`. The source can
// rewind when the one below can, and a rewind starts its digest again, so
// that it covers the last pass.
BlockSource digest_tap(BlockSource& below, ByteDigest& digest);
BlockSink digest_tap(BlockSink& below, ByteDigest& digest);

// The first bytes of a source, held in memory, for what a filter must
// learn of a stream before its first output.
struct Sample {
    std::string bytes;
    bool whole = false;  // the source ended within the sample
};

// Reads up to `limit` bytes of `source` into `sample`. False on a read
// error.
bool read_sample(BlockSource& source, std::size_t limit, Sample& sample);

// A source that gives the sample's bytes, then the rest of `rest` (the
// source the sample came from). It cannot rewind.
BlockSource replay(const Sample& sample, BlockSource& rest);

}  // namespace parafold
