// Whether two names, or a name and an open stream, are one file.
#pragma once

#include <cstdint>
#include <cstdio>

namespace parafold {

// True when both paths exist and name one file (the same file reached by
// another spelling, a hard link or a symbolic link counts). A path that
// does not exist names no file. When both can be opened but which files
// they name cannot be examined, they may be one: true as well, so that a
// caller never overwrites the one believing it is another.
bool same_file(const char* path_a, const char* path_b);

// What the system knows a file by, whatever its names: the device it is
// on and its number there.
struct FileIdentity {
    bool known = false;    // false: no such file, or the system does not tell
    bool regular = false;  // a regular file: not a folder, pipe, terminal or device
    std::uint64_t device = 0, number = 0;
};

// The identity of the file `path` names, through symbolic links.
FileIdentity identity_of(const char* path);

// The identity of what an open stream (standard input or output) reads
// or writes.
FileIdentity identity_of(std::FILE* stream);

// True when both are known and are one file.
bool same_identity(const FileIdentity& a, const FileIdentity& b);

}  // namespace parafold
