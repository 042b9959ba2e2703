// The e-reader transforms streamed piece by piece, in blocks of any size,
// against the literal transforms applied to the whole text at once.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "tests/memory_blocks.h"
#include "tests/reference_transforms.h"
#include "ui/piecewise.h"

namespace {

using namespace parafold;
using namespace parafold::fuzz;

// The bytes `how` writes for `text` fed in blocks of `block_bytes`.
std::string streamed(const std::string& text, const PiecewiseTransform& how,
                     std::size_t block_bytes) {
    testing::MemoryBlocks blocks;
    blocks.input = text;
    BlockSource in = blocks.source();
    BlockSink out = blocks.sink();
    if (transform_stream(in, out, how, block_bytes) != Streamed::whole) {
        difference("transform_stream status", "whole", "a failure");
    }
    return blocks.output;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::size_t block_bytes = data.ConsumeBool()
                                        ? data.ConsumeIntegralInRange<std::size_t>(1, 8)
                                        : data.ConsumeIntegralInRange<std::size_t>(1, 5000);
    const bool any_bytes = data.ConsumeIntegralInRange(0, 3) == 0;
    std::string text = fuzz_text(data, 8'000);
    if (!any_bytes) text = small_alphabet(text);

    expect_equal("piecewise kindle_two_lines", testing::reference_kindle_two_lines(text),
                 streamed(text, piecewise_two_lines, block_bytes));
    expect_equal("piecewise kindle_indent", testing::reference_kindle_indent(text),
                 streamed(text, piecewise_indent, block_bytes));
    expect_equal("piecewise copy", text, streamed(text, piecewise_copy, block_bytes));
    return 0;
}
