// A block source over a text in memory and a block sink into one, for
// tests that stream through the layers of engine/io/blocks.h without files.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/io/blocks.h"

namespace parafold::testing {

struct MemoryBlocks {
    std::string input;
    std::size_t at = 0;
    std::string output;

    BlockSource source() {
        return {[this](char* block, std::size_t size) {
                    const std::size_t got = std::min(size, input.size() - at);
                    std::memcpy(block, input.data() + at, got);
                    at += got;
                    return got;
                },
                [] { return false; },
                [this] {
                    at = 0;
                    return true;
                }};
    }
    BlockSink sink() {
        return {[this](const char* data, std::size_t size) {
                    output.append(data, size);
                    return true;
                },
                {}};
    }
};

}  // namespace parafold::testing
