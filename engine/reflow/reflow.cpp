#include "engine/reflow/reflow.h"

#include <memory>
#include <new>

#include "engine/io/learn.h"
#include "engine/io/text_form.h"
#include "engine/io/write_behind.h"
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
    // Written on a second thread, which ends with these layers, before the
    // caller closes the file.
    BlockSink file_out = file_sink(out);
    BlockSink behind = write_behind(file_out, write_behind_block_bytes);
    BlockSink written = digest_tap(behind, outcome.written);
    BlockSink text_out = write_text(written, reading.form);
    BlockSink joined = joining(text_out, columns_of(width, lines), characters, false);
    return pump(*learnt.text, joined);
}

}  // namespace

BlockSink joining(RoomSink& below, std::int32_t columns, bool characters, bool indent,
                  bool two_lines) {
    // The most input one join_lines call takes: a block, or less where the
    // room below would not hold what it may write.
    std::size_t part_bytes = block_bytes;
    while (join_lines_room(part_bytes, indent) > below.most) part_bytes /= 2;
    auto state = std::make_shared<JoinState>();
    return {[&below, state, columns, characters, indent, two_lines, part_bytes](
                const char* data, std::size_t size) {
                for (std::size_t at = 0; at < size; at += part_bytes) {
                    const std::size_t part = std::min(part_bytes, size - at);
                    char* const out = below.room(join_lines_room(part, indent));
                    if (out == nullptr) return false;
                    const std::size_t kept = join_lines(*state, columns, data + at, part, out,
                                                        characters, indent, two_lines);
                    if (!below.filled(kept)) return false;
                }
                return true;
            },
            [&below, state, indent] {
                char* const out = below.room(join_lines_end_room);
                if (out == nullptr || !below.filled(join_lines_end(*state, out, indent))) {
                    return false;
                }
                return !below.finish || below.finish();
            }};
}

BlockSink joining(BlockSink& below, std::int32_t columns, bool characters, bool indent,
                  bool two_lines) {
    auto room = std::make_shared<RoomSink>(buffered_room(below, join_lines_room(block_bytes, indent)));
    auto joined =
        std::make_shared<BlockSink>(joining(*room, columns, characters, indent, two_lines));
    return {[room, joined](const char* data, std::size_t size) { return joined->write(data, size); },
            [room, joined] { return joined->finish(); }};
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
