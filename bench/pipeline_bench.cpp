// Time and peak memory of the dialog's whole Process File runs on a large
// generated corpus: the plain road and the e-reader road (through its
// temporary files) with each combination of its options, the e-reader road
// also with the width estimated; and the plain road on bytes in memory.
//
// The e-reader road writes its temporary files to the current directory, so
// the benchmark works inside DIR.
//
// Usage: pipeline_bench [DIR [MIB]]   (defaults: /tmp, 256)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "ui/pipeline.h"

using namespace parafold;
using namespace parafold::bench;

namespace {

struct Case {
    const char* name;
    bool two_lines, indent, autodetect;
};

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    const std::uint64_t mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 256;
    const std::string folder = work_in(dir, "parafold-pipeline-bench", "pipeline_bench");
    if (folder.empty()) return 1;

    const std::uint64_t bytes = make_corpus(folder + "/corpus.txt", mib, "pipeline_bench");
    if (bytes == 0) return 1;

    const Case cases[] = {
        {"plain road", false, false, false},
        {"Kindle 2 Lines", true, false, false},
        {"Kindle Indent", false, true, false},
        {"2 Lines + Indent", true, true, false},
        {"2 Lines + Indent + auto", true, true, true},
    };
    std::printf("\n%-26s %10s %13s %13s %12s %10s\n", "case", "time", "throughput",
                "peak memory", "peak / file", "vs plain");
    bool all_ok = true;
    double plain_seconds = 0;
    for (const Case& c : cases) {
        ProcessRequest request;
        request.input_path = "corpus.txt";
        request.output_path = "corpus.ncr.txt";
        request.options.two_lines = c.two_lines;
        request.options.indent = c.indent;
        request.options.width = width_of_fields("70", c.autodetect, c.two_lines || c.indent);
        const Measure m = best_of(2, [&] {
            return run_pipeline(request).failure == Failure::none ? 0 : 1;
        }, {request.output_path});
        if (plain_seconds == 0) plain_seconds = m.seconds;
        std::printf("%-26s %8.3f s %8.0f MB/s %9ld KiB %11.2fx %9.2fx%s\n", c.name, m.seconds,
                    mb_per_s(bytes, m.seconds), m.peak_kib, m.peak_kib * 1024.0 / bytes,
                    m.seconds / plain_seconds, m.ok ? "" : "   FAILED");
        all_ok = all_ok && m.ok;
    }
    // Bytes in memory to bytes in memory, as a binding for another language
    // runs a text it holds: the plain road, the input read beforehand.
    std::string text, joined;
    {
        std::FILE* corpus = std::fopen("corpus.txt", "rb");
        std::vector<char> block(1 << 20);
        for (std::size_t got; corpus && (got = std::fread(block.data(), 1, block.size(), corpus)) > 0;)
            text.append(block.data(), got);
        if (corpus) std::fclose(corpus);
    }
    UnwrapOptions plain;
    plain.width = width_of_fields("70", false, false);
    double in_memory = 0;
    for (int round = 0; round < 2; ++round) {
        const auto start = std::chrono::steady_clock::now();
        all_ok = all_ok && unwrap_bytes(text, joined, plain).failure == Failure::none;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (round == 0 || seconds < in_memory) in_memory = seconds;
    }
    std::printf("%-26s %8.3f s %8.0f MB/s %13s %12s %9.2fx   (%.2fx the plain road's "
                "throughput)\n",
                "bytes in memory, plain", in_memory, mb_per_s(bytes, in_memory), "-", "-",
                in_memory / plain_seconds, plain_seconds / in_memory);

    std::printf("\ngoals: the dialog's e-reader road (its temporary files) within 3x the plain "
                "road's time; peak memory bounded whatever the size; bytes in memory >= 0.8x the "
                "plain road's throughput\n");

    std::remove("corpus.ncr.txt");
    std::remove("corpus.txt");
    leave(folder);
    return all_ok ? 0 : 1;
}
