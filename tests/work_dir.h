// A fresh scratch folder that is the process's current directory for as
// long as the object lives.
#pragma once

#include <filesystem>

#include "tests/test_files.h"

namespace parafold::testing {

class WorkDir {
public:
    WorkDir() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir_.path());
    }
    ~WorkDir() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;

    const std::filesystem::path& path() const { return dir_.path(); }

private:
    TempDir dir_;  // outlives the change of directory
    std::filesystem::path previous_;
};

}  // namespace parafold::testing
