// The width estimates against their byte-at-a-time definition: the piece
// counter fed in blocks cut anywhere, and both file functions with the
// length report.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/reflow/estimate.h"
#include "engine/reflow/pieces.h"
#include "fuzz/fuzz_support.h"
#include "tests/reference_pieces.h"
#include "tests/test_files.h"

namespace {

using namespace parafold;
using namespace parafold::fuzz;

// The report of the lengths of the pieces measured, captured.
std::string report_of(const PieceStats& stats) {
    return testing::capture([&](std::FILE* report) {
        write_length_report(stats, report);
        return 0;
    }).messages;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::string sizes = fuzz_blocks(data);
    const std::string text = fuzz_text(data);

    const testing::ReferenceEstimates expected = testing::reference_estimates(text);

    auto stats = std::make_unique<PieceStats>();
    PieceCursor cursor;
    std::size_t at = 0;
    for (std::size_t index = 0; at < text.size(); ++index) {
        const std::size_t step = std::min(block_size(sizes, index, text.size() - at),
                                          text.size() - at);
        count_pieces(*stats, cursor, text.data() + at, step);
        at += step;
    }
    finish_pieces(*stats, cursor);

    expect_equal("piece count", expected.pieces, stats->pieces);
    expect_equal("sum of measured lengths", expected.measured_sum, stats->measured_sum);
    for (std::size_t length = 0; length < expected.counts.size(); ++length) {
        expect_equal("count of one length", expected.counts[length], stats->length_counts[length]);
    }
    expect_equal("mean_length", expected.mean, mean_length(*stats));
    expect_equal("most_common_length", expected.most_common, most_common_length(*stats));

    expect_equal("length report", expected.report, report_of(*stats));

    // The file functions, on texts read as they stand (others: see
    // fuzz_pipeline).
    if (looks_like_another_form(text)) return 0;
    const std::string path = scratch_file("measured.txt");
    write_bytes(path, text);
    expect_equal("average_line_length", expected.mean, average_line_length(path.c_str()));
    expect_equal("most_common_line_length", expected.most_common,
                 most_common_line_length(path.c_str()));
    return 0;
}
