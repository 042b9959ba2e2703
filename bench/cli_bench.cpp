// parafold-cli as a filter and as a batch tool, run as the built program:
//  - the roads, file to file on a large corpus: the plain road against dd
//    and, when PARAFOLD_BASELINE_CLI names another build of parafold-cli
//    (an earlier commit's), against that one in the same run; the e-reader
//    road against the plain road;
//  - streaming: standard input to standard output against file to file on
//    a large corpus, with the peak memory of each run;
//  - --jobs: many files of about 600 KB with --smart --dehyphenate, one at
//    a time and two at once, with the bytes of both compared.
//
// Usage: cli_bench [DIR [MIB [FILES]]]   (defaults: /tmp, 256, 300)
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <string>
#include <vector>

#include "bench/bench_util.h"

using namespace parafold::bench;

namespace {

// Runs parafold-cli with `args`, its standard input and output taken from
// and sent to the files named (empty: left as they are); 0 when it
// succeeded. Meant to run in the child of measure_in_child, which it
// becomes, so that the peak memory measured is the program's own.
int exec_program(const char* program, const std::vector<std::string>& args,
                 const std::string& in = "", const std::string& out = "") {
    if (!in.empty()) {
        const int fd = open(in.c_str(), O_RDONLY);
        if (fd < 0 || dup2(fd, 0) < 0) return 1;
    }
    if (!out.empty()) {
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, 1) < 0) return 1;
    }
    const int quiet = open("/dev/null", O_WRONLY);
    if (out.empty() && quiet >= 0) dup2(quiet, 1);  // the printed paths
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program, argv.data());
    return 127;
}

int exec_cli(const std::vector<std::string>& args, const std::string& in = "",
             const std::string& out = "") {
    return exec_program(PARAFOLD_CLI, args, in, out);
}

int shell(const std::string& command) { return std::system(command.c_str()) == 0 ? 0 : 1; }

// Whether two files hold the same bytes, compared a block at a time: the
// benchmark keeps no file in memory, since every measured child starts as
// a copy of it.
bool same_bytes(const std::string& a, const std::string& b) {
    std::ifstream in_a(a, std::ios::binary), in_b(b, std::ios::binary);
    if (!in_a || !in_b) return false;
    std::vector<char> block_a(1 << 16), block_b(1 << 16);
    for (;;) {
        in_a.read(block_a.data(), static_cast<std::streamsize>(block_a.size()));
        in_b.read(block_b.data(), static_cast<std::streamsize>(block_b.size()));
        if (in_a.gcount() != in_b.gcount() ||
            !std::equal(block_a.begin(), block_a.begin() + in_a.gcount(), block_b.begin())) {
            return false;
        }
        if (in_a.gcount() == 0) return true;
    }
}

