// Small helpers shared by the benchmark programs: timing, a child process
// per measurement (so each case reports its own peak memory), and a
// generator of hard-wrapped text.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace parafold::bench {

struct Measure {
    double seconds = 0;
    long peak_kib = 0;  // peak resident memory of the child that did the work
    bool ok = false;
};

// Runs `work` in a forked child and times it from the parent. The child's
// exit status is `work`'s result; 0 means it succeeded. The files `fresh`
// are removed first, so that every run writes a new file: truncating one
// of the size of the corpus costs a run a good part of its time, and the
// system writes such a file out as it is closed.
inline Measure measure_in_child(const std::function<int()>& work,
                                const std::vector<std::string>& fresh = {}) {
    for (const std::string& path : fresh) std::remove(path.c_str());
    std::fflush(nullptr);
    // Start every case with no dirty pages waiting to be written back, so
    // that no case pays for the writes of the one before it.
    sync();
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) std::_Exit(work());
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto stop = std::chrono::steady_clock::now();
    Measure m;
    m.seconds = std::chrono::duration<double>(stop - start).count();
    m.peak_kib = usage.ru_maxrss;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

// The best of `rounds` runs: the figure least disturbed by the rest of the machine.
inline Measure best_of(int rounds, const std::function<int()>& work,
                       const std::vector<std::string>& fresh = {}) {
    Measure best;
    for (int i = 0; i < rounds; ++i) {
        const Measure m = measure_in_child(work, fresh);
        if (i == 0 || m.seconds < best.seconds) best = m;
        if (!m.ok) return m;
    }
    return best;
}

inline double mb_per_s(std::uint64_t bytes, double seconds) { return bytes / 1e6 / seconds; }

// Makes the folder `name` below `dir` the current directory and returns its
// absolute path; empty, after saying so as `program`, when that fails.
inline std::string work_in(const std::string& dir, const char* name, const char* program) {
    std::error_code error;
    const std::string folder = (std::filesystem::absolute(dir, error) / name).string();
    std::filesystem::create_directories(folder, error);
    std::filesystem::current_path(folder, error);
    if (!error) return folder;
    std::fprintf(stderr, "%s: cannot work in %s\n", program, folder.c_str());
    return {};
}

// Leaves the folder of work_in for its parent and removes it.
inline void leave(const std::string& folder) {
    std::error_code error;
    std::filesystem::current_path(std::filesystem::path(folder).parent_path(), error);
    std::filesystem::remove(folder, error);
}

// Writes about `bytes` of hard-wrapped prose to `path`: paragraphs wrapped
// near `column` with `line_end`, blank lines between them, short headings,
// sentence ends inside and at the ends of lines. Returns the size written.
inline std::uint64_t write_wrapped_corpus(const std::string& path, std::uint64_t bytes,
                                          int column = 70, const char* line_end = "\r\n") {
    static const char* const words[] = {
        "the",   "of",     "and",    "a",       "to",     "in",    "he",     "was",   "that",
        "it",    "his",    "her",    "you",     "had",    "with",  "for",    "she",   "not",
        "at",    "but",    "be",     "my",      "on",     "have",  "him",    "is",    "said",
        "me",    "which",  "by",     "so",      "this",   "all",   "from",   "they",  "no",
        "were",  "if",     "would",  "or",      "when",   "what",  "there",  "been",  "one",
        "could", "very",   "an",     "who",     "them",   "weather", "morning", "letter",
        "house", "garden", "window", "river",   "silence", "quickly", "remember", "evening",
        "journey", "perhaps", "nothing", "Elizabeth", "Captain", "whatever", "understand"};
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return 0;
    std::mt19937 rng(42);
    std::string paragraph, buffer;
    std::uint64_t written = 0;
    while (written < bytes) {
        buffer.clear();
        if (rng() % 12 == 0) {  // a heading
            buffer += "CHAPTER ";
            buffer += std::to_string(rng() % 100);
            buffer += line_end;
            buffer += line_end;
        }
        // A paragraph of a few sentences, wrapped greedily at the column.
        paragraph.clear();
        const int sentences = 1 + static_cast<int>(rng() % 6);
        for (int s = 0; s < sentences; ++s) {
            const int length = 4 + static_cast<int>(rng() % 18);
            for (int w = 0; w < length; ++w) {
                if (!paragraph.empty()) paragraph += ' ';
                paragraph += words[rng() % (sizeof words / sizeof *words)];
            }
            paragraph += "..!?\""[rng() % 5];
        }
        std::size_t line_start = 0;
        while (paragraph.size() - line_start > static_cast<std::size_t>(column)) {
            std::size_t cut = paragraph.rfind(' ', line_start + column);
            if (cut == std::string::npos || cut <= line_start) cut = line_start + column;
            buffer.append(paragraph, line_start, cut - line_start);
            buffer += line_end;
            line_start = cut + 1;
        }
        buffer.append(paragraph, line_start, std::string::npos);
        buffer += line_end;
        buffer += line_end;
        if (std::fwrite(buffer.data(), 1, buffer.size(), out) != buffer.size()) break;
        written += buffer.size();
    }
    std::fclose(out);
    return written;
}

// Writes the large corpus the benchmarks share (about `mib` MiB of the prose
// above, CR LF, wrapped near 70 columns) to `path` and says so. Returns its
// size, or 0 after saying, as `program`, that it could not be written.
inline std::uint64_t make_corpus(const std::string& path, std::uint64_t mib, const char* program) {
    const std::uint64_t bytes = write_wrapped_corpus(path, mib << 20);
    if (bytes == 0) {
        std::fprintf(stderr, "%s: cannot write %s\n", program, path.c_str());
    } else {
        std::printf("corpus: %s, %.1f MiB, CR LF, wrapped near 70 columns\n", path.c_str(),
                    bytes / 1048576.0);
    }
    return bytes;
}

}  // namespace parafold::bench
