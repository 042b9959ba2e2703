#include "ui/pipeline.h"

#include <cstdio>
#include <new>
#include <stdexcept>

#include "engine/reflow/estimate.h"
#include "engine/io/file_identity.h"
#include "engine/io/filter_files.h"
#include "engine/reflow/pieces.h"
#include "engine/reflow/reflow.h"
#include "engine/smart/unwrap.h"
#include "engine/io/utf16.h"
#include "ui/piecewise.h"

namespace parafold {
namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

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

// The width the join step uses: the one place that decides it, for both
// roads. `first_temp` holds the pieces of the e-reader road's first
// temporary file where the width comes from them (see measures_first_temp),
// and is nullptr otherwise.
//  - The e-reader road with "Autodetect Columns": the most common line
//    length of the first temporary file less 6, whatever the column text
//    says; its length report goes to `report`.
//  - Otherwise the column text's value, where -1 asks for the mean line
//    length of the text joined: of the first temporary file on the e-reader
//    road; on the plain road only the filter reads the input, so it gets -1
//    and takes the mean itself.
//  - The reading-quality unwrap takes a positive width as it is and
//    estimates its own for any other (0).
std::int32_t decide_width(const ProcessRequest& request, const PieceStats* first_temp,
                          std::FILE* report) {
    std::int32_t width = column_value(request.column_text);
    if (first_temp && request.autodetect) {
        write_length_report(*first_temp, report);
        width = most_common_length(*first_temp) - 6;
    } else if (first_temp && width == -1 && !request.smart) {
        width = mean_length(*first_temp);
    }
    if (request.smart) return width > 0 ? width : 0;
    return width;
}

// Whether decide_width needs the pieces of the first temporary file.
bool measures_first_temp(const ProcessRequest& request) {
    return request.autodetect || (!request.smart && column_value(request.column_text) == -1);
}

struct Joined {
    FilterOutcome filter;
    bool breaks_kept = false;
};

// The line-joining step of either road: the dialog's filter at `width`, or
// the reading-quality unwrap when the request asks for it.
Joined join_lines_of(const ProcessRequest& request, const char* in, const char* out,
                     std::int32_t width) {
    if (!request.smart) return {reflow_between(in, out, width), false};
    SmartOptions options;
    options.columns = width;
    options.dehyphenate = request.dehyphenate;
    options.explain = request.explain;
    SmartReport found;
    Joined joined{smart_reflow_between(in, out, options, &found), false};
    joined.breaks_kept = joined.filter.failure == Failure::none && !found.wrapped;
    return joined;
}

// One hand-over of the e-reader road: from one file, through a transform or
// unchanged, into another, with the failure to report when either end fails.
struct HandOver {
    const char* from;
    const char* to;
    const PiecewiseTransform& how;
    Failure cant_open;
    Failure cant_read;
    Failure cant_create;
    Failure cant_write;
};

// Opens `h.from` (a file with "r+b": it must exist and be writable, though
// it is only read), creates `h.to` ("w+b") and streams the one into the
// other, adding what was read to `of_read`, what was written to
// `of_written`, and the pieces of what was written to `measured` where
// given. With `decode`, a UTF-16 input is read as UTF-8 and `decode` says
// whether it was; with `encode`, what is written is encoded as it says.
Failure hand_over(const HandOver& h, ByteDigest* of_read, ByteDigest* of_written,
                  PieceStats* measured, Utf16Found* decode = nullptr,
                  const Utf16Found* encode = nullptr) {
    FileEnd in, out;
    if (open_filter_input(h.from, "r+b", nullptr, in) != Failure::none) {
        return open_failure(in, h.cant_open);
    }
    if (open_filter_output(h.to, "w+b", out) != Failure::none) {
        close_end(in);
        return open_failure(out, h.cant_create);
    }
    BlockSource file_in = file_source(in);
    BlockSource file_read = of_read ? digest_tap(file_in, *of_read) : file_in;
    BlockSource read = decode ? utf16_decoding(file_read, *decode) : file_read;
    BlockSink file_out = file_sink(out);
    BlockSink stored = encode ? utf16_encoding(file_out, *encode) : file_out;
    PieceCursor cursor;
    BlockSink counted{[&](const char* data, std::size_t size) {
                          if (measured) count_pieces(*measured, cursor, data, size);
                          return stored.write(data, size);
                      },
                      [&] { return !stored.finish || stored.finish(); }};
    BlockSink written = of_written ? digest_tap(counted, *of_written) : counted;
    Streamed streamed = Streamed::read_failed;
    Failure failure = Failure::none;
    try {
        streamed = transform_stream(read, written, h.how);
    } catch (const std::bad_alloc&) {
        failure = Failure::out_of_memory;
    } catch (const std::length_error&) {
        failure = Failure::out_of_memory;
    }
    if (measured) finish_pieces(*measured, cursor);
    close_end(in);
    if (!close_end(out) && streamed == Streamed::whole) streamed = Streamed::write_failed;
    if (failure != Failure::none) return failure;
    if (streamed == Streamed::read_failed) return h.cant_read;
    if (streamed == Streamed::write_failed) return write_failure(out, h.cant_write);
    return Failure::none;
}

// Every step of the e-reader road but the deletion of the temporary files.
Failure reshape_through_temp_files(const ProcessRequest& request, std::FILE* report,
                                   bool& breaks_kept) {
    // What the pipeline wrote into the first temporary file and read back
    // from the second, against what the filter says it read and wrote: any
    // difference means that another run in the same folder, which uses the
    // same names, changed the files while this one used them.
    ByteDigest given_to_filter, taken_from_filter;
    // The reading-quality unwrap takes UTF-16 as UTF-8 through the
    // temporary files, and the output gets it back as it came.
    Utf16Found utf16;
    PieceStats first_temp;
    const bool measure = measures_first_temp(request);
    const HandOver into_first_temp{request.input_path.c_str(),
                                   first_temp_name,
                                   request.two_lines ? piecewise_two_lines : piecewise_copy,
                                   Failure::cant_find_input,
                                   Failure::cant_read_input,
                                   Failure::cant_write_first_temp,
                                   Failure::cant_write_first_temp};
    Failure failure = hand_over(into_first_temp, nullptr, &given_to_filter,
                                measure ? &first_temp : nullptr, request.smart ? &utf16 : nullptr);
    if (failure != Failure::none) return failure;

    const std::int32_t width = decide_width(request, measure ? &first_temp : nullptr, report);
    const Joined joined = join_lines_of(request, first_temp_name, second_temp_name, width);
    if (joined.filter.failure != Failure::none) return joined.filter.failure;
    if (!(joined.filter.read == given_to_filter)) return Failure::temp_files_changed;

    // An output path that named no file when the run began may name one of
    // the temporary files now that both exist.
    if (output_is_temp_file(request.output_path)) return Failure::names_a_temp_file;
    const HandOver into_output{second_temp_name,
                               request.output_path.c_str(),
                               request.indent ? piecewise_indent : piecewise_copy,
                               Failure::cant_read_second_temp,
                               Failure::cant_read_second_temp,
                               Failure::cant_create_output,
                               Failure::cant_write_output};
    failure = hand_over(into_output, &taken_from_filter, nullptr, nullptr, nullptr, &utf16);
    if (failure != Failure::none) return failure;
    if (!(joined.filter.written == taken_from_filter)) return Failure::temp_files_changed;
    breaks_kept = joined.breaks_kept;
    return Failure::none;
}

Failure run_ereader_road(const ProcessRequest& request, std::FILE* report, bool& breaks_kept) {
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
    const Failure failure = reshape_through_temp_files(request, report, breaks_kept);
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

bool read_whole_file(std::FILE* stream, std::string& text) {
    text.clear();
    try {
        // The size measured at the end is only the first guess: reading goes
        // on to the real end, so a file that grew meanwhile, or whose size
        // cannot be told, is still read whole.
        std::size_t expected = 0;
        if (std::fseek(stream, 0, SEEK_END) == 0) {
            const long end = std::ftell(stream);
            if (end > 0) expected = static_cast<std::size_t>(end);
        }
        std::fseek(stream, 0, SEEK_SET);
        text.resize(expected);
        text.resize(std::fread(text.data(), 1, expected, stream));
        // Probe for more with one byte, so that a file read exactly costs no
        // reallocation of its whole buffer.
        int next = text.size() == expected ? std::fgetc(stream) : EOF;
        constexpr std::size_t step = 1 << 20;
        while (next != EOF) {
            text.push_back(static_cast<char>(next));
            const std::size_t have = text.size();
            text.resize(have + step);
            const std::size_t got = std::fread(text.data() + have, 1, step, stream);
            text.resize(have + got);
            next = got == step ? std::fgetc(stream) : EOF;
        }
        if (!std::ferror(stream)) return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    std::string().swap(text);
    return false;
}

ProcessOutcome run_request(const ProcessRequest& request, std::FILE* report) {
    ProcessOutcome outcome;
    if (request.two_lines || request.indent) {
        outcome.failure = run_ereader_road(request, report, outcome.breaks_kept);
        return outcome;
    }
    const Joined joined = join_lines_of(request, request.input_path.c_str(),
                                        request.output_path.c_str(),
                                        decide_width(request, nullptr, report));
    outcome.failure = joined.filter.failure;
    outcome.breaks_kept = joined.breaks_kept;
    return outcome;
}

int run_pipeline(const ProcessRequest& request, std::FILE* messages, std::FILE* report) {
    const ProcessOutcome outcome = run_request(request, report);
    failure_text::say(messages, text_of(outcome.failure));
    if (outcome.breaks_kept) failure_text::say(messages, failure_text::breaks_kept);
    return status_of(outcome.failure);
}

int run_pipeline(const ProcessRequest& request) { return run_pipeline(request, stdout, stdout); }

}  // namespace parafold
