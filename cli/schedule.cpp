#include "cli/schedule.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "ui/pipeline.h"

namespace parafold {
namespace {

// What a file name stands for when runs are compared: the path made
// absolute with its links resolved, so that two spellings of one file
// meet.
std::string path_key(const std::string& path) {
    try {
        std::error_code error;
        const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
        if (!error) return canonical.string();
    } catch (...) {
    }
    return path;
}

// Standard input and output have keys no path can have.
const std::string standard_input_key("\0stdin", 6);
const std::string standard_output_key("\0stdout", 7);

}  // namespace

std::vector<FileUse> uses_of(const std::string& input_path, const std::string& output_path) {
    std::vector<FileUse> uses;
    if (input_path == standard_stream_path) {
        uses.push_back({standard_input_key, true});
    } else {
        uses.push_back({path_key(input_path), false});
    }
    uses.push_back(
        {output_path == standard_stream_path ? standard_output_key : path_key(output_path), true});
    return uses;
}

std::vector<std::vector<std::size_t>> waits_of(const std::vector<std::vector<FileUse>>& runs) {
    struct Users {
        std::optional<std::size_t> writer;  // the last run to write the file
        std::vector<std::size_t> readers;   // the runs that read it since
    };
    std::unordered_map<std::string, Users> files;
    std::vector<std::vector<std::size_t>> waits(runs.size());
    for (std::size_t j = 0; j < runs.size(); ++j) {
        std::vector<std::size_t>& wait = waits[j];
        for (const FileUse& use : runs[j]) {
            Users& users = files[use.file];
            if (users.writer && *users.writer != j) wait.push_back(*users.writer);
            if (!use.writes) {
                users.readers.push_back(j);
                continue;
            }
            for (const std::size_t reader : users.readers) {
                if (reader != j) wait.push_back(reader);
            }
            users.readers.clear();
            users.writer = j;
        }
        std::sort(wait.begin(), wait.end());
        wait.erase(std::unique(wait.begin(), wait.end()), wait.end());
    }
    return waits;
}

void run_at_once(const std::vector<std::vector<std::size_t>>& waits, unsigned jobs,
                 const std::function<void(std::size_t)>& run,
                 const std::function<void(std::size_t)>& tell) {
    const std::size_t count = waits.size();
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<char> ended(count, 0);
    std::size_t next = 0;
    // Each worker takes the next run in order and waits for its runs,
    // which are all earlier, so were all taken before: none waits for ever.
    auto work = [&] {
        for (;;) {
            std::size_t j;
            {
                std::unique_lock lock(mutex);
                if (next == count) return;
                j = next++;
                changed.wait(lock, [&] {
                    return std::all_of(waits[j].begin(), waits[j].end(),
                                       [&](std::size_t i) { return ended[i] != 0; });
                });
            }
            run(j);
            {
                std::lock_guard lock(mutex);
                ended[j] = 1;
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (unsigned k = 0; k < jobs && k < count; ++k) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // as many as the system gives
        }
    }
    if (workers.empty()) work();
    for (std::size_t j = 0; j < count; ++j) {
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return ended[j] != 0; });
        }
        tell(j);
    }
    for (std::thread& worker : workers) worker.join();
}

}  // namespace parafold
