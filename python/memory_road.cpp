#include "python/memory_road.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <new>
#include <string>

namespace parafold {
namespace {

// A folder of the run's own in the system's temporary folder, removed with
// what it holds.
struct PrivateFolder {
    std::string path;
    PrivateFolder() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/parafold-XXXXXX";
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ~PrivateFolder() {
        if (path.empty()) return;
        std::remove((path + "/input").c_str());
        std::remove((path + "/output").c_str());
        rmdir(path.c_str());
    }
};

bool write_whole_file(const std::string& path, std::string_view text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

TextOutcome run_request_on_text(const ProcessRequest& request, std::string_view text) {
    TextOutcome outcome;
    PrivateFolder folder;
    ProcessRequest run = request;
    run.input_path = folder.path + "/input";
    run.output_path = folder.path + "/output";
    if (folder.path.empty() || !write_whole_file(run.input_path, text)) {
        outcome.failure = Failure::cant_write_first_temp;
        return outcome;
    }
    const ProcessOutcome ran = run_request(run, nullptr);
    outcome.failure = ran.failure;
    outcome.breaks_kept = ran.breaks_kept;
    if (ran.failure != Failure::none || request.explain) return outcome;
    std::FILE* file = std::fopen(run.output_path.c_str(), "rb");
    if (!file || !read_whole_file(file, outcome.text)) outcome.failure = Failure::cant_read_second_temp;
    if (file) std::fclose(file);
    return outcome;
}

}  // namespace parafold
