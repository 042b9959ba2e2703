// Whether two paths name the same file.
#pragma once

namespace parafold {

// True when both paths exist and name one file (the same file reached by
// another spelling, a hard link or a symbolic link counts). A path that
// does not exist, or that cannot be examined, names no file.
bool same_file(const char* path_a, const char* path_b);

}  // namespace parafold