// One case; `file_seconds` 0 leaves out the comparison with file to file.
void row(const char* name, std::uint64_t bytes, const Measure& m, double file_seconds) {
    std::printf("%-40s %8.0f MB/s %8.3f s %10ld KiB", name, mb_per_s(bytes, m.seconds), m.seconds,
                m.peak_kib);
    if (file_seconds > 0) std::printf(" %8.2fx", file_seconds / m.seconds);
    std::printf("%s\n", m.ok ? "" : "   FAILED");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    const std::uint64_t mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 256;
    const int file_count = argc > 3 ? std::atoi(argv[3]) : 300;
    const std::string folder = work_in(dir, "parafold-cli-bench", "cli_bench");
    if (folder.empty()) return 1;
    bool all_ok = true;

    // ---------------------------------------------------------------- roads
    const std::uint64_t bytes = make_corpus(folder + "/corpus.txt", mib, "cli_bench");
    if (bytes == 0) return 1;
    const int rounds = 3;
    std::printf("\n%-40s %13s %10s %14s %9s\n", "road, file to file", "throughput", "time",
                "peak memory", "time /");
    const Measure dd = best_of(rounds, [&] {
        return shell("dd if=corpus.txt of=file.txt bs=1M status=none");
    }, {"file.txt"});
    const auto road = [&](std::vector<std::string> args, const char* program = PARAFOLD_CLI) {
        args.insert(args.end(), {"-o", "file.txt", "corpus.txt"});
        return best_of(rounds, [&] { return exec_program(program, args); }, {"file.txt"});
    };
    const Measure plain = road({"-c", "70"});
    const Measure ereader = road({"-c", "70", "-2", "-i"});
    const Measure ereader_auto = road({"-2", "-i", "-a"});
    const auto ratio_row = [&](const char* name, const Measure& m, const Measure& against,
                               const char* what) {
        row(name, bytes, m, 0);
        std::printf("%*s%.2fx %s\n", 2, "", m.seconds / against.seconds, what);
    };
    row("dd bs=1M (copy)", bytes, dd, 0);
    std::printf("\n");
    ratio_row("plain road, -c 70", plain, dd, "the time of dd");
    ratio_row("e-reader road, -c 70 -2 -i", ereader, plain, "the time of the plain road");
    ratio_row("e-reader road, -2 -i -a (reads twice)", ereader_auto, plain,
              "the time of the plain road");
    all_ok = all_ok && dd.ok && plain.ok && ereader.ok && ereader_auto.ok;
    if (const char* baseline = std::getenv("PARAFOLD_BASELINE_CLI")) {
        const Measure before = road({"-c", "70"}, baseline);
        ratio_row("plain road of PARAFOLD_BASELINE_CLI", before, plain,
                  "the time of this build's plain road");
        all_ok = all_ok && before.ok;
    }

    // ------------------------------------------------------------ streaming
    std::printf("\n%-40s %13s %10s %14s %9s\n", "case", "throughput", "time", "peak memory",
                "vs file");
    for (const bool smart : {false, true}) {
        const std::vector<std::string> road =
            smart ? std::vector<std::string>{"--smart"} : std::vector<std::string>{"-c", "70"};
        auto with = [&](std::vector<std::string> more) {
            std::vector<std::string> args = road;
            args.insert(args.end(), more.begin(), more.end());
            return args;
        };
        const Measure file = best_of(rounds, [&] {
            return exec_cli(with({"-o", "file.txt", "corpus.txt"}));
        }, {"file.txt"});
        const Measure redirected = best_of(rounds, [&] {
            return exec_cli(with({"-"}), "corpus.txt", "stream.txt");
        }, {"stream.txt"});
        const bool same = same_bytes("file.txt", "stream.txt");
        const std::string cli = std::string("'") + PARAFOLD_CLI + "'";
        std::string flags;
        for (const std::string& arg : road) flags += " " + arg;
        const Measure piped = best_of(rounds, [&] {
            return shell("cat corpus.txt | " + cli + flags + " - | cat >stream.txt");
        }, {"stream.txt"});
        const bool piped_same = same_bytes("file.txt", "stream.txt");
        std::printf("%s\n", smart ? "--smart" : "plain rule, -c 70");
        row("  file to file (-o FILE FILE)", bytes, file, file.seconds);
        row("  stdin to stdout, files redirected", bytes, redirected, file.seconds);
        row("  stdin to stdout through pipes (cat)", bytes, piped, file.seconds);
        std::printf("  same bytes: %s\n", same && piped_same ? "yes" : "NO");
        all_ok = all_ok && file.ok && redirected.ok && piped.ok && same && piped_same;
    }
    const Measure cats =
        best_of(rounds, [&] { return shell("cat corpus.txt | cat >stream.txt"); }, {"stream.txt"});
    row("cat | cat, no parafold-cli (the pipes' own cost)", bytes, cats, 0);
    std::printf("(through pipes the time includes both cats, and the memory is the shell's)\n");
    std::remove("file.txt");
    std::remove("stream.txt");
    std::remove("corpus.txt");

    // ------------------------------------------------------------- --jobs
    std::error_code error;
    std::filesystem::create_directories("jobs", error);
    std::vector<std::string> files;
    std::uint64_t batch_bytes = 0;
    for (int i = 0; i < file_count; ++i) {
        const std::string name = "jobs/book" + std::to_string(i) + ".txt";
        batch_bytes += write_wrapped_corpus(name, 600 << 10, 60 + i % 19, i % 2 ? "\r\n" : "\n");
        files.push_back(name);
    }
    auto batch = [&](const char* jobs) {
        std::vector<std::string> args{"--smart", "--dehyphenate", "-j", jobs};
        args.insert(args.end(), files.begin(), files.end());
        return args;
    };
    auto output = [](int i) { return "jobs/book" + std::to_string(i) + ".ncr.txt"; };
    const Measure one = best_of(rounds, [&] { return exec_cli(batch("1")); });
    for (int i = 0; i < file_count; ++i) std::filesystem::rename(output(i), output(i) + ".one", error);
    const Measure two = best_of(rounds, [&] { return exec_cli(batch("2")); });
    bool same = true;
    for (int i = 0; i < file_count; ++i) same = same && same_bytes(output(i), output(i) + ".one");
    std::printf("\n%d files of about 600 KB (%.1f MiB), --smart --dehyphenate\n", file_count,
                batch_bytes / 1048576.0);
    std::printf("  one at a time (-j 1) %8.3f s %8.0f MB/s %10ld KiB%s\n", one.seconds,
                mb_per_s(batch_bytes, one.seconds), one.peak_kib, one.ok ? "" : "   FAILED");
    std::printf("  two at once   (-j 2) %8.3f s %8.0f MB/s %10ld KiB%s\n", two.seconds,
                mb_per_s(batch_bytes, two.seconds), two.peak_kib, two.ok ? "" : "   FAILED");
    std::printf("  -j 2 takes %.2fx the time of -j 1; same bytes: %s\n", two.seconds / one.seconds,
                same ? "yes" : "NO");
    all_ok = all_ok && one.ok && two.ok && same;
    std::filesystem::remove_all("jobs", error);

    std::printf("\ngoals: the plain road within 1.5x the time of dd, and no slower than the "
                "baseline; -2 -i within 1.5x the plain road's time; stdin to stdout >= 0.8x the "
                "throughput of file to file, memory bounded; -j 2 <= 0.75x the time of -j 1 with "
                "the same bytes\n");
    leave(folder);
    return all_ok ? 0 : 1;
}
