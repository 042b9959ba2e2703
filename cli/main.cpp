// parafold-cli: the Process File pipeline for scripts and for every machine
// without Windows. Each FILE is one request, with the options the dialog
// would show; several may run at once (--jobs), and what is printed of
// each comes in the order of the FILEs.
//
// Exit status: 0 when every file was aligned, 1 when any failed, 2 for a
// usage error.

#include <algorithm>
#include <clocale>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "ui/output_path.h"
#include "ui/pipeline.h"

#ifndef PARAFOLD_VERSION
#define PARAFOLD_VERSION "unknown"
#endif

namespace {

constexpr const char* program = "parafold-cli";

constexpr const char* usage_text =
    "Usage: parafold-cli [OPTIONS] FILE...\n"
    "Joins the hard-wrapped lines of each paragraph of every FILE into one line and\n"
    "writes the result to a new file, printing its path. FILE \"-\" is standard input,\n"
    "whose result goes to standard output unless --output names a file.\n"
    "\n"
    "  -c, --columns TEXT   the wrap column as the dialog's column field would hold it\n"
    "                       (default \"56\"; \"-1\" estimates it from the mean line length)\n"
    "  -a, --autodetect     \"Autodetect Columns\": without --columns, the column is the\n"
    "                       file's mean line length; with -2 or -i, the width is the\n"
    "                       most common line length minus 6\n"
    "  -2, --two-lines      \"Kindle 2 Lines\": collapse every run of line breaks into one\n"
    "                       before joining\n"
    "  -i, --indent         \"Kindle Indent\": indent every joined line by five spaces and\n"
    "                       drop the empty lines\n"
    "  -o, --output PATH    the output file (with one FILE only), \"-\" for standard\n"
    "                       output; default: FILE with everything from its last '.'\n"
    "                       replaced by \".ncr.txt\"\n"
    "  -j, --jobs N         work on N files at once (default 1; 0: one per processor).\n"
    "                       Paths and messages still come in the order of the FILEs,\n"
    "                       and every output holds what a run of its own would write:\n"
    "                       a file that another FILE writes waits for it. With\n"
    "                       --explain or -v the files run one at a time\n"
    "  -s, --smart          reading-quality unwrap instead of the dialog's rule: joins\n"
    "                       every wrapped line, whatever its last character, and keeps\n"
    "                       the breaks of headings, verse, lists, quotes and paragraph\n"
    "                       ends; the width comes from --columns when positive, else\n"
    "                       from the text itself. A text that is not hard-wrapped is\n"
    "                       left as it is, and a line on standard error says so. A\n"
    "                       UTF-16 text with a byte-order mark stays in UTF-16\n"
    "      --dehyphenate    with --smart: join a word hyphenated at a line end without\n"
    "                       its hyphen when the text has the word whole elsewhere\n"
    "      --explain        with --smart: write no file, but print the layout found and\n"
    "                       why each line break inside a paragraph block was kept\n"
    "  -v, --verbose        also show the length report of the estimate\n"
    "  -h, --help           show this help and exit\n"
    "      --version        show the version and exit\n"
    "\n"
    "Standard input and output, and pipes, FIFOs and devices named as FILE or PATH,\n"
    "are read or written once, front to back. What must be known before the first\n"
    "line is joined (the mean line length of -c -1 and -a, the width --smart\n"
    "estimates, the words --dehyphenate looks for) then comes from the first 8 MiB\n"
    "of such an input, held in memory. When any text goes to standard output,\n"
    "nothing else does: the output paths of the other FILEs and the -v report go to\n"
    "standard error, and no path is printed for standard output itself. Failures\n"
    "and notes always go to standard error, as \"parafold-cli: FILE: reason\".\n"
    "Exit status: 0 when every FILE was aligned, 1 when any failed, 2 for a usage error.\n";

struct Options {
    std::string column_text;  // as given with --columns
    bool columns_given = false;
    bool autodetect = false, two_lines = false, indent = false, verbose = false;
    bool smart = false, dehyphenate = false, explain = false;
    std::string output_path;
    bool output_given = false;
    std::string jobs_text = "1";
    bool jobs_given = false;
    unsigned jobs = 1;
    std::vector<std::string> files;
};

enum class Parsed { run, help, version, usage_error };

int usage_error(const std::string& problem) {
    std::fprintf(stderr, "%s: %s (try '%s --help')\n", program, problem.c_str(), program);
    return 2;
}

// The number of files to run at once, from the text of --jobs; false when
// it is no number. 0 asks for one per processor.
bool read_jobs(const std::string& text, unsigned& jobs) {
    constexpr unsigned most = 1024;
    if (text.empty() || text.size() > 9) return false;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0) value = std::max(1u, std::thread::hardware_concurrency());
    jobs = std::min(value, most);
    return true;
}

