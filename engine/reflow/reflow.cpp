#include "engine/reflow/reflow.h"

#include <memory>
#include <new>

#include "engine/io/learn.h"
#include "engine/io/text_form.h"
#include "engine/reflow/join.h"
#include "engine/reflow/pieces.h"

namespace parafold {
namespace {

// A block of the text at a time, joined into a buffer that stays in the
// processor's cache on its way to the layer below.
constexpr std::size_t block_bytes = 256 << 10;

// Opens both ends and runs the filter; the caller closes them.
Failure reflow_ends(const char* input_path, const char* output_path, const Width& width,
                    FileEnd& in, FileEnd& out, FilterOutcome& outcome) {
    // "r+b": the input must exist and be writable, though it is only read.
    Failure failure = open_filter_input(input_path, "r+b", output_path, in);
    if (failure != Failure::none) return failure;
    BlockSource file = file_source(in);
    BlockSource read = digest_tap(file, outcome.read, &outcome.read_alike);
    TextReading reading;
    failure = read_text(read, reading);
    if (failure != Failure::none) return failure;
    const bool characters = reading.form.counts_characters();

    PieceStats lines;
    LearntText learnt;
    learnt.text = &reading.text;
    if (measures_lines(width)) {
        Learner learner{piece_counter(lines, characters), {}};
        failure = learn_then_stream(reading.text, learner, learnt);
        if (failure != Failure::none) return failure;
    }

    failure = open_filter_output(output_path, "w+b", out);
    if (failure != Failure::none) return failure;
    BlockSink file_out = file_sink(out);
    BlockSink written = digest_tap(file_out, outcome.written);
    BlockSink text_out = write_text(written, reading.form);
    BlockSink joined = joining(text_out, columns_of(width, lines), characters, false);
    return pump(*learnt.text, joined);
}

}  // namespace

BlockSink joining(BlockSink& below, std::int32_t columns, bool characters, bool indent) {
    struct State {
        JoinState join;
        std::unique_ptr<char[]> out;
    };
    auto state = std::make_shared<State>(
        State{{}, std::unique_ptr<char[]>(new char[join_lines_room(block_bytes, indent)])});
    return {[&below, state, columns, characters, indent](const char* data, std::size_t size) {
                for (std::size_t at = 0; at < size; at += block_bytes) {
                    const std::size_t part = std::min(block_bytes, size - at);
                    const std::size_t kept = join_lines(state->join, columns, data + at, part,
                                                        state->out.get(), characters, indent);
                    if (kept != 0 && !below.write(state->out.get(), kept)) return false;
                }
                return true;
            },
            [&below, state] {
                const std::size_t last = join_lines_end(state->join, state->out.get());
                if (last != 0 && !below.write(state->out.get(), last)) return false;
                return !below.finish || below.finish();
            }};
}

FilterOutcome reflow_file(const char* input_path, const char* output_path, const Width& width) {
    FilterOutcome outcome;
    FileEnd in, out;
    Failure failure = Failure::out_of_memory;
    try {
        failure = reflow_ends(input_path, output_path, width, in, out, outcome);
    } catch (const std::bad_alloc&) {
    }
    outcome.failure = close_filter_files(in, out, failure);
    return outcome;
}

}  // namespace parafold
