#include "ui/ereader_layers.h"

#include <memory>
#include <string_view>

#include "ereader/transforms.h"

namespace parafold {
namespace {

// A piece of the input at a time: small enough that the result stays in
// the processor's cache on its way to the layer below, large enough that
// the layers below write it to a file as it comes.
constexpr std::size_t piece_bytes = 128 << 10;

// A layer of a transform on a text in pieces: `step(stream, piece, out)`
// takes the front of a piece into a buffer of `room` bytes, `end(stream,
// out)` gives what the stream holds at the end, until it gives nothing.
// The results mostly start `result_at` bytes into the buffer, which is
// placed so that they start on a cache line: a layer below that copies
// them does so at up to three times the speed of a copy between addresses
// that differ by a few bytes within their lines.
template <typename Stream, typename Step, typename End>
BlockSink transform_layer(BlockSink& below, std::size_t room, std::size_t result_at, Step step,
                          End end) {
    constexpr std::size_t line = 64;
    struct State {
        Stream stream;
        PageBlock memory;
        char* buffer;
    };
    auto state = std::make_shared<State>(State{{}, page_block(room + line), nullptr});
    state->buffer = state->memory.data + (line - result_at % line) % line;
    return {[&below, state, step](const char* data, std::size_t size) {
                for (std::string_view text(data, size); !text.empty();) {
                    const StreamStep done = step(state->stream, text, state->buffer);
                    const std::string_view out = done.result;
                    if (!out.empty() && !below.write(out.data(), out.size())) return false;
                    text.remove_prefix(done.used);
                }
                return true;
            },
            [&below, state, end] {
                for (;;) {
                    const std::string_view rest = end(state->stream, state->buffer);
                    if (rest.empty()) return !below.finish || below.finish();
                    if (!below.write(rest.data(), rest.size())) return false;
                }
            }};
}

}  // namespace

BlockSink two_lines_layer(BlockSink& below) {
    constexpr std::size_t room = piece_bytes + 1;
    // Its result starts behind the byte that stands for the one written last.
    return transform_layer<TwoLinesStream>(
        below, room, 1,
        [](TwoLinesStream& stream, std::string_view text, char* out) {
            return kindle_two_lines(stream, text.substr(0, piece_bytes), out, room);
        },
        [](TwoLinesStream& stream, char* out) { return kindle_two_lines_end(stream, out, room); });
}

BlockSink indent_layer(BlockSink& below) {
    constexpr std::size_t room = kindle_indent_room(piece_bytes);
    return transform_layer<IndentStream>(
        below, room, 0,
        [](IndentStream& stream, std::string_view text, char* out) {
            return kindle_indent(stream, text.substr(0, piece_bytes), out, room);
        },
        [](IndentStream& stream, char* out) { return kindle_indent_end(stream, out); });
}

}  // namespace parafold
