// Runs the built parafold-cli (PARAFOLD_CLI) in the current directory.
#pragma once

#include <cstdlib>
#include <string>

#include "tests/test_files.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace parafold::testing {

struct CliOutcome {
    int status;
    std::string out, err;
};

// Runs parafold-cli with `args` (shell syntax); its output and errors pass
// through the files cli.out and cli.err.
inline CliOutcome run_cli(const std::string& args) {
    const std::string command =
        std::string("\"") + PARAFOLD_CLI + "\" " + args + " >cli.out 2>cli.err";
    const int raw = std::system(command.c_str());
#ifdef _WIN32
    const int status = raw;
#else
    const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
    return {status, read_file("cli.out"), read_file("cli.err")};
}

}  // namespace parafold::testing
