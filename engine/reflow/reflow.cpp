#include "engine/reflow/reflow.h"

#include <memory>
#include <new>

#include "engine/reflow/estimate.h"
#include "engine/reflow/join.h"
#include "engine/reflow/pieces.h"

namespace parafold {
namespace {

// Large enough that the system calls cost little, small enough that the
// filter's memory stays constant and modest whatever the file size.
constexpr std::size_t block_bytes = 256 << 10;

// How much of a stream the width -1 is estimated from.
constexpr std::size_t estimate_sample_bytes = 8 << 20;

// Streams every block of `in` through the joining rule into `out`.
Failure copy_joined(BlockSource& in, BlockSink& out, std::int32_t width) {
    std::unique_ptr<char[]> block(new char[block_bytes]);
    std::unique_ptr<char[]> joined(new char[block_bytes]);
    JoinState state;
    for (;;) {
        const std::size_t got = in.read(block.get(), block_bytes);
        const std::size_t kept = join_lines(state, width, block.get(), got, joined.get());
        if (kept != 0 && !out.write(joined.get(), kept)) return Failure::cant_write_output;
        if (got < block_bytes) return in.failed() ? Failure::cant_read_input : Failure::none;
    }
}

// The mean of the pieces of a stream's sample. A sample that is not the
// whole stream leaves its last, open piece out.
std::int32_t sample_mean(const Sample& sample) {
    PieceStats stats;
    PieceCursor cursor;
    count_pieces(stats, cursor, sample.bytes.data(), sample.bytes.size());
    if (sample.whole) finish_pieces(stats, cursor);
    return mean_length(stats);
}

// Opens both ends and runs the filter; the caller closes them.
Failure reflow_ends(const char* input_path, const char* output_path, std::int32_t width,
                    FileEnd& in, FileEnd& out, FilterOutcome& outcome) {
    // "r+b": the input must exist and be writable, though it is only read.
    Failure failure = open_filter_input(input_path, "r+b", output_path, in);
    if (failure != Failure::none) return failure;
    BlockSource file = file_source(in);
    BlockSource read = digest_tap(file, outcome.read);
    BlockSource* source = &read;
    Sample sample;
    BlockSource replayed;
    if (width == -1) {
        if (!in.stream) {
            width = average_line_length(input_path);
        } else {
            if (!read_sample(read, estimate_sample_bytes, sample)) return Failure::cant_read_input;
            width = sample_mean(sample);
            replayed = replay(sample, read);
            source = &replayed;
        }
    }
    failure = open_filter_output(output_path, "w+b", out);
    if (failure != Failure::none) return failure;
    BlockSink file_out = file_sink(out);
    BlockSink written = digest_tap(file_out, outcome.written);
    return copy_joined(*source, written, width);
}

}  // namespace

FilterOutcome reflow_between(const char* input_path, const char* output_path,
                             std::int32_t width) {
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

int reflow_file(const char* input_path, const char* output_path, std::int32_t width,
                std::FILE* messages) {
    const Failure failure = reflow_between(input_path, output_path, width).failure;
    failure_text::say(messages, text_of(failure));
    return status_of(failure);
}

int reflow_file(const char* input_path, const char* output_path, std::int32_t width) {
    return reflow_file(input_path, output_path, width, stdout);
}

}  // namespace parafold