// Reads the command line into `options`. On a usage error `problem` says
// what is wrong.
Parsed parse_command_line(int argc, char** argv, Options& options, std::string& problem) {
    bool only_files = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (only_files || arg.size() < 2 || arg[0] != '-') {
            options.files.emplace_back(arg);
            continue;
        }
        // The value of an option that takes one: the text attached to it
        // ("-c56", "--columns=56", "--columns=" for the empty column text),
        // or else the next argument whatever it looks like ("-c -1").
        auto take_value = [&](bool attached, std::string_view text, std::string_view name,
                              std::string& value, bool& given) {
            if (!attached) {
                if (i + 1 >= argc) {
                    problem = "option " + std::string(name) + " needs a value";
                    return false;
                }
                text = argv[++i];
            }
            value = text;
            given = true;
            return true;
        };
        if (arg == "--") {
            only_files = true;
        } else if (arg.substr(0, 2) == "--") {
            const std::size_t equals = arg.find('=');
            const std::string_view name = arg.substr(0, equals);
            const std::string_view attached =
                equals == std::string_view::npos ? std::string_view() : arg.substr(equals + 1);
            const bool has_value = equals != std::string_view::npos;
            if (name == "--columns") {
                if (!take_value(has_value, attached, name, options.column_text,
                                options.columns_given))
                    return Parsed::usage_error;
            } else if (name == "--output") {
                if (!take_value(has_value, attached, name, options.output_path,
                                options.output_given))
                    return Parsed::usage_error;
            } else if (name == "--jobs") {
                if (!take_value(has_value, attached, name, options.jobs_text, options.jobs_given))
                    return Parsed::usage_error;
            } else if (has_value) {
                problem = "option " + std::string(name) + " takes no value";
                return Parsed::usage_error;
            } else if (name == "--autodetect") {
                options.autodetect = true;
            } else if (name == "--two-lines") {
                options.two_lines = true;
            } else if (name == "--indent") {
                options.indent = true;
            } else if (name == "--smart") {
                options.smart = true;
            } else if (name == "--dehyphenate") {
                options.dehyphenate = true;
            } else if (name == "--explain") {
                options.explain = true;
            } else if (name == "--verbose") {
                options.verbose = true;
            } else if (name == "--help") {
                return Parsed::help;
            } else if (name == "--version") {
                return Parsed::version;
            } else {
                problem = "unknown option '" + std::string(name) + "'";
                return Parsed::usage_error;
            }
        } else {
            // Short options, several may share one dash ("-2ia").
            for (std::size_t k = 1; k < arg.size(); ++k) {
                const char letter = arg[k];
                const std::string name = std::string("-") + letter;
                switch (letter) {
                    case 'c':
                    case 'o':
                    case 'j': {
                        // The rest of the argument, if any, is the value.
                        std::string& value = letter == 'c'   ? options.column_text
                                             : letter == 'o' ? options.output_path
                                                             : options.jobs_text;
                        bool& given = letter == 'c'   ? options.columns_given
                                      : letter == 'o' ? options.output_given
                                                      : options.jobs_given;
                        if (!take_value(k + 1 < arg.size(), arg.substr(k + 1), name, value, given))
                            return Parsed::usage_error;
                        k = arg.size();
                        break;
                    }
                    case 'a': options.autodetect = true; break;
                    case '2': options.two_lines = true; break;
                    case 'i': options.indent = true; break;
                    case 's': options.smart = true; break;
                    case 'v': options.verbose = true; break;
                    case 'h': return Parsed::help;
                    default:
                        problem = "unknown option '" + name + "'";
                        return Parsed::usage_error;
                }
            }
        }
    }
    if (options.files.empty()) {
        problem = "no input file given";
        return Parsed::usage_error;
    }
    if (options.dehyphenate && !options.smart) {
        problem = "--dehyphenate goes with --smart";
        return Parsed::usage_error;
    }
    if (options.explain && (!options.smart || options.two_lines || options.indent ||
                            options.output_given)) {
        problem = "--explain goes with --smart alone: no -2, -i or --output";
        return Parsed::usage_error;
    }
    if (options.autodetect && options.smart) {
        problem = "--smart estimates the width itself: leave out --autodetect";
        return Parsed::usage_error;
    }
    if (options.output_given && options.files.size() > 1) {
        problem = "--output names one output file, but " + std::to_string(options.files.size()) +
                  " input files were given";
        return Parsed::usage_error;
    }
    if (!read_jobs(options.jobs_text, options.jobs)) {
        problem = "--jobs needs a number of files to run at once, not '" + options.jobs_text + "'";
        return Parsed::usage_error;
    }
    return Parsed::run;
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
parafold::ProcessRequest request_for(const Options& options, const std::string& file) {
    using parafold::Width;
    using parafold::WidthRule;
    parafold::ProcessRequest request;
    request.input_path = file;
    // Standard input's text goes to standard output unless -o says where;
    // --explain's report goes there in place of a file.
    request.output_path = options.output_given ? options.output_path
                          : file == parafold::standard_stream_path || options.explain
                              ? parafold::standard_stream_path
                              : parafold::derive_output_path(file);
    parafold::UnwrapOptions& how = request.options;
    how.two_lines = options.two_lines;
    how.indent = options.indent;
    how.smart = options.smart;
    how.dehyphenate = options.dehyphenate;
    how.explain = options.explain;
    const bool ereader = options.two_lines || options.indent;
    if (options.columns_given) {
        how.width = parafold::width_of_fields(options.column_text, options.autodetect, ereader);
    } else if (options.autodetect) {
        how.width = Width{ereader ? WidthRule::most_common_less_6 : WidthRule::mean, 0};
    } else {
        how.width = options.smart ? Width{WidthRule::learned, 0} : Width{};
    }
    return request;
}

