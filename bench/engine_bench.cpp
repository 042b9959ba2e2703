// Throughput of the line-joining filter, the reading-quality unwrap and the
// width estimates on a large generated corpus, file to file, beside two
// peers on the same file: `tr` deleting CR and NUL (a byte filter doing
// comparable work) and `dd` (a plain copy, the limit set by writing the
// file).
//
// Usage: engine_bench [DIR [MIB]]   (defaults: /tmp, 256)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_util.h"
#include "engine/reflow/estimate.h"
#include "engine/reflow/reflow.h"
#include "engine/smart/unwrap.h"
#include "ui/pipeline.h"

using namespace parafold;
using namespace parafold::bench;

namespace {

int shell(const std::string& command) { return std::system(command.c_str()) == 0 ? 0 : 1; }

void row(const char* name, std::uint64_t bytes, const Measure& m, double tr_seconds,
         double dd_seconds) {
    std::printf("%-26s %8.0f MB/s %8.3f s %9ld KiB   x%5.2f tr   x%5.2f dd-time%s\n", name,
                mb_per_s(bytes, m.seconds), m.seconds, m.peak_kib, tr_seconds / m.seconds,
                m.seconds / dd_seconds, m.ok ? "" : "   FAILED");
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    const std::uint64_t mib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 256;
    const std::string corpus = dir + "/parafold-bench-corpus.txt";
    const std::string out = dir + "/parafold-bench-out.txt";

    const std::uint64_t bytes = make_corpus(corpus, mib, "engine_bench");
    if (bytes == 0) return 1;

    const int rounds = 3;
    const Measure dd = best_of(rounds, [&] {
        return shell("dd if='" + corpus + "' of='" + out + "' bs=1M status=none");
    }, {out});
    const Measure tr = best_of(rounds, [&] {
        return shell("tr -d '\\r\\000' < '" + corpus + "' > '" + out + "'");
    }, {out});
    // The plain road as both programs run it, and the filter as the
    // dialog's e-reader road runs it between its temporary files, with the
    // digests of what it read and wrote.
    ProcessRequest plain{corpus, out, {}};
    const Measure road = best_of(rounds, [&] {
        return status_of(run_request(plain).failure);
    }, {out});
    const Measure reflow = best_of(rounds, [&] {
        return status_of(reflow_file(corpus.c_str(), out.c_str(), {}).failure);
    }, {out});
    const Measure smart = best_of(rounds, [&] {
        return status_of(smart_reflow_between(corpus.c_str(), out.c_str(), {}).failure);
    }, {out});
    SmartOptions dehyphenate;
    dehyphenate.dehyphenate = true;
    const Measure smart_dehyphenate = best_of(rounds, [&] {
        return status_of(smart_reflow_between(corpus.c_str(), out.c_str(), dehyphenate).failure);
    }, {out});
    const Measure mean = best_of(rounds, [&] {
        return average_line_length(corpus.c_str()) > 0 ? 0 : 1;
    });
    const Measure common = best_of(rounds, [&] {
        return most_common_line_length(corpus.c_str()) > 0 ? 0 : 1;
    });

    std::printf("\n%-26s %13s %10s %13s %10s %14s\n", "case", "throughput", "time",
                "peak memory", "vs tr", "vs dd");
    row("dd bs=1M (copy)", bytes, dd, tr.seconds, dd.seconds);
    row("tr -d '\\r\\000'", bytes, tr, tr.seconds, dd.seconds);
    row("plain road (run_request) 56", bytes, road, tr.seconds, dd.seconds);
    row("reflow_file 56, digests", bytes, reflow, tr.seconds, dd.seconds);
    row("smart_reflow_between", bytes, smart, tr.seconds, dd.seconds);
    row("smart_reflow_between dehy.", bytes, smart_dehyphenate, tr.seconds, dd.seconds);
    row("average_line_length", bytes, mean, tr.seconds, dd.seconds);
    row("most_common_line_length", bytes, common, tr.seconds, dd.seconds);
    std::printf("\nsmart_reflow_between at x%.2f of the plain road's throughput\n",
                road.seconds / smart.seconds);
    std::printf("\ngoals: the plain road >= 3x tr and <= 1.5x dd's time; smart_reflow_between >= "
                "x0.5 the plain road; estimates >= 5x tr; peak memory < 16 MiB (smart without "
                "dehyphenation)\n");

    std::remove(out.c_str());
    std::remove(corpus.c_str());
    return road.ok && reflow.ok && smart.ok && smart_dehyphenate.ok && mean.ok && common.ok ? 0 : 1;
}
