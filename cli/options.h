// The options of parafold-cli, each declared once in one table, from which
// both the parser and the text of --help are made.
//
// Spellings the parser takes, as other command-line tools do:
//   -c 56, -c56, --columns 56, --columns=56   a value, attached or next
//   -2ia                                      short options sharing one dash;
//                                             one that takes a value ends the
//                                             group ("-2c56")
//   --                                        every argument after it is a FILE
//   -                                         a FILE: standard input
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace parafold {

// What the command line asked for.
struct CliOptions {
    std::optional<std::string> columns;  // the column text, as typed
    std::optional<std::string> output;   // the output path
    std::optional<std::string> jobs_text;
    bool autodetect = false, two_lines = false, indent = false, verbose = false;
    bool smart = false, dehyphenate = false, explain = false;
    bool help = false, version = false;
    unsigned jobs = 1;  // read from jobs_text
    std::vector<std::string> files;
};

// One option: its names, whether it takes a value, its help, and the field
// of CliOptions it sets (`flag` for one without a value, else `value`).
struct OptionSpec {
    char short_name;         // '\0': none
    const char* long_name;   // without its "--"
    const char* value_name;  // the value as --help names it; nullptr: none
    const char* help;        // its lines in --help, separated by '\n'
    bool CliOptions::*flag;
    std::optional<std::string> CliOptions::*value;
};

// Every option, in the order --help lists them.
std::span<const OptionSpec> option_table();

enum class Parsed { run, help, version, usage_error };

// Reads the arguments (argv[1] on) into `options`. --help and --version
// end the reading wherever they stand. On a usage error `problem` says
// what is wrong, in one line.
Parsed parse_command_line(int argc, const char* const* argv, CliOptions& options,
                          std::string& problem);

// The text of --help.
std::string help_text();

}  // namespace parafold
