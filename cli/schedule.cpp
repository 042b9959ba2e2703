#include "cli/schedule.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "engine/io/file_identity.h"
#include "ui/pipeline.h"

namespace parafold {
namespace {

// The three kinds of key cannot meet: a path key starts with '=', an
// identity key with '#', and the keys of standard input and output hold a
// NUL, which no path can.
const std::string standard_input_key("\0stdin", 6);
const std::string standard_output_key("\0stdout", 7);

std::string identity_key(const FileIdentity& identity) {
    std::string key(1, '#');
    key += std::to_string(identity.device);
    key += ':';
    key += std::to_string(identity.number);
    return key;
}

std::string path_key(const std::string& path) {
    std::string key(1, '=');
    key += path;
    return key;
}

// The path a symbolic link that leads nowhere yet would create its file at.
// More links than this in a row the system itself refuses to follow.
std::filesystem::path through_links(std::filesystem::path path) {
    constexpr int most_links = 40;
    for (int link = 0; link < most_links; ++link) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) break;
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

}  // namespace

std::string file_key(const std::string& path) {
    const FileIdentity identity = identity_of(path.c_str());
    if (identity.known) return identity_key(identity);
    try {
        std::error_code error;
        const std::filesystem::path canonical =
            std::filesystem::weakly_canonical(through_links(path), error);
        if (!error) return path_key(canonical.string());
    } catch (...) {
        // A path the library cannot take: compared as it is spelt.
    }
    return path_key(path);
}

std::vector<FileUse> uses_of(const std::string& input_path, const std::string& output_path) {
    std::vector<FileUse> uses;
    // A standard stream is also the file behind it, if any.
    auto standard = [&](const std::string& key, std::FILE* stream, bool writes) {
        uses.push_back({key, true});
        const FileIdentity identity = identity_of(stream);
        if (identity.known && identity.regular) uses.push_back({identity_key(identity), writes});
    };
    if (input_path == standard_stream_path) {
        standard(standard_input_key, stdin, false);
    } else {
        uses.push_back({file_key(input_path), false});
    }
    if (output_path == standard_stream_path) {
        standard(standard_output_key, stdout, true);
    } else {
        uses.push_back({file_key(output_path), true});
    }
    return uses;
}

std::vector<bool> outputs_taken(const std::vector<RunEnds>& runs) {
    // The key of each output file, and the input first written into it.
    std::unordered_map<std::string, std::string> inputs_by_output;
    std::vector<bool> taken(runs.size(), false);
    for (std::size_t j = 0; j < runs.size(); ++j) {
        const RunEnds& ends = runs[j];
        if (ends.output_path == standard_stream_path) continue;
        // A stream gives other bytes each time it is read: a key of its own.
        const std::string input =
            names_stream(ends.input_path.c_str()) ? std::to_string(j) : file_key(ends.input_path);
        const auto [first, added] = inputs_by_output.try_emplace(file_key(ends.output_path), input);
        taken[j] = !added && first->second != input;
    }
    return taken;
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
