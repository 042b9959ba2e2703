// parafold-cli: the Process File pipeline for scripts and for every machine
// without Windows. Each FILE is one request, with the options the dialog
// would show.
//
// Exit status: 0 when every file was aligned, 1 when any failed, 2 for a
// usage error.

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/estimate.h"
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
    "writes the result to a new file, printing its path.\n"
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
    "  -o, --output PATH    the output file (with one FILE only); default: FILE with\n"
    "                       everything from its last '.' replaced by \".ncr.txt\"\n"
    "  -s, --smart          reading-quality unwrap instead of the dialog's rule: joins\n"
    "                       every wrapped line, whatever its last character, and keeps\n"
    "                       the breaks of headings, verse, lists, quotes and paragraph\n"
    "                       ends; the width comes from --columns when positive, else\n"
    "                       from the text itself. A text that is not hard-wrapped is\n"
    "                       left as it is, and a line on standard error says so\n"
    "      --dehyphenate    with --smart: join a word hyphenated at a line end without\n"
    "                       its hyphen when the text has the word whole elsewhere\n"
    "      --explain        with --smart: write no file, but print the layout found and\n"
    "                       why each line break inside a paragraph block was kept\n"
    "  -v, --verbose        also show the length report of the estimate\n"
    "  -h, --help           show this help and exit\n"
    "      --version        show the version and exit\n"
    "\n"
    "With -2 or -i the temporary files parafoldtemp.txt and parafoldtemp2.txt are\n"
    "written to the current folder and deleted again.\n"
    "Exit status: 0 when every FILE was aligned, 1 when any failed, 2 for a usage error.\n";

struct Options {
    std::string column_text = "56";
    bool columns_given = false;
    bool autodetect = false, two_lines = false, indent = false, verbose = false;
    bool smart = false, dehyphenate = false, explain = false;
    std::string output_path;
    bool output_given = false;
    std::vector<std::string> files;
};

enum class Parsed { run, help, version, usage_error };

int usage_error(const std::string& problem) {
    std::fprintf(stderr, "%s: %s (try '%s --help')\n", program, problem.c_str(), program);
    return 2;
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
                    case 'o': {
                        // The rest of the argument, if any, is the value.
                        const bool columns = letter == 'c';
                        if (!take_value(k + 1 < arg.size(), arg.substr(k + 1), name,
                                        columns ? options.column_text : options.output_path,
                                        columns ? options.columns_given : options.output_given))
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
    return Parsed::run;
}

// Copies what the run said, line by line, to standard error, each line
// prefixed with the program and the file.
void relay_messages(std::FILE* messages, const std::string& file) {
    std::rewind(messages);
    char line[4096];
    bool at_line_start = true;
    while (std::fgets(line, sizeof line, messages)) {
        if (at_line_start) std::fprintf(stderr, "%s: %s: ", program, file.c_str());
        std::fputs(line, stderr);
        at_line_start = std::strchr(line, '\n') != nullptr;
    }
    if (!at_line_start) std::fputc('\n', stderr);
}

// Runs one file; returns true when it was aligned. `scratch`, an empty
// file or nullptr, collects the run's diagnostics so that they can follow
// the failure line; without it they go to standard error as they come.
bool align_file(const Options& options, const std::string& file, std::FILE* scratch) {
    parafold::ProcessRequest request;
    request.input_path = file;
    request.output_path =
        options.output_given ? options.output_path : parafold::derive_output_path(file);
    request.column_text = options.column_text;
    // As the dialog does when a file is chosen with "Autodetect Columns"
    // ticked: the column field then shows the file's mean line length.
    if (options.autodetect && !options.columns_given)
        request.column_text = std::to_string(parafold::average_line_length(file.c_str()));
    request.two_lines = options.two_lines;
    request.indent = options.indent;
    request.autodetect = options.autodetect;
    request.smart = options.smart;
    request.dehyphenate = options.dehyphenate;
    request.explain = options.explain ? stdout : nullptr;
    // Without --columns the smart unwrap estimates the width from the text.
    if (options.smart && !options.columns_given) request.column_text.assign(1, '0');

    if (options.explain) std::printf("file: %s\n", file.c_str());
    std::fflush(stdout);
    const int status = parafold::run_pipeline(request, scratch ? scratch : stderr,
                                              options.verbose ? stdout : nullptr);
    if (status == 0) {
        if (!options.explain) std::printf("%s\n", request.output_path.c_str());
        std::fflush(stdout);
    } else {
        std::fprintf(stderr, "%s: %s: Alignment failed\n", program, file.c_str());
    }
    if (scratch) relay_messages(scratch, file);
    return status == 0;
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
    bool all_aligned = true;
    for (const std::string& file : options.files) {
        // A fresh scratch file per request holds only that run's messages.
        std::FILE* scratch = std::tmpfile();
        if (!align_file(options, file, scratch)) all_aligned = false;
        if (scratch) std::fclose(scratch);
    }
    return checked_exit(all_aligned ? 0 : 1);
}
