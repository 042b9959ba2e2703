// Opening an output file for one writer at a time, so that two runs given
// the same output at once do not write it into each other: the second
// finds it taken before it has emptied it, and says so.
#pragma once

#include <cstdio>

namespace parafold {

// Opens the file `path` names (a regular file, or none yet) with `mode`
// ("wb" or "w+b"), as std::fopen does, but empties it only once this
// process is its one writer. While another holds it so (another run of
// this program), returns nullptr with errno EBUSY and leaves the file as
// it was. Where the system cannot tell (a file system without locks), the
// file is opened as std::fopen would open it.
std::FILE* open_sole_writer(const char* path, const char* mode);

}  // namespace parafold
