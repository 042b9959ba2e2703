// The file parafold.exe is started with: Explorer starts it so for a text
// file dropped on it or opened with it. Windows only.
#pragma once

#include <string>

namespace parafold {

// The path on the program's command line (WinMain's, without the program's
// own name), or "" when there is none. One path is taken, however it was
// written:
// - in double quotes, as Explorer writes "%1": the text up to the closing
//   quote (or the end), whatever follows;
// - unquoted: the whole line without its outer blanks, spaces inside kept,
//   as an association that writes a bare %1 passes a path with spaces;
//   only when that names no file while a shorter part ending before a
//   blank does (several files dropped at once, each unquoted) is the
//   longest such part taken.
// A path that names no file is returned all the same.
std::string file_from_command_line(const char* command_line);

}  // namespace parafold
