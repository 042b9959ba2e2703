#include "engine/io/blocks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace parafold {

PageBlock page_block(std::size_t size) {
    // The pages of the systems this runs on: 4 KiB, and never larger than
    // 64 KiB, whose boundaries are 4 KiB boundaries too.
    constexpr std::size_t page = 4096;
    PageBlock block;
    block.memory.reset(new char[size + page - 1]);
    const auto at = reinterpret_cast<std::uintptr_t>(block.memory.get());
    block.data = block.memory.get() + (page - at % page) % page;
    return block;
}

bool rewound(BlockSource& source) { return source.rewind && source.rewind(); }

Failure pump(BlockSource& source, BlockSink& sink) {
    // Large enough that the system calls cost little, small enough to stay
    // in the processor's cache on the way through the layers.
    constexpr std::size_t block_bytes = 256 << 10;
    const PageBlock block = page_block(block_bytes);
    for (;;) {
        const std::size_t got = source.read(block.data, block_bytes);
        if (got != 0 && !sink.write(block.data, got)) return Failure::cant_write_output;
        if (got < block_bytes) {
            if (source.failed()) return Failure::cant_read_input;
            return !sink.finish || sink.finish() ? Failure::none : Failure::cant_write_output;
        }
    }
}

namespace {

// A source's digest tap with the earlier passes it still compares.
struct SourceTap {
    SourceTap(BlockSource& below_, ByteDigest& digest_, bool* alike_)
        : below(below_), digest(digest_), alike(alike_) {}

    BlockSource& below;
    ByteDigest& digest;
    bool* alike;
    bool differed = false;
    // The digests of earlier passes that this one has not reached yet, the
    // shortest first.
    std::vector<ByteDigest> earlier;

    void add(const char* data, std::size_t size) {
        // Up to where an earlier pass ended, then compare with it.
        while (!earlier.empty() && digest.bytes + size >= earlier.front().bytes) {
            const auto take = static_cast<std::size_t>(earlier.front().bytes - digest.bytes);
            digest.add({data, take});
            data += take;
            size -= take;
            differed = differed || !(digest == earlier.front());
            earlier.erase(earlier.begin());
        }
        digest.add({data, size});
        tell();
    }

    void start_again() {
        if (digest.bytes > 0) {
            const auto longer = [](const ByteDigest& a, const ByteDigest& b) { return a.bytes < b.bytes; };
            earlier.insert(std::upper_bound(earlier.begin(), earlier.end(), digest, longer), digest);
        }
        digest = ByteDigest{};
        tell();
    }

    void tell() const {
        if (alike) *alike = !differed && earlier.empty();
    }
};

}  // namespace

BlockSource digest_tap(BlockSource& below, ByteDigest& digest, bool* passes_alike) {
    auto tap = std::make_shared<SourceTap>(below, digest, passes_alike);
    tap->tell();
    BlockSource source{[tap](char* block, std::size_t size) {
                           const std::size_t got = tap->below.read(block, size);
                           tap->add(block, got);
                           return got;
                       },
                       [tap] { return tap->below.failed(); },
                       {}};
    if (below.rewind) {
        source.rewind = [tap] {
            if (!tap->below.rewind()) return false;
            tap->start_again();
            return true;
        };
    }
    return source;
}

BlockSink digest_tap(BlockSink& below, ByteDigest& digest) {
    return {[&below, &digest](const char* data, std::size_t size) {
                digest.add({data, size});
                return below.write(data, size);
            },
            [&below] { return !below.finish || below.finish(); }};
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

BlockSink gathering(BlockSink& below, std::size_t block_bytes) {
    struct Gathered {
        PageBlock block;
        std::size_t held = 0;
    };
    auto gathered = std::make_shared<Gathered>(Gathered{page_block(block_bytes), 0});
    const auto flush = [&below, gathered] {
        const std::size_t held = std::exchange(gathered->held, 0);
        return held == 0 || below.write(gathered->block.data, held);
    };
    return {[&below, gathered, flush, block_bytes](const char* data, std::size_t size) {
                if (gathered->held + size > block_bytes && !flush()) return false;
                // A quarter of a block and more is worth a write of its own:
                // its system call costs little beside copying it once more.
                if (gathered->held == 0 && size >= block_bytes / 4) return below.write(data, size);
                std::memcpy(gathered->block.data + gathered->held, data, size);
                gathered->held += size;
                return true;
            },
            [&below, flush] { return flush() && (!below.finish || below.finish()); }};
}

RoomSink buffered_room(BlockSink& below, std::size_t most) {
    auto buffer = std::make_shared<PageBlock>(page_block(most));
    return {most,
            [buffer](std::size_t) { return buffer->data; },
            [&below, buffer](std::size_t size) { return size == 0 || below.write(buffer->data, size); },
            [&below] { return !below.finish || below.finish(); }};
}

BlockSource memory_source(std::string_view bytes) {
    auto at = std::make_shared<std::size_t>(0);
    return {[bytes, at](char* block, std::size_t size) {
                const std::size_t got = std::min(size, bytes.size() - *at);
                std::memcpy(block, bytes.data() + *at, got);
                *at += got;
                return got;
            },
            [] { return false; },
            [at] {
                *at = 0;
                return true;
            }};
}

BlockSink string_sink(std::string& text) {
    return {[&text](const char* data, std::size_t size) {
                text.append(data, size);
                return true;
            },
            {}};
}

}  // namespace parafold
