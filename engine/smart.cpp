#include "engine/smart.h"

#include <memory>
#include <string>

#include "engine/filter_files.h"
#include "engine/failure_text.h"
#include "engine/smart_join.h"

namespace parafold {
namespace {

// Small enough that a block and its output stay in the processor's cache.
constexpr std::size_t block_bytes = 256 << 10;

using failure_text::say;

// The layout of a text shows long before this many bytes: beyond them a
// large file is read a second time only for its vocabulary.
constexpr std::size_t layout_sample_bytes = 8 << 20;

// Reads the input once to learn its layout from its first
// `layout_sample_bytes` (and, with `scan` collecting words, the words of
// the whole text). Returns false on a read error.
bool learn_layout(std::FILE* in, char* block, std::int32_t columns, bool dehyphenate,
                  SmartScan& scan, TextLayout& layout) {
    for (std::size_t read = 0; dehyphenate || read < layout_sample_bytes;) {
        // The layout comes from the sample alone, with or without a vocabulary.
        if (read >= layout_sample_bytes) scan_words_only(scan);
        const std::size_t got = std::fread(block, 1, block_bytes, in);
        scan_layout(scan, block, got);
        read += got;
        if (got < block_bytes) break;
    }
    if (std::ferror(in)) return false;
    layout = finish_layout(scan, columns);
    return true;
}

// Streams the input through the join into the output, or with `explain`
// the join's report into that stream. Returns 0, or 1 after saying what
// failed.
int write_joined(std::FILE* in, std::FILE* out, char* block, SmartJoin& join,
                 std::FILE* messages, std::string* explain = nullptr,
                 std::FILE* explain_to = nullptr) {
    // Room for a block's output and, after the last block, for what the
    // end of the input leaves pending.
    std::unique_ptr<char[]> joined(new char[smart_join_room(block_bytes) + smart_join_room(0)]);
    for (;;) {
        const std::size_t got = std::fread(block, 1, block_bytes, in);
        std::size_t kept = smart_join(join, block, got, joined.get());
        const bool done = got < block_bytes;
        if (done) {
            if (std::ferror(in)) {
                say(messages, failure_text::cant_read_input);
                return 1;
            }
            kept += smart_join_finish(join, joined.get() + kept);
        }
        if (explain) {
            const bool written =
                std::fwrite(explain->data(), 1, explain->size(), explain_to) == explain->size();
            explain->clear();
            if (!written) {
                say(messages, "Sorry, can't write the report.\n");
                return 1;
            }
        } else if (kept != 0 && std::fwrite(joined.get(), 1, kept, out) != kept) {
            say(messages, failure_text::cant_write_output);
            return 1;
        }
        if (done) return 0;
    }
}

}  // namespace

int smart_reflow_file(const char* input_path, const char* output_path,
                      const SmartOptions& options, std::FILE* messages, SmartReport* report) {
    std::FILE* in = open_filter_input(input_path, "rb", output_path, messages);
    if (!in) return 1;
    std::unique_ptr<char[]> block(new char[block_bytes]);
    const SmartScanState scan = start_layout_scan(options.dehyphenate);
    TextLayout layout;
    if (!learn_layout(in, block.get(), options.columns, options.dehyphenate, *scan, layout) ||
        std::fseek(in, 0, SEEK_SET) != 0) {
        std::fclose(in);
        say(messages, failure_text::cant_read_input);
        return 1;
    }
    if (report) {
        report->width = layout.wrapped ? layout.width : 0;
        report->wrapped = layout.wrapped;
    }

    if (options.explain) {
        std::string report;
        const SmartJoinState join =
            start_join(layout, options.dehyphenate ? scan.get() : nullptr, &report);
        const int status = write_joined(in, nullptr, block.get(), *join, messages, &report,
                                        options.explain);
        std::fclose(in);
        return status != 0 || std::fflush(options.explain) != 0 ? 1 : 0;
    }
    std::FILE* out = create_filter_output(output_path, in, messages);
    if (!out) return 1;
    const SmartJoinState join = start_join(layout, options.dehyphenate ? scan.get() : nullptr);
    return close_filter_files(in, out, write_joined(in, out, block.get(), *join, messages),
                              messages);
}

}  // namespace parafold
