// Whether two paths name the same file.
#pragma once

namespace parafold {

// True when both paths exist and name one file (the same file reached by
// another spelling, a hard link or a symbolic link counts). A path that
// does not exist names no file. When both can be opened but which files
// they name cannot be examined, they may be one: true as well, so that a
// caller never overwrites the one believing it is another.
bool same_file(const char* path_a, const char* path_b);

}  // namespace parafold
