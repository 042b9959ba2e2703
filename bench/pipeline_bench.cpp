// Time and peak memory of whole Process File runs on a large generated
// corpus: the plain road and the e-reader road with each combination of its
// options, the e-reader road also with the width estimated.
//
// The e-reader road writes its temporary files to the current directory, so
// the benchmark works inside DIR.
//
// Usage: pipeline_bench [DIR [MIB]]   (defaults: /tmp, 256)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

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
        request.column_text = "70";
        request.two_lines = c.two_lines;
        request.indent = c.indent;
        request.autodetect = c.autodetect;
        const Measure m = best_of(2, [&] { return run_pipeline(request, stderr, nullptr); });
        if (plain_seconds == 0) plain_seconds = m.seconds;
        std::printf("%-26s %8.3f s %8.0f MB/s %9ld KiB %11.2fx %9.2fx%s\n", c.name, m.seconds,
                    mb_per_s(bytes, m.seconds), m.peak_kib, m.peak_kib * 1024.0 / bytes,
                    m.seconds / plain_seconds, m.ok ? "" : "   FAILED");
        all_ok = all_ok && m.ok;
    }
    std::printf("\ngoals: e-reader road within 3x the plain road's time; peak memory at most "
                "4x the file size\n");

    std::remove("corpus.ncr.txt");
    std::remove("corpus.txt");
    leave(folder);
    return all_ok ? 0 : 1;
}
