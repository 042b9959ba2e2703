#include "engine/reflow.h"

#include <memory>

#include "engine/estimate.h"
#include "engine/file_identity.h"
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
    std::FILE* in = std::fopen(input_path, "r+b");
    if (!in) {
        say(messages, failure_text::cant_find_input);
        return 1;
    }
    // Opening the output truncates it, so it must not be the input by any name.
    if (same_file(input_path, output_path)) {
        std::fclose(in);
        say(messages, failure_text::output_is_input);
        return 1;
    }
    std::FILE* out = std::fopen(output_path, "w+b");
    if (!out) {
        std::fclose(in);
        say(messages, failure_text::cant_create_output);
        return 1;
    }
    // The blocks are large: let them go straight to the system, uncopied.
    std::setvbuf(in, nullptr, _IONBF, 0);
    std::setvbuf(out, nullptr, _IONBF, 0);

    int status = copy_joined(in, out, width, messages);
    std::fclose(in);
    if (std::fclose(out) != 0 && status == 0) {
        say(messages, failure_text::cant_write_output);
        status = 1;
    }
    return status;
}

}  // namespace parafold
