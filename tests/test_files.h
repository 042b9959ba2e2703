// Scratch files for tests: each TempDir is a fresh folder, removed with
// everything in it when the test ends.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>

namespace parafold::testing {

class TempDir {
public:
    TempDir() {
        static std::mt19937_64 rng{std::random_device{}()};
        path_ = std::filesystem::temp_directory_path() /
                ("parafold-test-" + std::to_string(rng()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool exists(const std::string& path) { return std::filesystem::exists(path); }

// What a run returned and what it said.
struct Outcome {
    int status = -1;
    std::string messages;
};

// Runs `job` with a stream for its messages and collects both.
inline Outcome capture(const std::function<int(std::FILE* messages)>& job) {
    std::FILE* sink = std::tmpfile();
    if (!sink) std::abort();
    Outcome outcome;
    outcome.status = job(sink);
    std::rewind(sink);
    for (int c; (c = std::fgetc(sink)) != EOF;) outcome.messages += static_cast<char>(c);
    std::fclose(sink);
    return outcome;
}

}  // namespace parafold::testing
