// The e-reader transforms on a text in pieces (ereader/transforms.h), with
// pieces and buffers of any size, against the literal transforms applied to
// the whole text at once; and through the layers of ui/ereader_layers.h.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "tests/memory_blocks.h"
#include "tests/reference_transforms.h"
#include "ereader/transforms.h"
#include "ui/ereader_layers.h"

namespace {

using namespace parafold;
using namespace parafold::fuzz;

// `text` cut into the pieces of `sizes` (see block_size), each step given
// a buffer of exactly `room` bytes, so that AddressSanitizer sees a write
// past it.
template <typename Step, typename End>
std::string in_pieces(const std::string& text, const std::string& sizes, std::size_t room,
                      Step step, End end) {
    const std::unique_ptr<char[]> out(new char[room]);
    std::string result;
    std::size_t at = 0;
    for (std::size_t index = 0; at < text.size(); ++index) {
        std::string_view piece(text.data() + at,
                               std::min(block_size(sizes, index, text.size() - at), text.size() - at));
        at += piece.size();
        while (!piece.empty()) {
            const StreamStep done = step(piece, out.get(), room);
            if (done.result.size() > room) difference("a step wrote past its room", "", "");
            result += done.result;
            piece.remove_prefix(done.used);
        }
    }
    for (std::string_view rest; !(rest = end(out.get(), room)).empty();) result += rest;
    return result;
}

std::string through_layer(const std::string& text, const std::string& sizes, bool two_lines) {
    testing::MemoryBlocks blocks;
    BlockSink sink = blocks.sink();
    BlockSink layer = two_lines ? two_lines_layer(sink) : indent_layer(sink);
    std::size_t at = 0;
    for (std::size_t index = 0; at < text.size(); ++index) {
        const std::size_t size =
            std::min(block_size(sizes, index, text.size() - at), text.size() - at);
        if (!layer.write(text.data() + at, size)) difference("layer write", "true", "false");
        at += size;
    }
    if (!layer.finish()) difference("layer finish", "true", "false");
    return blocks.output;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::string sizes = fuzz_blocks(data);
    const std::size_t room = data.ConsumeBool() ? data.ConsumeIntegralInRange<std::size_t>(2, 40)
                                                : data.ConsumeIntegralInRange<std::size_t>(2, 5000);
    const bool any_bytes = data.ConsumeIntegralInRange(0, 3) == 0;
    std::string text = fuzz_text(data, 8'000);
    if (!any_bytes) text = small_alphabet(text);

    const std::string two_lines = testing::reference_kindle_two_lines(text);
    const std::string indent = testing::reference_kindle_indent(text);
    TwoLinesStream two;
    expect_equal("kindle_two_lines in pieces", two_lines,
                 in_pieces(
                     text, sizes, room,
                     [&](std::string_view piece, char* out, std::size_t r) {
                         return kindle_two_lines(two, piece, out, r);
                     },
                     [&](char* out, std::size_t r) { return kindle_two_lines_end(two, out, r); }));
    IndentStream lines;
    const std::size_t indent_room = std::max(room, kindle_indent_room(1));
    expect_equal("kindle_indent in pieces", indent,
                 in_pieces(
                     text, sizes, indent_room,
                     [&](std::string_view piece, char* out, std::size_t r) {
                         return kindle_indent(lines, piece, out, r);
                     },
                     [&](char* out, std::size_t) { return kindle_indent_end(lines, out); }));
    expect_equal("two_lines_layer", two_lines, through_layer(text, sizes, true));
    expect_equal("indent_layer", indent, through_layer(text, sizes, false));
    return 0;
}
