#include "engine/file_identity.h"

#include <filesystem>
#include <system_error>

namespace parafold {

bool same_file(const char* path_a, const char* path_b) {
    // A path the library cannot even convert names no file it could open.
    try {
        std::error_code error;
        const bool same = std::filesystem::equivalent(path_a, path_b, error);
        return same && !error;
    } catch (...) {
        return false;
    }
}

}  // namespace parafold