parafold::ProcessOutcome run_one(const parafold::ProcessRequest& request, std::FILE* report) {
    try {
        return parafold::run_request(request, report);
    } catch (const std::bad_alloc&) {
        return {parafold::Failure::out_of_memory, false};
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
        say_about(run.file, "Alignment failed\n");
        say_about(run.file, parafold::text_of(run.outcome.failure));
    }
    std::fflush(stderr);
}

// Runs the files one after another, telling each as it ends.
void run_in_turn(std::vector<FileRun>& runs, std::FILE* paths, std::FILE* report) {
    for (FileRun& run : runs) {
        // --explain's report on standard output says which file it is of.
        if (run.request.options.explain) std::printf("file: %s\n", run.file.c_str());
        // What was printed so far comes before the run's length report.
        std::fflush(stdout);
        run.outcome = run_one(run.request, report);
        tell(run, paths);
    }
}

// What a file name stands for when runs are compared: the path made
// absolute with its links resolved, so that two spellings of one file
// meet. Standard input and output have keys no path can have.
std::string input_key(const std::string& path) {
    if (path == parafold::standard_stream_path) return std::string("\0stdin", 6);
    try {
        std::error_code error;
        const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
        if (!error) return canonical.string();
    } catch (...) {
    }
    return path;
}

