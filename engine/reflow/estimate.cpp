#include "engine/reflow/estimate.h"

#include <cinttypes>
#include <memory>

#include "engine/io/filter_files.h"
#include "engine/io/text_form.h"

namespace parafold {

bool measure_file(const char* path, PieceStats& stats) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::setvbuf(file, nullptr, _IONBF, 0);
    FileEnd end{file, false, false};
    BlockSource raw = file_source(end);
    TextReading reading;
    bool measured = read_text(raw, reading) == Failure::none;
    if (measured) {
        BlockSink counter = piece_counter(stats, reading.form.counts_characters());
        // A read error after the first bytes ends the text like its end.
        (void)pump(reading.text, counter);
        counter.finish();
    }
    std::fclose(file);
    return measured;
}

std::int32_t average_line_length(const char* path) {
    PieceStats stats;
    return measure_file(path, stats) ? mean_length(stats) : -1;
}

std::int32_t most_common_line_length(const char* path) {
    auto stats = std::make_unique<PieceStats>();
    return measure_file(path, *stats) ? most_common_length(*stats) : -1;
}

void write_length_report(const PieceStats& stats, std::FILE* report) {
    if (!report) return;
    for (int length = 0; length < reported_lengths; ++length) {
        std::fprintf(report, "%d:%" PRId64 "\n", length, stats.length_counts[length]);
    }
    std::fflush(report);
}

}  // namespace parafold
