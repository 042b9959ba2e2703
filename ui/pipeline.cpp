#include "ui/pipeline.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

#include "engine/io/learn.h"
#include "engine/io/text_form.h"
#include "engine/io/write_behind.h"
#include "engine/reflow/estimate.h"
#include "engine/reflow/pieces.h"
#include "engine/reflow/reflow.h"
#include "engine/smart/unwrap.h"
#include "ui/ereader_layers.h"

namespace parafold {
namespace {

// The writes a file gets: as large as the blocks the input is read in.
constexpr std::size_t output_block_bytes = 256 << 10;

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

SmartOptions smart_options_of(const UnwrapOptions& options) {
    SmartOptions smart;
    const Width& width = options.width;
    smart.columns = width.rule == WidthRule::given && width.columns > 0 ? width.columns : 0;
    smart.dehyphenate = options.dehyphenate;
    smart.explain = options.explain;
    smart.one_thread = options.one_thread;
    return smart;
}

// Opens the output when the run is ready to write it, and says where.
using OutputOpener = std::function<Failure(BlockSink*& output)>;

// The one pass of a text: read in its own form from `input`, learnt from
// where the join needs it, reshaped, joined and written back in its form
// to the output `open_output` gives.
Failure unwrap_text(BlockSource& input, const OutputOpener& open_output,
                    const UnwrapOptions& options, std::FILE* report, bool& breaks_kept,
                    OutputThreads threads) {
    TextReading reading;
    Failure failure = read_text(input, reading);
    if (failure != Failure::none) return failure;
    const bool characters = reading.form.counts_characters();

    // What the join must know before its first output, learnt from the text
    // as it sees it: after "Kindle 2 Lines".
    auto lines = std::make_unique<PieceStats>();
    SmartUnwrap unwrap;
    unwrap.options = smart_options_of(options);
    std::optional<Learner> learner;
    if (options.smart) {
        learner = smart_learner(unwrap);
    } else if (measures_lines(options.width)) {
        learner = Learner{piece_counter(*lines, characters), {}};
    }
    LearntText learnt;
    learnt.text = &reading.text;
    if (learner) {
        BlockSink reshaped = options.two_lines ? two_lines_layer(learner->take) : learner->take;
        Learner as_joined{reshaped, learner->enough};
        failure = learn_then_stream(reading.text, as_joined, learnt);
        if (failure != Failure::none) return failure;
    }
    if (!options.smart && options.width.rule == WidthRule::most_common_less_6) {
        write_length_report(*lines, report);
    }

    BlockSink* output = nullptr;
    failure = open_output(output);
    if (failure != Failure::none) return failure;
    // With threads, the dialog's rule runs on two: this one reads and
    // joins, a second writes the output, and the join puts its result
    // straight into the blocks that thread writes. The unwrap has threads
    // of its own.
    const bool second_thread = threads == OutputThreads::any && !options.smart;
    const bool in_place = second_thread && !reading.form.utf16.utf16;
    // The layers write in pieces of any size: a file gets them in blocks.
    BlockSink gathered = second_thread && !in_place ? write_behind(*output, write_behind_block_bytes)
                                                    : gathering(*output, output_block_bytes);
    BlockSink text_out = write_text(gathered, reading.form);
    // The dialog's rule indents, and makes "Kindle 2 Lines" of the text, as
    // it joins, in the same pass; the unwrap's result goes through the
    // indent's own layer, and the text through that of "Kindle 2 Lines".
    BlockSink indented = options.indent && options.smart ? indent_layer(text_out) : text_out;
    RoomSink room = in_place ? write_behind_room(*output, write_behind_block_bytes) : RoomSink{};
    const std::int32_t columns = options.smart ? 0 : columns_of(options.width, *lines);
    // A report is read by people: written as it is, neither indented nor
    // in the text's form.
    const bool report_only = options.smart && options.explain;
    BlockSink joined =
        report_only     ? smart_joining(unwrap, gathered)
        : options.smart ? smart_joining(unwrap, indented)
        : in_place ? joining(room, columns, characters, options.indent, options.two_lines)
                   : joining(indented, columns, characters, options.indent, options.two_lines);
    BlockSink reshaped = options.smart && options.two_lines ? two_lines_layer(joined) : joined;
    failure = pump(*learnt.text, reshaped);
    if (options.smart) breaks_kept = failure == Failure::none && !report_of(unwrap).wrapped;
    return options.explain && failure == Failure::cant_write_output ? Failure::cant_write_report
                                                                    : failure;
}

// unwrap_text, with running out of memory as a failure.
Failure unwrap_guarded(BlockSource& input, const OutputOpener& open_output,
                       const UnwrapOptions& options, std::FILE* report, bool& breaks_kept,
                       OutputThreads threads) {
    try {
        return unwrap_text(input, open_output, options, report, breaks_kept, threads);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return Failure::out_of_memory;
}

// ------------------------------------------- the dialog's e-reader road

// Whether a run's input, or its output, is one of the temporary files, by
// any name or through a standard stream.
bool input_is_temp_file(const std::string& path) {
    return ends_are_one_file(path.c_str(), first_temp_name) ||
           ends_are_one_file(path.c_str(), second_temp_name);
}

bool output_is_temp_file(const std::string& path) {
    return ends_are_one_file(first_temp_name, path.c_str()) ||
           ends_are_one_file(second_temp_name, path.c_str());
}

// A layer that counts the pieces of what passes into `measured`.
BlockSink measuring(BlockSink& below, BlockSink& counter) {
    return {[&below, &counter](const char* data, std::size_t size) {
                counter.write(data, size);
                return below.write(data, size);
            },
            [&below, &counter] {
                counter.finish();
                return !below.finish || below.finish();
            }};
}

enum class Reshape { none, two_lines, indent };

// One hand-over of the e-reader road: from one file, through a transform or
// unchanged, into another, with the failure to report when either end fails.
struct HandOver {
    const char* from;
    const char* to;
    Reshape how;
    Failure cant_open;
    Failure cant_read;
    Failure cant_create;
    Failure cant_write;
};

// Opens `h.from` (a file with "r+b": it must exist and be writable, though
// it is only read), creates `h.to` ("w+b") and streams the text of the one
// into the other in its own form, adding what was read to `of_read`, what
// was written to `of_written`, and the pieces of the text written to
// `measured` where given.
Failure hand_over(const HandOver& h, ByteDigest* of_read, ByteDigest* of_written,
                  PieceStats* measured) {
    FileEnd in, out;
    if (open_filter_input(h.from, "r+b", nullptr, in) != Failure::none) {
        return open_failure(in, h.cant_open);
    }
    if (open_filter_output(h.to, "w+b", out) != Failure::none) {
        close_end(in);
        return open_failure(out, h.cant_create);
    }
    Failure streamed = Failure::cant_read_input;
    Failure failure = Failure::none;
    try {
        BlockSource file_in = file_source(in);
        BlockSource read = of_read ? digest_tap(file_in, *of_read) : file_in;
        TextReading reading;
        streamed = read_text(read, reading);
        if (streamed == Failure::none) {
            // Written on a second thread, which ends with these layers,
            // before the file is closed.
            BlockSink file_out = file_sink(out);
            BlockSink behind = write_behind(file_out, write_behind_block_bytes);
            BlockSink stored = of_written ? digest_tap(behind, *of_written) : behind;
            BlockSink text_out = write_text(stored, reading.form);
            BlockSink counter = measured
                                    ? piece_counter(*measured, reading.form.counts_characters())
                                    : BlockSink{};
            BlockSink written = measured ? measuring(text_out, counter) : text_out;
            BlockSink reshaped = h.how == Reshape::two_lines ? two_lines_layer(written)
                                 : h.how == Reshape::indent  ? indent_layer(written)
                                                             : written;
            streamed = pump(reading.text, reshaped);
        }
    } catch (const std::bad_alloc&) {
        failure = Failure::out_of_memory;
    } catch (const std::length_error&) {
        failure = Failure::out_of_memory;
    }
    close_end(in);
    if (!close_end(out) && streamed == Failure::none) streamed = Failure::cant_write_output;
    if (failure != Failure::none) return failure;
    if (streamed == Failure::cant_read_input) return h.cant_read;
    if (streamed == Failure::cant_write_output) return write_failure(out, h.cant_write);
    return Failure::none;
}

struct Joined {
    FilterOutcome filter;
    bool breaks_kept = false;
};

// The join of the first temporary file into the second.
Joined join_temp_files(const UnwrapOptions& options, const PieceStats& first_temp) {
    if (!options.smart) {
        const Width width{WidthRule::given, columns_of(options.width, first_temp)};
        return {reflow_file(first_temp_name, second_temp_name, width), false};
    }
    SmartReport found;
    Joined joined{
        smart_reflow_between(first_temp_name, second_temp_name, smart_options_of(options), &found),
        false};
    joined.breaks_kept = joined.filter.failure == Failure::none && !found.wrapped;
    return joined;
}

// Every step of the e-reader road but the deletion of the temporary files.
Failure reshape_through_temp_files(const ProcessRequest& request, bool& breaks_kept) {
    const UnwrapOptions& options = request.options;
    // What the pipeline wrote into the first temporary file and read back
    // from the second, against what the filter says it read and wrote: any
    // difference means that another run in the same folder, which uses the
    // same names, changed the files while this one used them.
    ByteDigest given_to_filter, taken_from_filter;
    auto first_temp = std::make_unique<PieceStats>();
    const HandOver into_first_temp{request.input_path.c_str(),
                                   first_temp_name,
                                   options.two_lines ? Reshape::two_lines : Reshape::none,
                                   Failure::cant_find_input,
                                   Failure::cant_read_input,
                                   Failure::cant_write_first_temp,
                                   Failure::cant_write_first_temp};
    // A temporary file that another run is writing is one changed by it.
    auto in_temp_file = [](Failure failure) {
        return failure == Failure::output_busy ? Failure::temp_files_changed : failure;
    };
    Failure failure = hand_over(into_first_temp, nullptr, &given_to_filter, first_temp.get());
    if (failure != Failure::none) return in_temp_file(failure);

    const Joined joined = join_temp_files(options, *first_temp);
    if (joined.filter.failure != Failure::none) return in_temp_file(joined.filter.failure);
    if (!(joined.filter.read == given_to_filter) || !joined.filter.read_alike) {
        return Failure::temp_files_changed;
    }

    // An output path that named no file when the run began may name one of
    // the temporary files now that both exist.
    if (output_is_temp_file(request.output_path)) return Failure::names_a_temp_file;
    const HandOver into_output{second_temp_name,
                               request.output_path.c_str(),
                               options.indent ? Reshape::indent : Reshape::none,
                               Failure::cant_read_second_temp,
                               Failure::cant_read_second_temp,
                               Failure::cant_create_output,
                               Failure::cant_write_output};
    failure = hand_over(into_output, &taken_from_filter, nullptr, nullptr);
    if (failure != Failure::none) return failure;
    if (!(joined.filter.written == taken_from_filter)) return Failure::temp_files_changed;
    breaks_kept = joined.breaks_kept;
    return Failure::none;
}

Failure run_ereader_road(const ProcessRequest& request, bool& breaks_kept) {
    // The temporary files are overwritten and deleted: a user's file by one
    // of their names must be neither read as the input nor written as the
    // output. Nothing has been touched yet.
    if (input_is_temp_file(request.input_path) || output_is_temp_file(request.output_path)) {
        return Failure::names_a_temp_file;
    }
    // The output is written only after the input was read whole, but a
    // failed write would then leave neither.
    if (ends_are_one_file(request.input_path.c_str(), request.output_path.c_str())) {
        return Failure::output_is_input;
    }
    const Failure failure = reshape_through_temp_files(request, breaks_kept);
    // Whatever happened, the run leaves no temporary file behind. A file
    // that is missing or cannot be removed is no error.
    std::remove(first_temp_name);
    std::remove(second_temp_name);
    return failure;
}

}  // namespace

std::int32_t column_value(std::string_view column_text) {
    std::size_t i = 0;
    const std::size_t size = column_text.size();
    while (i < size && is_space(column_text[i])) ++i;
    bool negative = false;
    if (i < size && (column_text[i] == '+' || column_text[i] == '-')) {
        negative = column_text[i] == '-';
        ++i;
    }
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    for (; i < size && column_text[i] >= '0' && column_text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (column_text[i] - '0');
        if (magnitude > limit) magnitude = limit;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

Width width_of_fields(std::string_view column_text, bool autodetect, bool ereader) {
    if (ereader && autodetect) return {WidthRule::most_common_less_6, 0};
    const std::int32_t value = column_value(column_text);
    if (value == -1) return {WidthRule::mean, 0};
    return {WidthRule::given, value};
}

ProcessOutcome run_request(const ProcessRequest& request, std::FILE* report) {
    ProcessOutcome outcome;
    const UnwrapOptions& options = request.options;
    FileEnd in, out;
    // "r+b" for the dialog's rule: the input must exist and be writable,
    // though it is only read. The unwrap only reads it.
    Failure failure = open_filter_input(request.input_path.c_str(), options.smart ? "rb" : "r+b",
                                        request.output_path.c_str(), in);
    if (failure == Failure::none) {
        BlockSource source = file_source(in);
        BlockSink sink;
        const OutputOpener open_output = [&](BlockSink*& output) {
            const Failure opened = open_filter_output(request.output_path.c_str(), "w+b", out);
            if (opened == Failure::none) {
                sink = file_sink(out);
                output = &sink;
            }
            return opened;
        };
        // A second thread, if any, has ended when this returns, before the
        // output is closed.
        failure = unwrap_guarded(source, open_output, options, report, outcome.breaks_kept,
                                 OutputThreads::any);
    }
    outcome.failure = close_filter_files(in, out, failure);
    // A report that could not be written may have met a reader that left.
    if (outcome.failure == Failure::cant_write_report) {
        outcome.failure = write_failure(out, outcome.failure);
    }
    if (outcome.failure != Failure::none) outcome.breaks_kept = false;
    return outcome;
}

ProcessOutcome run_pipeline(const ProcessRequest& request) {
    if (!request.options.two_lines && !request.options.indent) return run_request(request);
    ProcessOutcome outcome;
    outcome.failure = run_ereader_road(request, outcome.breaks_kept);
    return outcome;
}

ProcessOutcome unwrap_between(BlockSource& input, BlockSink& output,
                              const UnwrapOptions& options, OutputThreads output_threads) {
    ProcessOutcome outcome;
    const OutputOpener give_output = [&output](BlockSink*& to) {
        to = &output;
        return Failure::none;
    };
    outcome.failure =
        unwrap_guarded(input, give_output, options, nullptr, outcome.breaks_kept, output_threads);
    if (outcome.failure != Failure::none) outcome.breaks_kept = false;
    return outcome;
}

ProcessOutcome unwrap_bytes(std::string_view input, std::string& output,
                            const UnwrapOptions& options) {
    output.clear();
    try {
        // The result is rarely longer than the text: one allocation, mostly.
        output.reserve(input.size());
    } catch (const std::bad_alloc&) {
        // It grows as it goes, then, as far as memory allows.
    } catch (const std::length_error&) {
    }
    BlockSource source = memory_source(input);
    BlockSink sink = string_sink(output);
    return unwrap_between(source, sink, options, OutputThreads::any);
}

}  // namespace parafold
