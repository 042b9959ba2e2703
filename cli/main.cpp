// parafold-cli: the Process File pipeline for scripts and for every machine
// without Windows. Each FILE is one request, with the options the dialog
// would show; several may run at once (--jobs), and what is printed of
// each comes in the order of the FILEs.
//
// Exit status: 0 when every file was aligned, 1 when any failed, 2 for a
// usage error.

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/schedule.h"
#include "cli/standard_streams.h"
#include "ui/output_path.h"
#include "ui/pipeline.h"

#ifndef PARAFOLD_VERSION
#define PARAFOLD_VERSION "unknown"
#endif

namespace {

constexpr const char* program = "parafold-cli";

int usage_error(const std::string& problem) {
    std::fprintf(stderr, "%s: %s (try '%s --help')\n", program, problem.c_str(), program);
    return 2;
}

// One FILE of the command line: its request, and how it ended.
struct FileRun {
    std::string file;  // as given
    parafold::ProcessRequest request;
    bool to_standard_output = false;
    parafold::ProcessOutcome outcome;
};

// The request for `file`, with the options the dialog would show. The width
// is typed here, once: --columns as the dialog's field reads it (-1 the
// mean line length), -a the mean on the plain road and the most common
// length less 6 on the e-reader road (whatever --columns says there), and
// --smart its own estimate unless --columns gives one above 0.
parafold::ProcessRequest request_for(const parafold::CliOptions& options,
                                     const std::string& file) {
    using parafold::Width;
    using parafold::WidthRule;
    parafold::ProcessRequest request;
    request.input_path = file;
    // Standard input's text goes to standard output unless -o says where,
    // and --explain's report always does; any name of standard output is
    // written as the stream it stands for.
    std::string output = options.explain  ? std::string(parafold::standard_stream_path)
                         : options.output ? *options.output
                         : file == parafold::standard_stream_path
                             ? file
                             : parafold::derive_output_path(file);
    request.output_path = parafold::names_standard_output(output)
                              ? std::string(parafold::standard_stream_path)
                              : std::move(output);
    parafold::UnwrapOptions& how = request.options;
    how.two_lines = options.two_lines;
    how.indent = options.indent;
    how.smart = options.smart;
    how.dehyphenate = options.dehyphenate;
    how.explain = options.explain;
    // Files joined at once keep the cores busy already: joining threads for
    // each would only make them take turns.
    how.one_thread = options.jobs > 1 && options.files.size() > 1;
    const bool ereader = options.two_lines || options.indent;
    if (options.columns) {
        how.width = parafold::width_of_fields(*options.columns, options.autodetect, ereader);
    } else if (options.autodetect) {
        how.width = Width{ereader ? WidthRule::most_common_less_6 : WidthRule::mean, 0};
    } else {
        how.width = options.smart ? Width{WidthRule::learned, 0} : Width{};
    }
    return request;
}

// Runs `run`, unless it was refused before it began.
void run_one(FileRun& run, std::FILE* report) {
    if (run.outcome.failure != parafold::Failure::none) return;
    try {
        run.outcome = parafold::run_request(run.request, report);
    } catch (const std::bad_alloc&) {
        run.outcome = {parafold::Failure::out_of_memory, false};
    }
}

void say_about(const std::string& file, const char* text) {
    std::fprintf(stderr, "%s: %s: %s", program, file.c_str(), text);
}

// Tells how `run` ended: its output path on `paths` (none for standard
// output), a failure or a note on standard error.
void tell(const FileRun& run, std::FILE* paths) {
    if (run.outcome.failure == parafold::Failure::none) {
        if (!run.to_standard_output) {
            std::fprintf(paths, "%s\n", run.request.output_path.c_str());
            std::fflush(paths);
        }
        if (run.outcome.breaks_kept) say_about(run.file, parafold::failure_text::breaks_kept);
    } else {
        // A reader that leaves early cut the text short, but nothing went
        // wrong with the unwrap itself: the reason alone says what happened.
        if (run.outcome.failure != parafold::Failure::reader_left)
            say_about(run.file, "Alignment failed\n");
        say_about(run.file, parafold::text_of(run.outcome.failure));
    }
    std::fflush(stderr);
}

// Runs the files one after another, telling each as it ends.
void run_in_turn(std::vector<FileRun>& runs, std::FILE* paths, std::FILE* report) {
    for (FileRun& run : runs) {
        // --explain's report on standard output says which file it is of,
        // unless standard output is that file.
        if (run.request.options.explain && run.outcome.failure == parafold::Failure::none) {
            if (parafold::ends_are_one_file(run.request.input_path.c_str(),
                                            run.request.output_path.c_str())) {
                run.outcome.failure = parafold::Failure::output_is_input;
            } else {
                std::printf("file: %s\n", run.file.c_str());
            }
        }
        // What was printed so far comes before the run's length report.
        std::fflush(stdout);
        run_one(run, report);
        tell(run, paths);
    }
}

// The exit status `status`, unless what was printed did not all reach
// standard output: a script that reads the printed paths must not take
// their absence for success.
int checked_exit(int status) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s: can't write to standard output\n", program);
        return 1;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any file is opened, so that none takes the number of a
    // standard stream that the shell closed.
    if (!parafold::hold_standard_descriptors()) {
        std::fprintf(stderr, "%s: a standard stream is closed, and no null device can stand in\n",
                     program);
        return 1;
    }
#ifdef _WIN32
    // Narrow paths go to the file functions in the system's ANSI code page;
    // std::filesystem (which tells whether two paths name one file) converts
    // them with the C runtime's locale, which must then use that code page
    // too, or a name with bytes from 0x80 up names different files for the
    // two.
    std::setlocale(LC_CTYPE, "");
#endif
#ifdef SIGPIPE
    // A reader that leaves early makes the writes to its pipe fail, and that
    // file's run with them, instead of ending the whole program at once: the
    // other files are still done, and the exit status says that one failed.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    parafold::CliOptions options;
    std::string problem;
    switch (parafold::parse_command_line(argc, argv, options, problem)) {
        case parafold::Parsed::help:
            std::fputs(parafold::help_text().c_str(), stdout);
            return checked_exit(0);
        case parafold::Parsed::version:
            std::printf("%s %s\n", program, PARAFOLD_VERSION);
            return checked_exit(0);
        case parafold::Parsed::usage_error: return usage_error(problem);
        case parafold::Parsed::run: break;
    }
    std::vector<FileRun> runs;
    bool any_to_standard_output = false;
    for (const std::string& file : options.files) {
        FileRun run{file, request_for(options, file), false, {}};
        run.to_standard_output = run.request.output_path == parafold::standard_stream_path;
        any_to_standard_output = any_to_standard_output || run.to_standard_output;
        runs.push_back(std::move(run));
    }
    // Of two inputs with one output file, the first keeps its result.
    std::vector<parafold::RunEnds> ends;
    for (const FileRun& run : runs) ends.push_back({run.request.input_path, run.request.output_path});
    const std::vector<bool> taken = parafold::outputs_taken(ends);
    for (std::size_t j = 0; j < runs.size(); ++j) {
        if (taken[j]) runs[j].outcome.failure = parafold::Failure::output_taken;
    }
    // When a text goes to standard output, nothing else may.
    std::FILE* const paths = any_to_standard_output ? stderr : stdout;
    std::FILE* const report = options.verbose ? paths : nullptr;

    // The reports of --explain and -v are told as the runs go: those run in
    // turn. Other files run on worker threads, one or more, while this
    // thread tells them.
    if (runs.size() > 1 && !options.explain && !options.verbose) {
        std::vector<std::vector<parafold::FileUse>> uses;
        for (const FileRun& run : runs) {
            uses.push_back(parafold::uses_of(run.request.input_path, run.request.output_path));
        }
        parafold::run_at_once(
            parafold::waits_of(uses), options.jobs,
            [&](std::size_t j) { run_one(runs[j], nullptr); },
            [&](std::size_t j) { tell(runs[j], paths); });
    } else {
        run_in_turn(runs, paths, report);
    }
    const bool all_aligned = std::all_of(runs.begin(), runs.end(), [](const FileRun& run) {
        return run.outcome.failure == parafold::Failure::none;
    });
    const int status = all_aligned ? 0 : 1;
    // A text that went to standard output was checked by its own run.
    return any_to_standard_output ? status : checked_exit(status);
}
