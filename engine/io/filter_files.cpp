#include "engine/io/filter_files.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#elif defined(__linux__)
#include <fcntl.h>
#endif

#include "engine/io/file_identity.h"
#include "engine/io/sole_writer.h"

namespace parafold {
namespace {

bool is_standard(const char* path) { return std::strcmp(path, standard_stream_path) == 0; }

std::atomic<SignalCheck> signal_check{nullptr};

// Whether a call that a signal cut short (errno EINTR) is to go on: unless
// the caller's check says the run is to stop.
bool goes_on_after_signal() {
    const SignalCheck check = signal_check.load(std::memory_order_relaxed);
    return !check || check();
}

// Whether the last read or write of `file` failed only because a signal
// that the process handles came first, and the run goes on; its error is
// then cleared, so that the caller may go on where it stopped.
bool interrupted(std::FILE* file) {
    if (!std::ferror(file) || errno != EINTR || !goes_on_after_signal()) return false;
    std::clearerr(file);
    return true;
}

// Standard input and output carry bytes unchanged: on Windows they start in
// text mode, which would turn LF into CR LF and end input at a Ctrl-Z.
std::FILE* standard_stream(std::FILE* stream) {
#ifdef _WIN32
    _setmode(_fileno(stream), _O_BINARY);
#elif defined(__linux__) && defined(F_SETPIPE_SZ)
    // A pipe holds 64 KiB unless asked for more: with 1 MiB the two sides
    // take turns far less often. Fails, harmlessly, on what is no pipe.
    fcntl(fileno(stream), F_SETPIPE_SZ, 1 << 20);
#endif
    return stream;
}

// Opens `path` as one end of a run: `standard` for "-", a stream with
// `stream_mode` (one way only), anything else with `mode`; unbuffered but
// for the standard streams. False when it cannot be opened.
bool open_end(const char* path, const char* mode, const char* stream_mode, std::FILE* standard,
              FileEnd& end) {
    end = FileEnd{};
    end.standard = is_standard(path);
    end.stream = names_stream(path);
    // Opening a FIFO waits for its other end, and a signal that the
    // process handles (as the Python interpreter does) cuts the wait short.
    do {
        end.file = end.standard ? standard_stream(standard)
                   : end.stream ? std::fopen(path, stream_mode)
                   : standard == stdout ? open_sole_writer(path, mode)
                                        : std::fopen(path, mode);
    } while (!end.file && errno == EINTR && goes_on_after_signal());
    if (!end.file) {
        end.error = errno;
        return false;
    }
    if (!end.standard) std::setvbuf(end.file, nullptr, _IONBF, 0);
    if (end.file == stdin) {
        // Standard input unbuffered too, before its first read: through a
        // buffer, the one byte read after a stream's sample would leave
        // every later block a few bytes off the pages of the system's
        // copy, which then takes up to twice as long.
        static const bool unbuffered = std::setvbuf(stdin, nullptr, _IONBF, 0) == 0;
        (void)unbuffered;
    }
    return true;
}

}  // namespace

bool names_stream(const char* path) {
    if (is_standard(path)) return true;
    try {
        std::error_code error;
        const std::filesystem::file_status status = std::filesystem::status(path, error);
        if (error) return false;
        return std::filesystem::is_fifo(status) || std::filesystem::is_character_file(status) ||
               std::filesystem::is_block_file(status) || std::filesystem::is_socket(status);
    } catch (...) {
        // A path the library cannot convert: opened as a file, as ever.
        return false;
    }
}

bool ends_are_one_file(const char* input_path, const char* output_path) {
    const bool standard_in = is_standard(input_path), standard_out = is_standard(output_path);
    if (!standard_in && !standard_out) {
        return !names_stream(input_path) && same_file(input_path, output_path);
    }
    const FileIdentity in = standard_in ? identity_of(stdin) : identity_of(input_path);
    const FileIdentity out = standard_out ? identity_of(stdout) : identity_of(output_path);
    return in.regular && out.regular && same_identity(in, out);
}

Failure open_failure(const FileEnd& end, Failure otherwise) {
    if (end.error == EBUSY) return Failure::output_busy;
    return end.error == EMFILE || end.error == ENFILE ? Failure::too_many_open_files : otherwise;
}

Failure write_failure(const FileEnd& end, Failure otherwise) {
    return end.error == EPIPE ? Failure::reader_left : otherwise;
}

Failure open_filter_input(const char* path, const char* mode, const char* output_path,
                          FileEnd& end) {
    if (!open_end(path, mode, "rb", stdin, end)) return open_failure(end, Failure::cant_find_input);
    // A folder opens for reading on some systems, and only its first read
    // fails: it is no input file to find, whatever the mode.
    if (!end.stream) {
        const FileIdentity opened = identity_of(end.file);
        if (opened.known && !opened.regular) {
            close_end(end);
            return Failure::cant_find_input;
        }
    }
    if (output_path && ends_are_one_file(path, output_path)) {
        close_end(end);
        return Failure::output_is_input;
    }
    return Failure::none;
}

Failure open_filter_output(const char* path, const char* mode, FileEnd& end) {
    return open_end(path, mode, "wb", stdout, end) ? Failure::none
                                                   : open_failure(end, Failure::cant_create_output);
}

void set_signal_check(SignalCheck check) { signal_check.store(check); }

bool close_end(FileEnd& end) {
    if (!end.file) return true;
    std::FILE* const file = end.file;
    end.file = nullptr;
    if (file == stdin) return true;
    // Only this close's own error counts: a write that failed before may
    // have been on another thread, whose errno this one does not see.
    errno = 0;
    const bool closed = end.standard ? std::fflush(file) == 0 && !std::ferror(file)
                                     : std::fclose(file) == 0;
    if (!closed && errno != 0) end.error = errno;
    return closed;
}

Failure close_filter_files(FileEnd& input, FileEnd& output, Failure status) {
    close_end(input);
    if (!close_end(output) && status == Failure::none) status = Failure::cant_write_output;
    return status == Failure::cant_write_output ? write_failure(output, status) : status;
}

BlockSource file_source(FileEnd& end) {
    BlockSource source{[&end](char* block, std::size_t size) {
                           // A signal handled while a pipe is read cuts the
                           // read short: it goes on.
                           std::size_t got = 0;
                           for (;;) {
                               got += std::fread(block + got, 1, size - got, end.file);
                               if (got == size || !interrupted(end.file)) return got;
                           }
                       },
                       [&end] { return std::ferror(end.file) != 0; },
                       {}};
    if (!end.stream) {
        source.rewind = [&end] { return std::fseek(end.file, 0, SEEK_SET) == 0; };
    }
    return source;
}

BlockSink file_sink(FileEnd& end) {
    return {[&end](const char* data, std::size_t size) {
                std::size_t put = 0;
                for (;;) {
                    put += std::fwrite(data + put, 1, size - put, end.file);
                    if (put == size) return true;
                    // A buffered stream (standard output) may have dropped
                    // what it held when its write failed: no going on there.
                    if (end.standard || !interrupted(end.file)) break;
                }
                end.error = errno;
                return false;
            },
            {}};
}

}  // namespace parafold