std::string output_key(const std::string& path) {
    if (path == parafold::standard_stream_path) return std::string("\0stdout", 7);
    return input_key(path);
}

// For each run, the earlier runs it must wait for so that it reads and
// writes what it would if they all ran one at a time: those that write a
// file it reads or writes, and those that read a file it writes. Reading
// standard input takes its bytes away, so it counts as writing.
std::vector<std::vector<std::size_t>> waits_of(const std::vector<FileRun>& runs) {
    struct Uses {
        std::optional<std::size_t> writer;  // the last run to write the file
        std::vector<std::size_t> readers;   // the runs that read it since
    };
    std::unordered_map<std::string, Uses> files;
    std::vector<std::vector<std::size_t>> waits(runs.size());
    for (std::size_t j = 0; j < runs.size(); ++j) {
        auto use = [&](const std::string& key, bool writes) {
            Uses& uses = files[key];
            if (uses.writer && *uses.writer != j) waits[j].push_back(*uses.writer);
            if (!writes) {
                uses.readers.push_back(j);
                return;
            }
            for (const std::size_t reader : uses.readers) {
                if (reader != j) waits[j].push_back(reader);
            }
            uses.readers.clear();
            uses.writer = j;
        };
        const parafold::ProcessRequest& request = runs[j].request;
        use(input_key(request.input_path), request.input_path == parafold::standard_stream_path);
        use(output_key(request.output_path), true);
    }
    return waits;
}

// Runs up to `jobs` files at once and tells each in the order of the
// FILEs, as soon as it and every one before it have ended.
void run_at_once(std::vector<FileRun>& runs, unsigned jobs, std::FILE* paths) {
    const std::vector<std::vector<std::size_t>> waits = waits_of(runs);
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<char> ended(runs.size(), 0);
    std::size_t next = 0;
    auto work = [&] {
        for (;;) {
            std::size_t j;
            {
                std::unique_lock lock(mutex);
                if (next == runs.size()) return;
                j = next++;
                changed.wait(lock, [&] {
                    return std::all_of(waits[j].begin(), waits[j].end(),
                                       [&](std::size_t i) { return ended[i] != 0; });
                });
            }
            const parafold::ProcessOutcome outcome = run_one(runs[j].request, nullptr);
            {
                std::lock_guard lock(mutex);
                runs[j].outcome = outcome;
                ended[j] = 1;
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned k = 0; k < jobs && k < runs.size(); ++k) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // as many as the system gives
        }
    }
    if (workers.empty()) work();
    for (std::size_t j = 0; j < runs.size(); ++j) {
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return ended[j] != 0; });
        }
        tell(runs[j], paths);
    }
    for (std::thread& worker : workers) worker.join();
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
    Options options;
    std::string problem;
    switch (parse_command_line(argc, argv, options, problem)) {
        case Parsed::help: std::fputs(usage_text, stdout); return checked_exit(0);
        case Parsed::version:
            std::printf("%s %s\n", program, PARAFOLD_VERSION);
            return checked_exit(0);
        case Parsed::usage_error: return usage_error(problem);
        case Parsed::run: break;
    }
    std::vector<FileRun> runs;
    bool any_to_standard_output = false;
    for (const std::string& file : options.files) {
        FileRun run{file, request_for(options, file), false, {}};
        // --explain writes its report there in place of a file.
        run.to_standard_output =
            options.explain || run.request.output_path == parafold::standard_stream_path;
        any_to_standard_output = any_to_standard_output || run.to_standard_output;
        runs.push_back(std::move(run));
    }
    // When a text goes to standard output, nothing else may.
    std::FILE* const paths = any_to_standard_output ? stderr : stdout;
    std::FILE* const report = options.verbose ? paths : nullptr;

    // The reports of --explain and -v are told as the runs go: those run in
    // turn. Other files run on worker threads, one or more, while this
    // thread tells them.
    if (runs.size() > 1 && !options.explain && !options.verbose) {
        run_at_once(runs, options.jobs, paths);
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
