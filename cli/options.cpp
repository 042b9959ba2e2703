#include "cli/options.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <thread>

namespace parafold {
namespace {

constexpr const char* usage_head =
    "Usage: parafold-cli [OPTIONS] FILE...\n"
    "Joins the hard-wrapped lines of each paragraph of every FILE into one line and\n"
    "writes the result to a new file, printing its path. FILE \"-\" is standard input,\n"
    "whose result goes to standard output unless --output names a file.\n"
    "\n";

constexpr const char* usage_tail =
    "\n"
    "Standard input and output, and pipes, FIFOs and devices named as FILE or PATH,\n"
    "are read or written once, front to back. What must be known before the first\n"
    "line is joined (the mean line length of -c -1 and -a, the most common of -2 -a,\n"
    "the width --smart estimates, the words --dehyphenate looks for) then comes from\n"
    "the first 8 MiB of such an input, held in memory. When any text goes to standard output,\n"
    "nothing else does: the output paths of the other FILEs and the -v report go to\n"
    "standard error, and no path is printed for standard output itself. Failures\n"
    "and notes always go to standard error, as \"parafold-cli: FILE: reason\".\n"
    "Exit status: 0 when every FILE was aligned, 1 when any failed, 2 for a usage error.\n";

using O = CliOptions;

constexpr std::array<OptionSpec, 12> options{{
    {'c', "columns", "TEXT",
     "the wrap column as the dialog's column field would hold it\n"
     "(default \"56\"; \"-1\" estimates it from the mean line length)",
     nullptr, &O::columns},
    {'a', "autodetect", nullptr,
     "\"Autodetect Columns\": without --columns, the column is the\n"
     "file's mean line length; with -2 or -i, the width is the\n"
     "most common line length minus 6",
     &O::autodetect, nullptr},
    {'2', "two-lines", nullptr,
     "\"Kindle 2 Lines\": collapse every run of line breaks into one\n"
     "before joining",
     &O::two_lines, nullptr},
    {'i', "indent", nullptr,
     "\"Kindle Indent\": indent every joined line by five spaces and\n"
     "drop the empty lines",
     &O::indent, nullptr},
    {'o', "output", "PATH",
     "the output file (with one FILE only), \"-\" for standard\n"
     "output; default: FILE with everything from its last '.'\n"
     "replaced by \".ncr.txt\"",
     nullptr, &O::output},
    {'j', "jobs", "N",
     "work on N files at once (default 1; 0: one per processor).\n"
     "Paths and messages still come in the order of the FILEs,\n"
     "and every output holds what a run of its own would write:\n"
     "a file that another FILE writes waits for it. With\n"
     "--explain or -v the files run one at a time",
     nullptr, &O::jobs_text},
    {'s', "smart", nullptr,
     "reading-quality unwrap instead of the dialog's rule: joins\n"
     "every wrapped line, whatever its last character, and keeps\n"
     "the breaks of headings, verse, lists, quotes and paragraph\n"
     "ends; the width comes from --columns when positive, else\n"
     "from the text itself. A text that is not hard-wrapped is\n"
     "left as it is, and a line on standard error says so. A\n"
     "UTF-16 text with a byte-order mark stays in UTF-16",
     &O::smart, nullptr},
    {'\0', "dehyphenate", nullptr,
     "with --smart: spell a word hyphenated at a line end as the\n"
     "text does elsewhere, with its hyphen or without (where the\n"
     "text is silent, a word list of the system's has its say)",
     &O::dehyphenate, nullptr},
    {'\0', "explain", nullptr,
     "with --smart: write no file, but print the layout found and\n"
     "why each line break inside a paragraph block was kept",
     &O::explain, nullptr},
    {'v', "verbose", nullptr, "also show the length report of the estimate", &O::verbose, nullptr},
    {'h', "help", nullptr, "show this help and exit", &O::help, nullptr},
    {'\0', "version", nullptr, "show the version and exit", &O::version, nullptr},
}};

// Where the help of every option starts in --help.
constexpr std::size_t help_column = 23;

const OptionSpec* find_long(std::string_view name) {
    const auto found = std::find_if(options.begin(), options.end(),
                                    [&](const OptionSpec& spec) { return name == spec.long_name; });
    return found == options.end() ? nullptr : &*found;
}

const OptionSpec* find_short(char letter) {
    const auto found = std::find_if(options.begin(), options.end(),
                                    [&](const OptionSpec& spec) { return letter == spec.short_name; });
    return found == options.end() ? nullptr : &*found;
}

// The number of files to run at once, from the text of --jobs; false when
// it is no number. 0 asks for one per processor.
bool read_jobs(const std::string& text, unsigned& jobs) {
    // Threads beyond this many only cost memory: the files are read and
    // written far faster than so many processors could join them.
    constexpr unsigned most = 1024;
    // Nine digits cannot overflow the sum below.
    constexpr std::size_t most_digits = 9;
    if (text.empty() || text.size() > most_digits) return false;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0) value = std::max(1u, std::thread::hardware_concurrency());
    jobs = std::min(value, most);
    return true;
}

// The rules between options, once all are read; "" when they hold.
std::string conflict_of(const CliOptions& options) {
    if (options.files.empty()) return "no input file given";
    if (options.dehyphenate && !options.smart) return "--dehyphenate goes with --smart";
    if (options.explain &&
        (!options.smart || options.two_lines || options.indent || options.output)) {
        return "--explain goes with --smart alone: no -2, -i or --output";
    }
    if (options.autodetect && options.smart) {
        return "--smart estimates the width itself: leave out --autodetect";
    }
    if (options.output && options.files.size() > 1) {
        return "--output names one output file, but " + std::to_string(options.files.size()) +
               " input files were given";
    }
    return "";
}

}  // namespace

