// Times the e-reader transforms on large generated texts and prints, for each
// case, the throughput, the time per byte against the same transform on
// ordinary prose, and the peak memory against the text size.
//
// Every case runs in a child process of its own, so that the peak resident
// size the child reports (getrusage) belongs to that case alone: its text,
// the result and whatever the transform needs on the way.
//
// Usage: transforms_bench [MiB [transform]]
//   MiB        size of the generated texts, default 256
//   transform  run only the cases of this transform
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "ereader/transforms.h"

namespace {

using parafold::kindle_indent;
using parafold::kindle_two_lines;
using parafold::replace_all;
using parafold::split_on_any;

// A small fast generator, so that making 256 MiB takes well under a second.
struct Rng {
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    std::uint64_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
};

// Hard-wrapped prose: words from a small vocabulary, lines of at most 70
// bytes, sentences ended by '.', paragraphs separated by an empty line.
std::string prose(std::size_t size, std::string_view line_end) {
    static constexpr std::string_view kWords[] = {
        "the", "of", "and", "a", "to", "in", "was", "he", "that", "it", "his", "her",
        "with", "as", "had", "for", "she", "not", "at", "but", "be", "on", "they", "said",
        "you", "which", "there", "would", "little", "morning", "presently", "understood"};
    Rng rng;
    std::string text;
    text.reserve(size + 128);
    std::size_t column = 0;
    int lines = 0;
    while (text.size() < size) {
        const std::string_view word = kWords[rng.below(std::size(kWords))];
        if (column + word.size() + 1 > 70) {
            text += line_end;
            if (++lines % 9 == 0) text += line_end;
            column = 0;
        } else if (column > 0) {
            text += ' ';
            ++column;
        }
        text += word;
        column += word.size();
        if (rng.below(12) == 0) {
            text += '.';
            ++column;
        }
    }
    text.resize(size);
    return text;
}

std::string repeated(std::size_t size, std::string_view unit) {
    std::string text;
    text.reserve(size + unit.size());
    while (text.size() < size) text += unit;
    text.resize(size);
    return text;
}

// `count` CRs and then one LF, over and over.
std::string cr_runs(std::size_t size, std::size_t count) {
    std::string unit(count, '\r');
    unit += "\nword\n";
    return repeated(size, unit);
}

struct Case {
    const char* transform;  // cases of one transform are compared with its first
    const char* name;
    std::size_t size;
    std::function<std::string(std::size_t)> make;
    std::function<std::size_t(const std::string&)> run;  // returns the result size
};

struct Figures {
    double seconds;       // processor time, user and system
    double wall_seconds;
    long peak_kib;
    std::size_t result_size;
};

double processor_seconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The best of three runs, by processor time: on a shared machine it varies
// far less than the wall clock does.
Figures measure(const Case& c) {
    const std::string text = c.make(c.size);
    Figures best{1e30, 1e30, 0, 0};
    for (int round = 0; round < 3; ++round) {
        const auto wall_start = std::chrono::steady_clock::now();
        const double start = processor_seconds();
        const std::size_t result_size = c.run(text);
        const double took = processor_seconds() - start;
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wall_start;
        if (took < best.seconds) best.seconds = took;
        if (wall.count() < best.wall_seconds) best.wall_seconds = wall.count();
        best.result_size = result_size;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    best.peak_kib = usage.ru_maxrss;
    return best;
}

// Runs one case in a child process and reads its figures back through a pipe.
bool measure_in_child(const Case& c, Figures& figures) {
    int channel[2];
    if (pipe(channel) != 0) return false;
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        close(channel[0]);
        const Figures f = measure(c);
        const ssize_t written = write(channel[1], &f, sizeof f);
        _exit(written == static_cast<ssize_t>(sizeof f) ? 0 : 1);
    }
    close(channel[1]);
    const ssize_t got = read(channel[0], &figures, sizeof figures);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return got == static_cast<ssize_t>(sizeof figures) && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
    const std::size_t big = mib << 20;
    const std::size_t crlf_text = big * 100 / 256 / 1000000 * 1000000;  // 100 MB at 256 MiB
    const auto lf_prose = [](std::size_t n) { return prose(n, "\n"); };
    const auto crlf_prose = [](std::size_t n) { return prose(n, "\r\n"); };
    const auto fill = [](std::string_view unit) {
        return [unit](std::size_t n) { return repeated(n, unit); };
    };

    const auto replace = [](std::string_view search, std::string_view replacement) {
        return [search, replacement](const std::string& t) {
            return replace_all(t, search, replacement).size();
        };
    };
    const auto split = [](const std::string& t) { return split_on_any(t, "\n").size(); };
    const auto two_lines = [](const std::string& t) { return kindle_two_lines(t).size(); };
    const auto indent = [](const std::string& t) { return kindle_indent(t).size(); };
    // As the roads stream a text: pieces of 64 KiB, the result written into
    // one buffer kept from piece to piece, which stays in the cache.
    constexpr std::size_t piece = 64 << 10;
    const auto in_pieces = [](auto stream, std::size_t room, auto step, auto end) {
        return [=](const std::string& t) {
            static std::string out(parafold::kindle_indent_room(piece), '\0');
            auto fresh = stream;
            std::size_t size = 0;
            for (std::string_view rest = t; !rest.empty();) {
                const parafold::StreamStep done = step(fresh, rest.substr(0, piece), out.data(), room);
                size += done.result.size();
                rest.remove_prefix(done.used);
            }
            for (std::string_view tail; !(tail = end(fresh, out.data(), room)).empty();)
                size += tail.size();
            return size;
        };
    };
    const auto two_lines_pieces = in_pieces(
        parafold::TwoLinesStream{}, piece + 1,
        [](auto& stream, std::string_view text, char* out, std::size_t room) {
            return kindle_two_lines(stream, text, out, room);
        },
        [](auto& stream, char* out, std::size_t room) {
            return kindle_two_lines_end(stream, out, room);
        });
    const auto indent_pieces = in_pieces(
        parafold::IndentStream{}, parafold::kindle_indent_room(piece),
        [](auto& stream, std::string_view text, char* out, std::size_t room) {
            return kindle_indent(stream, text, out, room);
        },
        [](auto& stream, char* out, std::size_t) { return kindle_indent_end(stream, out); });

    // The least any of them can cost: a new string of the text's size, cleared
    // as a string is when made, and the text copied into it. On a machine
    // where fresh pages are dear this is much of every figure below.
    const auto fresh_copy = [](const std::string& t) {
        std::string out(t.size(), '\0');
        std::memcpy(out.data(), t.data(), t.size());
        return out.size();
    };

    const Case cases[] = {
        {"floor", "prose, fresh string + memcpy", big, lf_prose, fresh_copy},
        {"replace_all", "prose, LF -> CR LF", big, lf_prose, replace("\n", "\r\n")},
        {"replace_all", "prose, \"the\" -> \"THE\"", big, lf_prose, replace("the", "THE")},
        {"replace_all", "CR LF prose, CR LF -> LF", big, crlf_prose, replace("\r\n", "\n")},
        {"replace_all", "100,000 CRs then LF, CR LF -> LF", big,
         [](std::size_t n) { return cr_runs(n, 100000); }, replace("\r\n", "\n")},
        {"replace_all", "all a, a -> bb (result 2x)", big, fill("a"), replace("a", "bb")},
        {"replace_all", "all a, aaab -> x (partial matches)", big, fill("a"),
         replace("aaab", "x")},
        {"split_on_any", "prose at LF", big, lf_prose, split},
        {"split_on_any", "LFs only", big, fill("\n"), split},
        {"split_on_any", "a LF a LF ... (1-byte tokens)", big / 8, fill("a\n"), split},
        {"kindle_two_lines", "prose, LF", big, lf_prose, two_lines},
        {"kindle_two_lines", "prose, CR LF (100 MB)", crlf_text, crlf_prose, two_lines},
        {"kindle_two_lines", "100,000 CRs then LF, repeated", big,
         [](std::size_t n) { return cr_runs(n, 100000); }, two_lines},
        {"kindle_two_lines", "one run of CRs then LF", big,
         [](std::size_t n) { return std::string(n - 1, '\r') + '\n'; }, two_lines},
        {"kindle_two_lines", "LFs only", big, fill("\n"), two_lines},
        {"kindle_two_lines", "SP CR LF SP LF ...", big, fill(" \r\n \n"), two_lines},
        {"kindle_two_lines", "prose, LF, in pieces of 64 KiB", big, lf_prose, two_lines_pieces},
        {"kindle_two_lines", "SP CR LF SP LF ..., in pieces", big, fill(" \r\n \n"),
         two_lines_pieces},
        {"kindle_two_lines", "one run of CRs then LF, in pieces", big,
         [](std::size_t n) { return std::string(n - 1, '\r') + '\n'; }, two_lines_pieces},
        {"kindle_indent", "prose", big, lf_prose, indent},
        {"kindle_indent", "LFs only", big, fill("\n"), indent},
        {"kindle_indent", "a LF a LF ... (result 3.5x)", big, fill("a\n"), indent},
        {"kindle_indent", "prose, in pieces of 64 KiB", big, lf_prose, indent_pieces},
        {"kindle_indent", "a LF a LF ..., in pieces", big, fill("a\n"), indent_pieces},
    };

    std::printf("MB/s and ns/byte from processor time; \"vs prose\" compares ns/byte with the\n"
                "transform's first case; peak/text is the peak resident size over the text size.\n");
    std::printf("%-17s %-36s %7s %6s %8s %9s %9s %10s\n", "transform", "case", "MB", "MB/s",
                "wall MB/s", "ns/byte", "vs prose", "peak/text");
    std::map<std::string, double> prose_ns_per_byte;
    int failures = 0;
    const std::string_view only = argc > 2 ? argv[2] : "";
    for (const Case& c : cases) {
        if (!only.empty() && only != c.transform) continue;
        Figures f{};
        if (!measure_in_child(c, f)) {
            std::printf("%-17s %-36s failed\n", c.transform, c.name);
            ++failures;
            continue;
        }
        const double ns_per_byte = f.seconds * 1e9 / static_cast<double>(c.size);
        const auto [first, inserted] = prose_ns_per_byte.emplace(c.transform, ns_per_byte);
        const double mb = static_cast<double>(c.size) / 1e6;
        std::printf("%-17s %-36s %7.1f %6.0f %8.0f %9.3f %8.2fx %9.2fx\n", c.transform, c.name,
                    mb, mb / f.seconds, mb / f.wall_seconds, ns_per_byte,
                    ns_per_byte / first->second,
                    static_cast<double>(f.peak_kib) * 1024.0 / static_cast<double>(c.size));
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
