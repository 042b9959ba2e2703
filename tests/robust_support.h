// Helpers for the fault tests: capturing what a run says, and running it in
// a child process, as an unprivileged user when need be.
#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "engine/io/failure.h"
#include "tests/test_files.h"

namespace parafold::testing {

// A small text wrapped at 10 with CR LF line ends, and what the filter
// makes of it at width 10.
inline const std::string sample = "Once upon a\r\ntime there\r\nwas a cat.\r\n\r\nThe end\r\n";
inline const std::string sample_joined = "Once upon a time there was a cat.\n\nThe end\n";

// The diagnostic texts of reflow_file and friends, under short names.
inline constexpr const char* cant_find = failure_text::cant_find_input;
inline constexpr const char* cant_create = failure_text::cant_create_output;
inline constexpr const char* cant_write = failure_text::cant_write_output;
inline constexpr const char* same_file_text = failure_text::output_is_input;

// How a job run in a child process ended.
struct ChildRun {
    bool ran = false;      // false: the child could not become the user wanted
    bool crashed = false;  // the child ended by a signal
    Outcome outcome;       // the job's result (0 to 254) and messages
    std::string why;       // why it did not run
    long peak_kib = 0;     // the child's peak resident memory
};

// Runs `job` in a forked child. With `unprivileged` set and this process
// root (which ignores file modes), the child first becomes "nobody", so
// that permission faults are real; otherwise it runs as the current user.
inline ChildRun run_in_child(const std::function<int(std::FILE* messages)>& job,
                             bool unprivileged) {
    std::fflush(nullptr);
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return {false, false, {}, "no pipe", 0};
    const pid_t pid = fork();
    if (pid < 0) return {false, false, {}, "no fork", 0};
    if (pid == 0) {
        close(pipe_fds[0]);
        std::FILE* messages = fdopen(pipe_fds[1], "w");
        if (unprivileged && geteuid() == 0) {
            const passwd* nobody = getpwnam("nobody");
            if (!nobody || setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 ||
                setuid(nobody->pw_uid) != 0) {
                std::fputs("cannot switch from root to the user nobody", messages);
                std::fflush(messages);
                _exit(255);
            }
        }
        const int status = job(messages);
        std::fflush(messages);
        _exit(status & 0xFF);
    }
    close(pipe_fds[1]);
    std::string said;
    char block[4096];
    for (ssize_t got; (got = read(pipe_fds[0], block, sizeof block)) > 0;) {
        said.append(block, static_cast<std::size_t>(got));
    }
    close(pipe_fds[0]);
    int wait_status = 0;
    rusage usage{};
    wait4(pid, &wait_status, 0, &usage);
    if (!WIFEXITED(wait_status)) return {false, true, {}, "the child crashed", 0};
    if (WEXITSTATUS(wait_status) == 255) return {false, false, {}, said, 0};
    return {true, false, {WEXITSTATUS(wait_status), said}, "", usage.ru_maxrss};
}

}  // namespace parafold::testing
