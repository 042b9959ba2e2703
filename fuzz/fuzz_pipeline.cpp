// Whole Process File requests, all option combinations and column texts,
// against the literal definitions composed: the text read in its own form,
// the transforms, the estimates and the joining rule. The dialog's run (in
// a scratch folder as the current directory, for its temporary files), the
// command line's one pass, and the runs on bytes in memory, from a source
// that can rewind and from one that cannot, must all give those bytes.
#include <unistd.h>

#include <cstdint>
#include <string>

#include "engine/io/utf16.h"
#include "fuzz/fuzz_support.h"
#include "tests/reference_join.h"
#include "tests/reference_pieces.h"
#include "tests/reference_transforms.h"
#include "ui/pipeline.h"

namespace {

using namespace parafold;
using namespace parafold::fuzz;

// The text as its lengths count: UTF-16's characters, one byte each.
std::string as_counted(const std::string& text, bool characters) {
    if (!characters) return text;
    std::string kept;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) kept += c;
    }
    return kept;
}

// The output the request must give for `bytes`.
std::string expected_output(const std::string& bytes, const UnwrapOptions& options) {
    const Formed formed = read_form(bytes);
    const bool characters = formed.utf16.utf16;
    const std::string first =
        options.two_lines ? testing::reference_kindle_two_lines(formed.text) : formed.text;
    const testing::ReferenceEstimates estimates =
        testing::reference_estimates(as_counted(first, characters));
    std::int32_t width = options.width.columns;
    if (options.width.rule == WidthRule::mean) width = estimates.mean;
    if (options.width.rule == WidthRule::most_common_less_6) width = estimates.most_common - 6;
    const std::string joined = testing::reference_join(first, width, characters);
    return write_form(options.indent ? testing::reference_kindle_indent(joined) : joined, formed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    // Every run works in its own folder, where the temporary files go.
    static const bool moved = chdir(scratch_dir().c_str()) == 0;
    if (!moved) std::abort();

    FuzzedDataProvider data(bytes, size);
    ProcessRequest request;
    request.input_path = "in.txt";
    request.output_path = "out.txt";
    UnwrapOptions& options = request.options;
    options.two_lines = data.ConsumeBool();
    options.indent = data.ConsumeBool();
    const bool autodetect = data.ConsumeBool();
    std::string column_text;
    switch (data.ConsumeIntegralInRange(0, 2)) {
        case 0: column_text = std::to_string(data.ConsumeIntegralInRange(-2, 90)); break;
        case 1: column_text = "-1"; break;
        default: column_text = data.ConsumeRandomLengthString(12); break;
    }
    options.width = width_of_fields(column_text, autodetect, options.two_lines || options.indent);
    const bool any_bytes = data.ConsumeIntegralInRange(0, 3) == 0;
    std::string text = fuzz_text(data, 8'000);
    if (!any_bytes) text = small_alphabet(text);
    if (data.ConsumeIntegralInRange(0, 7) == 0) text.insert(0, data.ConsumeBool() ? "\xFF\xFE" : "\xFE\xFF");

    const std::string expected = expected_output(text, options);
    write_bytes("in.txt", text);
    write_bytes("out.txt", "stale output");
    expect_equal("run_pipeline failure", 0, static_cast<int>(run_pipeline(request).failure));
    expect_equal("run_pipeline output", expected, read_bytes("out.txt"));
    expect_equal("input left alone", text, read_bytes("in.txt"));
    expect_equal("first temporary file removed", "<missing>", read_bytes(first_temp_name));
    expect_equal("second temporary file removed", "<missing>", read_bytes(second_temp_name));

    write_bytes("out.txt", "stale output");
    expect_equal("run_request failure", 0, static_cast<int>(run_request(request).failure));
    expect_equal("run_request output", expected, read_bytes("out.txt"));

    std::string in_memory;
    expect_equal("unwrap_bytes failure", 0,
                 static_cast<int>(unwrap_bytes(text, in_memory, options).failure));
    expect_equal("unwrap_bytes output", expected, in_memory);

    BlockSource stream = memory_source(text);
    stream.rewind = {};  // read once, as a pipe is
    std::string streamed;
    BlockSink sink = string_sink(streamed);
    expect_equal("unwrap_between a stream, failure", 0,
                 static_cast<int>(unwrap_between(stream, sink, options).failure));
    expect_equal("unwrap_between a stream, output", expected, streamed);
    return 0;
}
