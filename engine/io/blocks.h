// Reading and writing block by block, through layers.
//
// A file (engine/io/filter_files.h) or bytes in memory sit at the bottom of
// either side. Over it, layers look at or change the bytes on their way: a
// digest of what passed, a sample held in memory and given again, the text
// read in its own form and written back in it (engine/io/text_form.h), the
// joining rules and the e-reader transforms. A layer is a record of
// functions that call the layer below, which must outlive it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/io/digest.h"
#include "engine/io/failure.h"

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

// A sink that its writer fills in place, which saves a copy of every byte
// where the layer below keeps blocks of its own. room(size) is where the
// next `size` bytes go, `size` at most `most`; nullptr once a write below
// failed. filled(size) says that the first `size` bytes of that room now
// hold the text's next bytes; false when a write below failed. finish as
// for a BlockSink.
struct RoomSink {
    std::size_t most = 0;
    std::function<char*(std::size_t size)> room;
    std::function<bool(std::size_t size)> filled;
    std::function<bool()> finish;
};

// Room in a buffer of `most` bytes of its own, written to `below` whenever
// it is filled.
RoomSink buffered_room(BlockSink& below, std::size_t most);

// Memory for a block that the system copies a file's bytes into or out of,
// starting at a page boundary: a block that starts a few bytes into a page
// takes up to twice as long to copy (256 MiB read into one in 0.10 s
// against 0.06 s).
struct PageBlock {
    std::unique_ptr<char[]> memory;
    char* data = nullptr;
};
PageBlock page_block(std::size_t size);

// Whether `source` can go back to its first byte, and did.
bool rewound(BlockSource& source);

// Reads `source` to its end in blocks and writes them to `sink`, then
// finishes the sink. cant_read_input or cant_write_output when either fails.
Failure pump(BlockSource& source, BlockSink& sink);

// Layers that add every byte passing through to `digest`. The source can
// rewind when the one below can, and a rewind starts its digest again, so
// that it covers the last pass. With `passes_alike`, it also compares every
// earlier pass with the bytes the later ones read in the same place (as
// far as it went) and says whether all agreed and the last went as far as
// each: a file that changed between two passes over it does not.
BlockSource digest_tap(BlockSource& below, ByteDigest& digest, bool* passes_alike = nullptr);
BlockSink digest_tap(BlockSink& below, ByteDigest& digest);

// The first bytes of a source, held in memory, for what a filter must
// learn of a stream before its first output (see engine/io/learn.h).
struct Sample {
    std::string bytes;
    bool whole = false;  // the source ended within the sample
};

// A source that gives the sample's bytes, then the rest of `rest` (the
// source the sample came from). It cannot rewind.
BlockSource replay(const Sample& sample, BlockSource& rest);

// A layer that gathers what is written to it into blocks of up to
// `block_bytes` for `below`, so that a file below gets few large writes
// however small the pieces that come; a piece of a quarter of a block or
// more that finds nothing gathered passes straight on. Its finish writes what is
// left.
BlockSink gathering(BlockSink& below, std::size_t block_bytes);

// Bytes in memory as a source (`bytes` must outlive it; it can rewind),
// and a sink that appends to `text`.
BlockSource memory_source(std::string_view bytes);
BlockSink string_sink(std::string& text);

}  // namespace parafold
