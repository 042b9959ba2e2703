#include "engine/io/blocks.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace parafold {

bool rewound(BlockSource& source) { return source.rewind && source.rewind(); }

BlockSource digest_tap(BlockSource& below, ByteDigest& digest) {
    BlockSource tap{[&below, &digest](char* block, std::size_t size) {
                        const std::size_t got = below.read(block, size);
                        digest.add({block, got});
                        return got;
                    },
                    [&below] { return below.failed(); },
                    {}};
    if (below.rewind) {
        tap.rewind = [&below, &digest] {
            if (!below.rewind()) return false;
            digest = ByteDigest{};
            return true;
        };
    }
    return tap;
}

BlockSink digest_tap(BlockSink& below, ByteDigest& digest) {
    return {[&below, &digest](const char* data, std::size_t size) {
                digest.add({data, size});
                return below.write(data, size);
            },
            [&below] { return !below.finish || below.finish(); }};
}

bool read_sample(BlockSource& source, std::size_t limit, Sample& sample) {
    // Grown a block at a time, so that a short stream costs little memory.
    constexpr std::size_t step = 256 << 10;
    sample.bytes.clear();
    sample.whole = false;
    while (sample.bytes.size() < limit) {
        const std::size_t have = sample.bytes.size();
        const std::size_t want = std::min(step, limit - have);
        sample.bytes.resize(have + want);
        const std::size_t got = source.read(sample.bytes.data() + have, want);
        sample.bytes.resize(have + got);
        if (got < want) {
            if (source.failed()) return false;
            sample.whole = true;
            break;
        }
    }
    return true;
}

BlockSource replay(const Sample& sample, BlockSource& rest) {
    // Where the next byte comes from: the sample up to its end, then `rest`.
    auto at = std::make_shared<std::size_t>(0);
    auto rest_read = std::make_shared<bool>(false);
    return {[&sample, &rest, at, rest_read](char* block, std::size_t size) {
                const std::size_t from_sample = std::min(size, sample.bytes.size() - *at);
                std::memcpy(block, sample.bytes.data() + *at, from_sample);
                *at += from_sample;
                if (from_sample == size || sample.whole) return from_sample;
                *rest_read = true;
                return from_sample + rest.read(block + from_sample, size - from_sample);
            },
            [&rest, rest_read] { return *rest_read && rest.failed(); },
            {}};
}

}  // namespace parafold
