#include "engine/smart/unwrap.h"

#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "engine/io/blocks.h"
#include "engine/smart/join.h"
#include "engine/smart/word_list.h"
#include "engine/io/utf16.h"

namespace parafold {
namespace {

// Small enough that a block and its output stay in the processor's cache.
constexpr std::size_t block_bytes = 256 << 10;

// The layout of a text shows long before this many bytes: beyond them a
// large file is read a second time only for its vocabulary.
constexpr std::size_t layout_sample_bytes = 8 << 20;

// What the join needs to know before its first output, and where it then
// reads the text from its first byte.
struct Learnt {
    SmartScanState scan;  // with dehyphenation, holds the words found
    TextLayout layout;
    Sample sample;         // a stream's first bytes, held in memory
    BlockSource replayed;  // the sample, then the rest of the stream
    BlockSource* text = nullptr;
};

// Learns the layout of `source` from its first `layout_sample_bytes` and,
// with dehyphenation, the words of the whole text. A source that can go
// back to its start is read once for that and then rewound. A stream
// cannot: its sample is kept in memory and given again ahead of the rest,
// and the vocabulary comes from the sample alone.
Failure learn(BlockSource& source, const SmartOptions& options, Learnt& learnt) {
    learnt.scan = start_layout_scan(options.dehyphenate);
    SmartScan& scan = *learnt.scan;
    if (source.rewind) {
        std::unique_ptr<char[]> block(new char[block_bytes]);
        for (std::size_t read = 0; options.dehyphenate || read < layout_sample_bytes;) {
            // The layout comes from the sample alone, with or without a vocabulary.
            if (read >= layout_sample_bytes) scan_words_only(scan);
            const std::size_t got = source.read(block.get(), block_bytes);
            scan_layout(scan, block.get(), got);
            read += got;
            if (got < block_bytes) break;
        }
        if (source.failed() || !rewound(source)) return Failure::cant_read_input;
        learnt.text = &source;
    } else {
        if (!read_sample(source, layout_sample_bytes, learnt.sample)) return Failure::cant_read_input;
        const std::string& bytes = learnt.sample.bytes;
        for (std::size_t at = 0; at < bytes.size(); at += block_bytes) {
            scan_layout(scan, bytes.data() + at, std::min(block_bytes, bytes.size() - at));
        }
        learnt.replayed = replay(learnt.sample, source);
        learnt.text = &learnt.replayed;
    }
    learnt.layout = finish_layout(scan, options.columns);
    if (options.dehyphenate)
        smart::learn_spellings(*smart::vocabulary_of(scan), options.word_list, learnt.layout.utf8);
    return Failure::none;
}

// Streams the text through the join into `out`. With `explain`, where the
// join appends its report, the report goes to `out` instead of the text.
Failure write_joined(BlockSource& in, BlockSink& out, SmartJoin& join, std::string* explain) {
    std::unique_ptr<char[]> block(new char[block_bytes]);
    // Room for a block's output and, after the last block, for what the
    // end of the input leaves pending.
    std::unique_ptr<char[]> joined(new char[smart_join_room(block_bytes) + smart_join_room(0)]);
    for (;;) {
        const std::size_t got = in.read(block.get(), block_bytes);
        std::size_t kept = smart_join(join, block.get(), got, joined.get());
        const bool done = got < block_bytes;
        if (done) {
            if (in.failed()) return Failure::cant_read_input;
            kept += smart_join_finish(join, joined.get() + kept);
        }
        if (explain) {
            const bool written = explain->empty() || out.write(explain->data(), explain->size());
            explain->clear();
            if (!written) return Failure::cant_write_report;
        } else if (kept != 0 && !out.write(joined.get(), kept)) {
            return Failure::cant_write_output;
        }
        if (done) return out.finish && !out.finish() ? Failure::cant_write_output : Failure::none;
    }
}

// The report of --explain, written to `to` in place of an output file.
Failure explain_to(std::FILE* to, BlockSource& text, const Learnt& learnt,
                   const SmartOptions& options) {
    // Standard output, as a whole filter run's output is.
    FileEnd end{to, true, true};
    BlockSink sink = file_sink(end);
    std::string report;
    const SmartJoinState join =
        start_join(learnt.layout, options.dehyphenate ? learnt.scan.get() : nullptr, &report);
    Failure failure = write_joined(text, sink, *join, &report);
    if (!close_end(end) && failure == Failure::none) failure = Failure::cant_write_report;
    return failure == Failure::cant_write_report ? write_failure(end, failure) : failure;
}

// The file road: opens both ends and runs the unwrap; the caller closes
// the ends. The digests sit right on the files, so that they cover the
// bytes as stored whatever a layer above them does.
Failure smart_ends(const char* input_path, const char* output_path, const SmartOptions& options,
                   SmartReport* report, FileEnd& in, FileEnd& out, FilterOutcome& outcome) {
    Failure failure = open_filter_input(input_path, "rb", output_path, in);
    if (failure != Failure::none) return failure;
    BlockSource file = file_source(in);
    BlockSource read = digest_tap(file, outcome.read);
    // UTF-16 is joined as UTF-8 and written back as it came.
    Utf16Found utf16;
    BlockSource text = utf16_decoding(read, utf16);

    Learnt learnt;
    failure = learn(text, options, learnt);
    if (failure != Failure::none) return failure;
    if (report) {
        report->width = learnt.layout.wrapped ? learnt.layout.width : 0;
        report->wrapped = learnt.layout.wrapped;
    }
    if (options.explain) return explain_to(options.explain, *learnt.text, learnt, options);

    // The output is created only once the input proved readable.
    failure = open_filter_output(output_path, "w+b", out);
    if (failure != Failure::none) return failure;
    BlockSink file_out = file_sink(out);
    BlockSink written = digest_tap(file_out, outcome.written);
    BlockSink joined = utf16_encoding(written, utf16);

    const SmartJoinState join =
        start_join(learnt.layout, options.dehyphenate ? learnt.scan.get() : nullptr);
    return write_joined(*learnt.text, joined, *join, nullptr);
}

}  // namespace

FilterOutcome smart_reflow_between(const char* input_path, const char* output_path,
                                   const SmartOptions& options, SmartReport* report) {
    FilterOutcome outcome;
    FileEnd in, out;
    Failure failure = Failure::out_of_memory;
    try {
        failure = smart_ends(input_path, output_path, options, report, in, out, outcome);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    outcome.failure = close_filter_files(in, out, failure);
    return outcome;
}

}  // namespace parafold
