#include "engine/reflow/estimate.h"

#include <cinttypes>
#include <memory>

#include "engine/reflow/pieces.h"

namespace parafold {
namespace {

constexpr std::size_t block_bytes = 1 << 20;

// Measures every piece of the file at `path`. False when it cannot be opened,
// or when not even its first bytes can be read (a folder opens for reading on
// some systems but has no bytes to give). A later read error ends the reading
// as the end of the file does.
bool measure_file(const char* path, PieceStats& stats) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::setvbuf(file, nullptr, _IONBF, 0);
    std::unique_ptr<char[]> block(new char[block_bytes]);
    PieceCursor cursor;
    bool read_any = false;
    for (;;) {
        const std::size_t got = std::fread(block.get(), 1, block_bytes, file);
        read_any = read_any || got > 0;
        count_pieces(stats, cursor, block.get(), got);
        if (got < block_bytes) break;
    }
    const bool readable = read_any || !std::ferror(file);
    finish_pieces(stats, cursor);
    std::fclose(file);
    return readable;
}

}  // namespace

std::int32_t average_line_length(const char* path) {
    PieceStats stats;
    if (!measure_file(path, stats)) return -1;
    return mean_length(stats);
}

std::int32_t most_common_line_length(const char* path) {
    return most_common_line_length(path, stdout);
}

std::int32_t most_common_line_length(const char* path, std::FILE* report) {
    auto stats = std::make_unique<PieceStats>();
    if (!measure_file(path, *stats)) return -1;
    write_length_report(*stats, report);
    return most_common_length(*stats);
}

void write_length_report(const PieceStats& stats, std::FILE* report) {
    if (!report) return;
    for (int length = 0; length < reported_lengths; ++length) {
        std::fprintf(report, "%d:%" PRId64 "\n", length, stats.length_counts[length]);
    }
    std::fflush(report);
}

}  // namespace parafold
