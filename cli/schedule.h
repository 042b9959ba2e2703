// Running the FILEs of parafold-cli at once (--jobs) so that each still
// reads and writes what it would if all ran one after another.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace parafold {

// One file that a run reads or writes.
struct FileUse {
    std::string file;  // what identifies it: equal for one file, however named
    bool writes = false;
};

// What identifies the file `path` names: its device and number where it
// exists, else its absolute path with the links on the way resolved.
std::string file_key(const std::string& path);

// The files a run from `input_path` to `output_path` uses. Reading
// standard input takes its bytes away from every later reader, so it
// counts as writing it.
std::vector<FileUse> uses_of(const std::string& input_path, const std::string& output_path);

// A run's two ends as named.
struct RunEnds {
    std::string input_path, output_path;
};

// For each run, whether an earlier one writes the same output file from
// another input, so that this one would replace the earlier's result.
// Standard output is no file to replace, and one input given twice (and
// not a stream) writes the same bytes twice.
std::vector<bool> outputs_taken(const std::vector<RunEnds>& runs);

// For each run, given the files it uses, the earlier runs it must wait for:
// the last one that wrote a file it uses, and, when it writes a file, the
// ones that read that file since it was last written.
std::vector<std::vector<std::size_t>> waits_of(const std::vector<std::vector<FileUse>>& runs);

// Calls `run(j)` for every run j on up to `jobs` threads, each once the
// runs in `waits[j]` have ended, and `tell(j)` on the calling thread in the
// order of j, as soon as j and every run before it have ended.
void run_at_once(const std::vector<std::vector<std::size_t>>& waits, unsigned jobs,
                 const std::function<void(std::size_t)>& run,
                 const std::function<void(std::size_t)>& tell);

}  // namespace parafold
