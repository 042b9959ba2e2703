#include "engine/smart/unwrap.h"

#include <algorithm>
#include <memory>
#include <new>
#include <stdexcept>

#include "engine/io/text_form.h"
#include "engine/smart/join_thread.h"
#include "engine/smart/word_list.h"

namespace parafold {
namespace {

// Small enough that a block and its output stay in the processor's cache.
constexpr std::size_t block_bytes = 256 << 10;

// The layout of a text shows long before this many bytes: beyond them a
// large file is read on only for its vocabulary.
constexpr std::size_t layout_sample_bytes = 8 << 20;

// Opens both ends and runs the unwrap; the caller closes them. The digests
// sit right on the files, so that they cover the bytes as stored whatever
// a layer above them does.
Failure smart_ends(const char* input_path, const char* output_path, const SmartOptions& options,
                   SmartReport* report, FileEnd& in, FileEnd& out, FilterOutcome& outcome) {
    Failure failure = open_filter_input(input_path, "rb", output_path, in);
    if (failure != Failure::none) return failure;
    BlockSource file = file_source(in);
    BlockSource read = digest_tap(file, outcome.read, &outcome.read_alike);
    TextReading reading;
    failure = read_text(read, reading);
    if (failure != Failure::none) return failure;

    SmartUnwrap unwrap;
    unwrap.options = options;
    Learner learner = smart_learner(unwrap);
    LearntText learnt;
    failure = learn_then_stream(reading.text, learner, learnt);
    if (failure != Failure::none) return failure;

    // The output is created only once the input proved readable.
    failure = open_filter_output(output_path, "w+b", out);
    if (failure != Failure::none) return failure;
    BlockSink file_out = file_sink(out);
    BlockSink written = digest_tap(file_out, outcome.written);
    BlockSink text_out = write_text(written, reading.form);
    // The report is written as it is, not in the text's form.
    BlockSink joined = smart_joining(unwrap, options.explain ? written : text_out);
    if (report) *report = report_of(unwrap);
    failure = pump(*learnt.text, joined);
    return options.explain && failure == Failure::cant_write_output ? Failure::cant_write_report
                                                                    : failure;
}

}  // namespace

Learner smart_learner(SmartUnwrap& unwrap) {
    unwrap.scan = start_layout_scan(unwrap.options.dehyphenate);
    // The bytes the scan has seen.
    auto seen = std::make_shared<std::size_t>(0);
    SmartScan* const scan = unwrap.scan.get();
    const bool words = unwrap.options.dehyphenate;
    return {{[scan, seen, words](const char* data, std::size_t size) {
                 // The layout comes from the first layout_sample_bytes alone,
                 // with or without a vocabulary after them.
                 if (*seen < layout_sample_bytes) {
                     const std::size_t part = std::min(size, layout_sample_bytes - *seen);
                     scan_layout(*scan, data, part);
                     *seen += part;
                     data += part;
                     size -= part;
                     if (*seen == layout_sample_bytes && words) scan_words_only(*scan);
                 }
                 if (size != 0 && words) scan_layout(*scan, data, size);
                 *seen += size;
                 return true;
             },
             {}},
            [seen, words] { return !words && *seen >= layout_sample_bytes; }};
}

BlockSink smart_joining(SmartUnwrap& unwrap, BlockSink& below) {
    unwrap.layout = finish_layout(*unwrap.scan, unwrap.options.columns);
    if (unwrap.options.dehyphenate)
        smart::learn_spellings(*smart::vocabulary_of(*unwrap.scan), unwrap.options.word_list,
                               unwrap.layout.utf8);
    std::string* const explain = unwrap.options.explain ? &unwrap.explained : nullptr;
    unwrap.join = start_join(unwrap.layout,
                             unwrap.options.dehyphenate ? unwrap.scan.get() : nullptr, explain);
    SmartJoin* const join = unwrap.join.get();
    if (!explain) return threaded_joining(*join, below, unwrap.options.one_thread);
    // The report is written on one thread, as the join appends to it.
    auto out = std::shared_ptr<char[]>(new char[smart_join_room(block_bytes) + smart_join_room(0)]);
    // Writes the report the join appended to in place of the text it gave.
    auto hand_on = [&below, explain] {
        const bool written = explain->empty() || below.write(explain->data(), explain->size());
        explain->clear();
        return written;
    };
    return {[join, out, hand_on](const char* data, std::size_t size) {
                for (std::size_t at = 0; at < size; at += block_bytes) {
                    const std::size_t part = std::min(block_bytes, size - at);
                    smart_join(*join, data + at, part, out.get());
                    if (!hand_on()) return false;
                }
                return true;
            },
            [&below, join, out, hand_on] {
                smart_join_finish(*join, out.get());
                return hand_on() && (!below.finish || below.finish());
            }};
}

SmartReport report_of(const SmartUnwrap& unwrap) {
    return {unwrap.layout.wrapped ? unwrap.layout.width : 0, unwrap.layout.wrapped};
}

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
