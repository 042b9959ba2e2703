#include "cli/standard_streams.h"

#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace parafold {

bool hold_standard_descriptors() {
#ifndef _WIN32
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free number, which is this one: the lower ones are open.
        const int held = open("/dev/null", descriptor == 0 ? O_WRONLY : O_RDONLY);
        if (held < 0) return false;
        if (held != descriptor) {
            const bool moved = dup2(held, descriptor) == descriptor;
            close(held);
            if (!moved) return false;
        }
    }
#endif
    return true;
}

bool names_standard_output(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return false;
#else
    if (path == "/dev/stdout" || path == "/dev/fd/1" || path == "/proc/self/fd/1") return true;
    // Where the system keeps a folder of each process's descriptors, every
    // other spelling leads to its entry "1" by links and folder names.
    // More links than this in a row the system itself refuses to follow.
    constexpr int most_links = 40;
    namespace fs = std::filesystem;
    try {
        std::error_code error;
        const fs::path descriptors = fs::canonical("/proc/self/fd", error);
        if (error) return false;
        fs::path at = path;
        for (int link = 0; link <= most_links; ++link) {
            if (at.filename() == "1") {
                const fs::path folder = at.has_parent_path() ? at.parent_path() : fs::path(".");
                if (fs::canonical(folder, error) == descriptors && !error) return true;
            }
            if (!fs::is_symlink(fs::symlink_status(at, error)) || error) return false;
            const fs::path target = fs::read_symlink(at, error);
            if (error) return false;
            at = target.is_absolute() ? target : at.parent_path() / target;
        }
    } catch (...) {
        // A path the library cannot take: a file like any other.
    }
    return false;
#endif
}

}  // namespace parafold
