#include "engine/io/file_identity.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace parafold {
namespace {

bool opens_for_reading(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::fclose(file);
    return true;
}

}  // namespace

bool same_file(const char* path_a, const char* path_b) {
    try {
        std::error_code error;
        const bool same = std::filesystem::equivalent(path_a, path_b, error);
        if (!error) return same;
    } catch (...) {
        // A path the library cannot even convert: decided below.
    }
    // The library could not examine a path. That is no answer when the C
    // library, which opens the files, finds both: the two may disagree on
    // what a name means (on Windows the C library reads a narrow name in
    // the system's ANSI code page, std::filesystem in the C runtime's
    // locale, so a name with bytes from 0x80 up can name a file for the one
    // and none for the other). The files may then be one, and writing the
    // one would destroy the other: say they are.
    return opens_for_reading(path_a) && opens_for_reading(path_b);
}

#ifdef _WIN32
// Windows keeps a file's number where only its own API reads it, which the
// core does not use: identities are never known there.
FileIdentity identity_of(const char*) { return {}; }
FileIdentity identity_of(std::FILE*) { return {}; }
#else
namespace {

FileIdentity identity_from(const struct stat& status) {
    return {true, S_ISREG(status.st_mode), static_cast<std::uint64_t>(status.st_dev),
            static_cast<std::uint64_t>(status.st_ino)};
}

}  // namespace

FileIdentity identity_of(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 ? identity_from(status) : FileIdentity{};
}

FileIdentity identity_of(std::FILE* stream) {
    struct stat status;
    return fstat(fileno(stream), &status) == 0 ? identity_from(status) : FileIdentity{};
}
#endif

bool same_identity(const FileIdentity& a, const FileIdentity& b) {
    return a.known && b.known && a.device == b.device && a.number == b.number;
}

}  // namespace parafold
