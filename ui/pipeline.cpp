#include "ui/pipeline.h"

#include <cstdio>
#include <new>
#include <stdexcept>

#include "engine/estimate.h"
#include "engine/file_identity.h"
#include "engine/failure_text.h"
#include "engine/reflow.h"
#include "engine/smart.h"
#include "ui/piecewise.h"

namespace parafold {
namespace {

using failure_text::cant_create_output;
using failure_text::cant_find_input;
using failure_text::cant_read_input;
using failure_text::cant_write_output;
using failure_text::output_is_input;
using failure_text::say;

constexpr const char* names_a_temp_file =
    "Sorry, the input or output file is one of the temporary files parafoldtemp.txt and "
    "parafoldtemp2.txt. Please rename it.\n";
constexpr const char* cant_write_first_temp =
    "Sorry, can't write the temporary file parafoldtemp.txt in the current folder. Could be "
    "write protect or no free space.\n";
constexpr const char* cant_read_second_temp =
    "Sorry, can't read the temporary file parafoldtemp2.txt.\n";
constexpr const char* temp_files_changed =
    "Sorry, another run in the current folder changed the temporary files parafoldtemp.txt and "
    "parafoldtemp2.txt while this one used them. Please run it again.\n";
constexpr const char* out_of_memory = "Sorry, not enough memory to hold the whole text.\n";

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool names_temp_file(const std::string& path) {
    return same_file(path.c_str(), first_temp_name) || same_file(path.c_str(), second_temp_name);
}

// One hand-over of the e-reader road: from one file, through a transform or
// unchanged, into another, with what to say when either end fails.
struct HandOver {
    const char* from;
    const char* to;
    const PiecewiseTransform& how;
    const char* cant_open;
    const char* cant_read;
    const char* cant_create;
    const char* cant_write;
};

// Opens `h.from` with "r+b" (it must exist and be writable, though it is
// only read), creates `h.to` and streams the one into the other, summing what
// was read and written where asked. Says why and returns false when it fails.
bool hand_over(const HandOver& h, std::FILE* messages, JoinDigest* of_read = nullptr,
               JoinDigest* of_written = nullptr) {
    std::FILE* in = std::fopen(h.from, "r+b");
    if (!in) {
        say(messages, h.cant_open);
        return false;
    }
    std::FILE* out = std::fopen(h.to, "w+b");
    if (!out) {
        std::fclose(in);
        say(messages, h.cant_create);
        return false;
    }
    // The blocks are large: let them go straight to the system, uncopied.
    std::setvbuf(in, nullptr, _IONBF, 0);
    std::setvbuf(out, nullptr, _IONBF, 0);
    Streamed streamed = Streamed::read_failed;
    try {
        streamed = transform_stream(in, out, h.how, std::size_t{1} << 20, of_read, of_written);
    } catch (...) {
        std::fclose(in);
        std::fclose(out);
        throw;
    }
    std::fclose(in);
    if (std::fclose(out) != 0 && streamed == Streamed::whole) streamed = Streamed::write_failed;
    if (streamed == Streamed::read_failed) say(messages, h.cant_read);
    if (streamed == Streamed::write_failed) say(messages, h.cant_write);
    return streamed == Streamed::whole;
}

// The line-joining step of either road: the dialog's filter at `width`, or
// the reading-quality unwrap when the request asks for it (estimating the
// width itself unless `width` is positive).
int join_lines_of(const ProcessRequest& request, const char* in, const char* out,
                  std::int32_t width, std::FILE* messages) {
    if (!request.smart) return reflow_file(in, out, width, messages);
    SmartOptions options;
    options.columns = width > 0 ? width : 0;
    options.dehyphenate = request.dehyphenate;
    options.explain = request.explain;
    SmartReport found;
    const int status = smart_reflow_file(in, out, options, messages, &found);
    if (status == 0 && !found.wrapped)
        say(messages, "The text has no dominant wrap width: its line breaks were kept.\n");
    return status;
}

// Every step of the e-reader road but the deletion of the temporary files.
int reshape_through_temp_files(const ProcessRequest& request, std::FILE* messages,
                               std::FILE* report) {
    const HandOver into_first_temp{request.input_path.c_str(),
                                   first_temp_name,
                                   request.two_lines ? piecewise_two_lines : piecewise_copy,
                                   cant_find_input,
                                   cant_read_input,
                                   cant_write_first_temp,
                                   cant_write_first_temp};
    // What the filter must give back, to tell whether another run in the
    // same folder, which uses the same temporary names, changed the files
    // while this one used them.
    // The reading-quality unwrap may drop hyphens and turns a lone CR into a
    // line end, so only the dialog's filter keeps the sums.
    const bool check_sums = !request.smart;
    JoinDigest given_to_filter, taken_from_filter;
    if (!hand_over(into_first_temp, messages, nullptr, check_sums ? &given_to_filter : nullptr))
        return 1;

    const std::int32_t width = request.autodetect
                                   ? most_common_line_length(first_temp_name, report) - 6
                                   : column_value(request.column_text);
    const int status = join_lines_of(request, first_temp_name, second_temp_name, width, messages);
    if (status != 0) return status;

    // An output path that named no file when the run began may name one of
    // the temporary files now that both exist.
    if (names_temp_file(request.output_path)) {
        say(messages, names_a_temp_file);
        return 1;
    }
    const HandOver into_output{second_temp_name,
                               request.output_path.c_str(),
                               request.indent ? piecewise_indent : piecewise_copy,
                               cant_read_second_temp,
                               cant_read_second_temp,
                               cant_create_output,
                               cant_write_output};
    if (!hand_over(into_output, messages, check_sums ? &taken_from_filter : nullptr)) return 1;
    if (!(taken_from_filter == given_to_filter)) {
        say(messages, temp_files_changed);
        return 1;
    }
    return 0;
}

int run_ereader_road(const ProcessRequest& request, std::FILE* messages, std::FILE* report) {
    // The temporary files are overwritten and deleted: a user's file by one
    // of their names must be neither read as the input nor written as the
    // output. Nothing has been touched yet.
    if (names_temp_file(request.input_path) || names_temp_file(request.output_path)) {
        say(messages, names_a_temp_file);
        return 1;
    }
    // The output is written only after the input was read whole, but a
    // failed write would then leave neither.
    if (same_file(request.input_path.c_str(), request.output_path.c_str())) {
        say(messages, output_is_input);
        return 1;
    }
    int status = 1;
    try {
        status = reshape_through_temp_files(request, messages, report);
    } catch (const std::bad_alloc&) {
        say(messages, out_of_memory);
    } catch (const std::length_error&) {
        say(messages, out_of_memory);
    }
    // Whatever happened, the run leaves no temporary file behind. A file
    // that is missing or cannot be removed is no error.
    std::remove(first_temp_name);
    std::remove(second_temp_name);
    return status;
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

int run_pipeline(const ProcessRequest& request) {
    return run_pipeline(request, stdout, stdout);
}

int run_pipeline(const ProcessRequest& request, std::FILE* messages, std::FILE* report) {
    if (request.two_lines || request.indent) return run_ereader_road(request, messages, report);
    return join_lines_of(request, request.input_path.c_str(), request.output_path.c_str(),
                         column_value(request.column_text), messages);
}

}  // namespace parafold
