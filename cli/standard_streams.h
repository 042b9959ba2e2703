// The three standard streams of parafold-cli as the shell hands them over.
#pragma once

#include <string>

namespace parafold {

// Makes sure that descriptors 0, 1 and 2 are open, so that no file the
// program opens takes one of their numbers and then gets what is written
// to standard output or standard error (or is read as standard input). A
// closed one is opened on the null device the other way round (standard
// input for writing only, the others for reading only), so that using it
// still fails as it would have closed. Does nothing where there are no
// such descriptors to lose. False when one stays closed.
bool hold_standard_descriptors();

// True when `path` is another name for this process's standard output:
// "/dev/stdout", "/dev/fd/1", "/proc/self/fd/1", or any path that leads
// through links to the entry of descriptor 1 in the process's own folder
// of descriptors. Opening such a path would open anew the file behind
// standard output (truncating it) rather than write to the stream.
bool names_standard_output(const std::string& path);

}  // namespace parafold
