// The two files of a filter run: opening them with the checks every filter
// owes its user, reading and writing them in blocks, closing them.
//
// A path is opened as what it names needs:
//  - "-" is standard input as an input and standard output as an output;
//  - a path naming a pipe, a FIFO, a terminal, a socket or a device is
//    opened only for reading (an input) or only for writing (an output), so
//    that the process never holds the other end of its own pipe and waits
//    for an end that it would have to give itself;
//  - any other path (a regular file, or one that does not exist yet) with
//    the mode the filter asks for.
// The first two are streams: read once, front to back.
#pragma once

#include <cstdio>

#include "engine/io/blocks.h"
#include "engine/io/digest.h"
#include "engine/io/failure.h"

namespace parafold {

inline constexpr const char* standard_stream_path = "-";

// True for "-" and for a path that names an existing pipe, FIFO,
// terminal, socket or device.
bool names_stream(const char* path);

struct FileEnd {
    std::FILE* file = nullptr;
    bool standard = false;  // standard input or output: never closed
    bool stream = false;    // see above; cannot be rewound
    int error = 0;          // why it last failed to open, write or close (errno); 0: never
};

// The failure to report for an end that could not be opened: another run
// writes the output, the process may open no more files, or else `otherwise`.
Failure open_failure(const FileEnd& end, Failure otherwise);

// The failure to report for an output that could not be written: it is a
// pipe whose reader left, or else `otherwise`.
Failure write_failure(const FileEnd& end, Failure otherwise);

// What a filter run over two files reports: how it ended, and digests of
// the bytes it read from its input (in its last pass over it) and wrote to
// its output.
struct FilterOutcome {
    Failure failure = Failure::none;
    ByteDigest read, written;
    // Every pass over the input read the same bytes (see digest_tap).
    bool read_alike = true;
};

// Whether writing the output would destroy the input, which it reads
// meanwhile: both name one file by any name, or "-" stands for a regular
// file that the other end names or that is behind the other standard
// stream (`-o F - <F`, `-o - F >>F`). Standard streams are compared by what
// they are, and only regular files count: a terminal may well be both
// ends. A named input that is a stream is read once and loses nothing.
bool ends_are_one_file(const char* input_path, const char* output_path);

// Opens the input (with `mode` when it is not a stream), unbuffered.
// When `output_path` is given, refuses before anything is written an
// output that is the input (see ends_are_one_file), since creating the
// output truncates it.
Failure open_filter_input(const char* path, const char* mode, const char* output_path,
                          FileEnd& end);

// Opens the output (with `mode` when it is not a stream), unbuffered; a
// file only once no other run writes it (see engine/io/sole_writer.h).
Failure open_filter_output(const char* path, const char* mode, FileEnd& end);

// Asked, from whichever thread, when a signal that the process handles cut
// a read, a write or the opening of a pipe short: true goes on where it
// stopped, false fails the call, for a caller with a reason to stop (an
// interpreter whose signal handler raised). With none set, every such
// call goes on.
using SignalCheck = bool (*)();
void set_signal_check(SignalCheck check);

// Closes an end (standard input is left as it is, standard output only
// flushed). False when an output could not be closed or flushed: its last
// bytes may never have arrived.
bool close_end(FileEnd& end);

// Closes both ends and returns `status`, or cant_write_output when closing
// the output failed; either of those as write_failure() says.
Failure close_filter_files(FileEnd& input, FileEnd& output, Failure status);

// The bottom layers over an open end (see engine/io/blocks.h). Only an end
// that is not a stream can rewind.
BlockSource file_source(FileEnd& end);
BlockSink file_sink(FileEnd& end);

}  // namespace parafold
