#include "engine/io/learn.h"

#include <algorithm>
#include <memory>

namespace parafold {
namespace {

// What the learner is given at a time.
constexpr std::size_t block_bytes = 256 << 10;

bool wants_more(const Learner& learner) { return !learner.enough || !learner.enough(); }

// Gives the learner `size` more bytes; false when it could not take them.
bool give(Learner& learner, const char* data, std::size_t size) {
    return size == 0 || learner.take.write(data, size);
}

void text_ended(Learner& learner) {
    if (learner.take.finish) learner.take.finish();
}

Failure learn_from_file(BlockSource& source, Learner& learner) {
    const PageBlock block = page_block(block_bytes);
    while (wants_more(learner)) {
        const std::size_t got = source.read(block.data, block_bytes);
        give(learner, block.data, got);
        if (got < block_bytes) {
            if (source.failed()) return Failure::cant_read_input;
            text_ended(learner);
            break;
        }
    }
    return rewound(source) ? Failure::none : Failure::cant_read_input;
}

Failure learn_from_stream(BlockSource& source, Learner& learner, Sample& sample) {
    // Room for all of it at once (with the byte that tells the end): memory
    // that nothing is written to costs nothing, and the bytes are never
    // copied to grow.
    sample = Sample{};
    std::string& bytes = sample.bytes;
    bytes.reserve(stream_sample_bytes + 1);
    while (wants_more(learner) && bytes.size() < stream_sample_bytes) {
        const std::size_t have = bytes.size();
        const std::size_t want = std::min(block_bytes, stream_sample_bytes - have);
        bytes.resize(have + want);
        const std::size_t got = source.read(bytes.data() + have, want);
        bytes.resize(have + got);
        give(learner, bytes.data() + have, got);
        if (got < want) {
            if (source.failed()) return Failure::cant_read_input;
            sample.whole = true;
            text_ended(learner);
            return Failure::none;
        }
    }
    if (bytes.size() == stream_sample_bytes) {
        // A stream that ends right at the sample's limit is whole as well:
        // one byte more tells. Kept for the replay if there is one.
        char next;
        const std::size_t got = source.read(&next, 1);
        if (got == 0) {
            if (source.failed()) return Failure::cant_read_input;
            sample.whole = true;
            text_ended(learner);
        } else {
            bytes += next;
        }
    }
    return Failure::none;
}

}  // namespace

Failure learn_then_stream(BlockSource& source, Learner& learner, LearntText& learnt) {
    if (source.rewind) {
        learnt.text = &source;
        return learn_from_file(source, learner);
    }
    const Failure failure = learn_from_stream(source, learner, learnt.sample);
    learnt.replayed = replay(learnt.sample, source);
    learnt.text = &learnt.replayed;
    return failure;
}

}  // namespace parafold