std::span<const OptionSpec> option_table() { return options; }

Parsed parse_command_line(int argc, const char* const* argv, CliOptions& options,
                          std::string& problem) {
    // Sets what `spec` sets. `attached` is the value written into the
    // argument ("-c56", "--columns=56", "--columns=" for an empty one);
    // without it an option that takes a value takes the next argument,
    // whatever it looks like ("-c -1").
    int i = 1;
    auto set = [&](const OptionSpec& spec, std::string_view name,
                   std::optional<std::string_view> attached) {
        if (!spec.value_name) {
            if (attached) {
                problem = "option " + std::string(name) + " takes no value";
                return false;
            }
            options.*spec.flag = true;
            return true;
        }
        if (!attached) {
            if (i + 1 >= argc) {
                problem = "option " + std::string(name) + " needs a value";
                return false;
            }
            attached = argv[++i];
        }
        options.*spec.value = std::string(*attached);
        return true;
    };
    bool only_files = false;
    for (; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (only_files || arg.size() < 2 || arg[0] != '-') {
            options.files.emplace_back(arg);
        } else if (arg == "--") {
            only_files = true;
        } else if (arg.starts_with("--")) {
            const std::size_t equals = arg.find('=');
            const std::string_view name = arg.substr(0, equals);
            const OptionSpec* spec = find_long(name.substr(2));
            if (!spec) {
                problem = "unknown option '" + std::string(name) + "'";
                return Parsed::usage_error;
            }
            std::optional<std::string_view> attached;
            if (equals != std::string_view::npos) attached = arg.substr(equals + 1);
            if (!set(*spec, name, attached)) return Parsed::usage_error;
        } else {
            for (std::size_t k = 1; k < arg.size(); ++k) {
                const std::string name{'-', arg[k]};
                const OptionSpec* spec = find_short(arg[k]);
                if (!spec) {
                    problem = "unknown option '" + name + "'";
                    return Parsed::usage_error;
                }
                // An option with a value takes the rest of the argument.
                std::optional<std::string_view> attached;
                if (spec->value_name && k + 1 < arg.size()) attached = arg.substr(k + 1);
                if (!set(*spec, name, attached)) return Parsed::usage_error;
                if (options.help || spec->value_name) break;
            }
        }
        if (options.help) return Parsed::help;
        if (options.version) return Parsed::version;
    }
    problem = conflict_of(options);
    if (!problem.empty()) return Parsed::usage_error;
    if (options.jobs_text && !read_jobs(*options.jobs_text, options.jobs)) {
        problem = "--jobs needs a number of files to run at once, not '" + *options.jobs_text + "'";
        return Parsed::usage_error;
    }
    return Parsed::run;
}

std::string help_text() {
    std::string text = usage_head;
    for (const OptionSpec& spec : options) {
        std::string names = spec.short_name ? std::string("  -") + spec.short_name + ", " : "      ";
        names += std::string("--") + spec.long_name;
        if (spec.value_name) names += std::string(" ") + spec.value_name;
        text += names + std::string(std::max<std::size_t>(1, help_column - names.size()), ' ');
        for (const char c : std::string_view(spec.help)) {
            text += c;
            if (c == '\n') text += std::string(help_column, ' ');
        }
        text += '\n';
    }
    return text + usage_tail;
}

}  // namespace parafold
