#include "engine/io/sole_writer.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <share.h>
#include <stdlib.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace parafold {

#ifdef _WIN32

namespace {
// What Windows says when another has the file open in a way this open may
// not share.
constexpr unsigned long sharing_violation = 32;
}  // namespace

// Windows empties the file only once the open may share it: denied to
// every other writer, it is taken from the open on.
std::FILE* open_sole_writer(const char* path, const char* mode) {
    std::FILE* const file = _fsopen(path, mode, _SH_DENYWR);
    if (!file && _doserrno == sharing_violation) errno = EBUSY;
    return file;
}

#else

std::FILE* open_sole_writer(const char* path, const char* mode) {
    const bool update = std::strchr(mode, '+') != nullptr;
    const int fd = open(path, (update ? O_RDWR : O_WRONLY) | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    auto fail = [fd](int error) -> std::FILE* {
        close(fd);
        errno = error;
        return nullptr;
    };
    // An advisory lock, which every run of this program takes, held until
    // the file is closed; a file system that keeps none lets every open through.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return fail(EBUSY);
    if (ftruncate(fd, 0) != 0) return fail(errno);
    std::FILE* const file = fdopen(fd, mode);
    return file ? file : fail(errno);
}

#endif

}  // namespace parafold
