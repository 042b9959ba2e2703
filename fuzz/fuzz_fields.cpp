// What the dialog's fields turn into: the value of the column text, against
// the C library's strtoll clamped to 32 bits, and the derived output path,
// against its rule spelt out byte by byte.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "ui/output_path.h"
#include "ui/pipeline.h"

namespace {

using namespace parafold;
using namespace parafold::fuzz;

// strtoll reads the same shape of number (C locale: the same white space,
// an optional sign, decimal digits), stops at a NUL as column_value stops at
// any non-digit, and saturates at 64 bits, beyond the clamp.
std::int32_t reference_column_value(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

// Search backwards from the last byte for a '.'; keep what stands before it
// (everything when there is none) and append ".ncr.txt".
std::string reference_output_path(const std::string& input) {
    std::size_t keep = input.size();
    for (std::size_t i = input.size(); i > 0; --i) {
        if (input[i - 1] == '.') {
            keep = i - 1;
            break;
        }
    }
    return input.substr(0, keep) + ".ncr.txt";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    expect_equal("column_value", reference_column_value(text), column_value(text));
    expect_equal("derive_output_path", reference_output_path(text), derive_output_path(text));
    return 0;
}
