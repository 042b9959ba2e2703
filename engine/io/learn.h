// The step every filter that must know something of its text before its
// first output takes, written once: learn, then stream.
//
// A learner is given the text's first bytes, in order, until it has learnt
// enough (a layout, the vocabulary, the lengths of all lines, how lines
// end). Where it comes from decides how:
//  - a source that can go back to its first byte (a file, bytes in memory)
//    is read as far as the learner wants, to its end at most, and rewound;
//    the text then streams from that source itself;
//  - a stream (standard input, a pipe) can be read only once: its first
//    bytes are held in memory as they are given to the learner, up to
//    stream_sample_bytes, and the text streams from that sample given again
//    ahead of the rest.
// So memory stays bounded whatever the text, and a stream gives what the
// same bytes in a file give as long as the learner wants no more than the
// sample.
#pragma once

#include <cstddef>
#include <functional>

#include "engine/io/blocks.h"
#include "engine/io/failure.h"

namespace parafold {

// How much of a stream is held to learn from: enough for a text's layout,
// little enough for any machine's memory.
inline constexpr std::size_t stream_sample_bytes = 8 << 20;

struct Learner {
    // Takes the bytes in order. Its finish is called when the whole text
    // was given, and only then (not when a stream's sample ran out first).
    BlockSink take;
    // Whether it has learnt enough, so that no more is read for it. Empty:
    // it wants the whole text.
    std::function<bool()> enough;
};

// Where the text streams from once learnt. It refers to itself: make it
// where it is used, and do not copy it.
struct LearntText {
    Sample sample;         // a stream's first bytes
    BlockSource replayed;  // the sample, then the rest of the stream
    BlockSource* text = nullptr;
};

// Gives `learner` what it wants of `source` and sets `learnt.text` to the
// text from its first byte. cant_read_input on a read error or when a
// source that can rewind does not.
Failure learn_then_stream(BlockSource& source, Learner& learner, LearntText& learnt);

}  // namespace parafold
