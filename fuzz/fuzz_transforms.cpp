// The four text operations against their literal, step-by-step definitions
// (a working text edited in place, whole passes repeated until nothing
// changes).
#include <cstdint>
#include <string>
#include <vector>

#include "ereader/transforms.h"
#include "fuzz/fuzz_support.h"
#include "tests/reference_transforms.h"

namespace {

using namespace parafold;
using namespace parafold::fuzz;

std::string joined(const std::vector<std::string>& tokens) {
    std::string all;
    for (const std::string& token : tokens) all += std::to_string(token.size()) + ":" + token + "|";
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    // Mostly the bytes that matter here, so that searches meet; sometimes any.
    const bool any_bytes = data.ConsumeIntegralInRange(0, 3) == 0;
    auto shape = [&](std::string text) { return any_bytes ? text : small_alphabet(text); };
    const std::string search = shape(data.ConsumeRandomLengthString(4));
    // Often the search text inside the replacement, which must not loop.
    std::string replacement = shape(data.ConsumeRandomLengthString(4));
    if (data.ConsumeBool()) replacement.insert(replacement.size() / 2, search);
    const std::string delimiters = shape(data.ConsumeRandomLengthString(4));
    // The references repeat whole passes: keep their texts short.
    const std::string text = shape(fuzz_text(data, 8'000));

    expect_equal("replace_all", testing::reference_replace_all(text, search, replacement),
                 replace_all(text, search, replacement));
    expect_equal("split_on_any", joined(testing::reference_split_on_any(text, delimiters)),
                 joined(split_on_any(text, delimiters)));
    expect_equal("kindle_two_lines", testing::reference_kindle_two_lines(text),
                 kindle_two_lines(text));
    expect_equal("kindle_indent", testing::reference_kindle_indent(text), kindle_indent(text));
    return 0;
}
