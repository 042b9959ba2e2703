#include "engine/reflow.h"

#include <memory>

#include "engine/estimate.h"
#include "engine/filter_files.h"
#include "engine/join.h"
#include "engine/failure_text.h"

namespace parafold {
namespace {

using failure_text::say;

// Large enough that the system calls cost little, small enough that the
// filter's memory stays constant and modest whatever the file size.
constexpr std::size_t block_bytes = 256 << 10;

// Streams every block of `in` through the joining rule into `out`.
// Returns 0, or 1 on a read or write error (after saying which).
int copy_joined(std::FILE* in, std::FILE* out, std::int32_t width, std::FILE* messages) {
    std::unique_ptr<char[]> block(new char[block_bytes]);
    std::unique_ptr<char[]> joined(new char[block_bytes]);
    JoinState state;
    for (;;) {
        const std::size_t got = std::fread(block.get(), 1, block_bytes, in);
        const std::size_t kept = join_lines(state, width, block.get(), got, joined.get());
        if (kept != 0 && std::fwrite(joined.get(), 1, kept, out) != kept) {
            say(messages, failure_text::cant_write_output);
            return 1;
        }
        if (got < block_bytes) {
            if (std::ferror(in)) {
                say(messages, failure_text::cant_read_input);
                return 1;
            }
            return 0;
        }
    }
}

}  // namespace

int reflow_file(const char* input_path, const char* output_path, std::int32_t width) {
    return reflow_file(input_path, output_path, width, stdout);
}

int reflow_file(const char* input_path, const char* output_path, std::int32_t width,
                std::FILE* messages) {
    if (width == -1) width = average_line_length(input_path);

    // "r+b": the input must exist and be writable, though it is only read.
    std::FILE* in = open_filter_input(input_path, "r+b", output_path, messages);
    if (!in) return 1;
    std::FILE* out = create_filter_output(output_path, in, messages);
    if (!out) return 1;
    return close_filter_files(in, out, copy_joined(in, out, width, messages), messages);
}

}  // namespace parafold
