// Whole Process File requests on both roads, in a scratch folder as the
// current directory, against the literal definitions composed: the
// transforms, the estimates and the joining rule.
#include <unistd.h>

#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "tests/reference_join.h"
#include "tests/reference_pieces.h"
#include "tests/reference_transforms.h"
#include "ui/pipeline.h"

namespace {

using namespace parafold;
using namespace parafold::fuzz;

// The output the request must give for `text`.
std::string expected_output(const std::string& text, const ProcessRequest& request) {
    const bool ereader = request.two_lines || request.indent;
    const std::string first = request.two_lines ? testing::reference_kindle_two_lines(text) : text;
    std::int32_t width = column_value(request.column_text);
    if (ereader && request.autodetect) {
        width = testing::reference_estimates(first).most_common - 6;
    } else if (width == -1) {
        width = testing::reference_estimates(first).mean;
    }
    const std::string joined = testing::reference_join(first, width);
    return request.indent ? testing::reference_kindle_indent(joined) : joined;
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
    request.two_lines = data.ConsumeBool();
    request.indent = data.ConsumeBool();
    request.autodetect = data.ConsumeBool();
    switch (data.ConsumeIntegralInRange(0, 2)) {
        case 0: request.column_text = std::to_string(data.ConsumeIntegralInRange(-2, 90)); break;
        case 1: request.column_text = "-1"; break;
        default: request.column_text = data.ConsumeRandomLengthString(12); break;
    }
    const bool any_bytes = data.ConsumeIntegralInRange(0, 3) == 0;
    std::string text = fuzz_text(data, 8'000);
    if (!any_bytes) text = small_alphabet(text);

    write_bytes("in.txt", text);
    write_bytes("out.txt", "stale output");
    expect_equal("run_pipeline status", 0, run_pipeline(request, nullptr, nullptr));
    expect_equal("run_pipeline output", expected_output(text, request), read_bytes("out.txt"));
    expect_equal("input left alone", text, read_bytes("in.txt"));
    expect_equal("first temporary file removed", "<missing>", read_bytes(first_temp_name));
    expect_equal("second temporary file removed", "<missing>", read_bytes(second_temp_name));
    return 0;
}
