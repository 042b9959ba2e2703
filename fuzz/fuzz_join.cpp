// The line-joining filter against its byte-at-a-time definition: the
// in-memory core fed in blocks cut anywhere, and the file API on a scratch
// file.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/reflow/join.h"
#include "engine/reflow/reflow.h"
#include "fuzz/fuzz_support.h"
#include "tests/reference_join.h"
#include "tests/reference_pieces.h"
#include "tests/reference_transforms.h"

namespace {

using namespace parafold;
using namespace parafold::fuzz;

// The bytes that one of the text's lines counts towards the width.
std::int32_t counted_length_of_a_line(const std::string& text, std::size_t pick) {
    std::vector<std::int32_t> lengths{0};
    for (const char c : text) {
        if (c == '\n') {
            lengths.push_back(0);
        } else if (c != '\r' && c != '\0') {
            ++lengths.back();
        }
    }
    return lengths[pick % lengths.size()];
}

// A width: near the length of one of the text's lines (where the decision
// turns), small, any, or one of the extremes.
std::int32_t fuzz_width(FuzzedDataProvider& data, const std::string& text) {
    switch (data.ConsumeIntegralInRange(0, 4)) {
        case 0: return data.ConsumeIntegralInRange<std::int32_t>(-2, 100);
        case 1: return data.ConsumeIntegral<std::int32_t>();
        case 2: return data.PickValueInArray<std::int32_t>({INT32_MIN, INT32_MAX, 0, -1});
        case 3: return data.ConsumeIntegralInRange<std::int32_t>(0, 250'000);
        default:
            return counted_length_of_a_line(text, data.ConsumeIntegral<std::uint16_t>()) +
                   data.ConsumeIntegralInRange(-1, 1);
    }
}

// join_lines over `text` in the given blocks, with "Kindle Indent" and
// "Kindle 2 Lines" in the same pass when asked. Each block and its output
// buffer are allocated to their exact size (the room join_lines_room
// gives), so that AddressSanitizer sees any access past either.
std::string join_in_blocks(const std::string& text, std::int32_t width, const std::string& sizes,
                           bool indent, bool two_lines = false) {
    JoinState state;
    std::string out;
    std::size_t at = 0;
    for (std::size_t index = 0; at < text.size(); ++index) {
        const std::size_t size = std::min(block_size(sizes, index, text.size() - at),
                                          text.size() - at);
        const std::size_t room = join_lines_room(size, indent);
        const std::unique_ptr<char[]> block(new char[size]);
        const std::unique_ptr<char[]> into(new char[room]);
        std::memcpy(block.get(), text.data() + at, size);
        const std::size_t kept =
            join_lines(state, width, block.get(), size, into.get(), false, indent, two_lines);
        if (kept > room) difference("join_lines wrote past its room", "", "");
        out.append(into.get(), kept);
        at += size;
    }
    const std::unique_ptr<char[]> last(new char[join_lines_end_room]);
    return out.append(last.get(), join_lines_end(state, last.get(), indent));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::string sizes = fuzz_blocks(data);
    const std::string text = fuzz_text(data);
    const std::int32_t width = fuzz_width(data, text);

    const std::string expected = testing::reference_join(text, width);
    expect_equal("join_lines in blocks", expected, join_in_blocks(text, width, sizes, false));
    expect_equal("join_lines in blocks, indented", testing::reference_kindle_indent(expected),
                 join_in_blocks(text, width, sizes, true));
    // "Kindle 2 Lines" in the same pass.
    const std::string two_lines =
        testing::reference_join(testing::reference_kindle_two_lines(text), width);
    expect_equal("join_lines in blocks, two lines", two_lines,
                 join_in_blocks(text, width, sizes, false, true));
    expect_equal("join_lines in blocks, two lines, indented",
                 testing::reference_kindle_indent(two_lines),
                 join_in_blocks(text, width, sizes, true, true));

    // The file API, where -1 stands for the mean line length, learnt first.
    // Texts that look like UTF-16 or old Mac text are read in their own
    // form, which fuzz_pipeline checks: here they are left to join_lines.
    if (looks_like_another_form(text)) return 0;
    const std::string in = scratch_file("in.txt");
    const std::string out = scratch_file("out.txt");
    write_bytes(in, text);
    write_bytes(out, "stale output");
    const Width asked = width == -1 ? Width{WidthRule::mean, 0} : Width{WidthRule::given, width};
    const Failure failure = reflow_file(in.c_str(), out.c_str(), asked).failure;
    expect_equal("reflow_file failure", 0, static_cast<int>(failure));
    const std::int32_t used = width == -1 ? testing::reference_estimates(text).mean : width;
    expect_equal("reflow_file output", testing::reference_join(text, used), read_bytes(out));
    expect_equal("reflow_file leaves its input alone", text, read_bytes(in));
    return 0;
}
