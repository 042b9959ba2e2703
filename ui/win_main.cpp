// The program's entry point: the main dialog, run modally until it is
// cancelled or closed.
#include <clocale>
#include <cstdlib>

#include <string>

#include "ui/dialog_ids.h"
#include "ui/main_dialog.h"
#include "ui/start_file.h"

// A path on the command line (a file dropped on the program, or opened with
// it) is shown in the dialog at start; the show command is not used: the
// dialog always shows itself restored. Whatever the dialog ends with (or if
// it could not be created), the program exits with status 0 through the
// runtime's normal exit, so exit handlers run and open streams are flushed.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
    // The paths are ANSI text, which the file functions read in the system's
    // code page; std::filesystem (which tells whether the output is the
    // input) converts them with the C runtime's locale, so set that to the
    // same code page, or a name with bytes from 0x80 up names different
    // files for the two.
    std::setlocale(LC_CTYPE, "");
    const std::string start_file = parafold::file_from_command_line(command_line);
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, parafold::main_dialog_proc,
                    reinterpret_cast<LPARAM>(start_file.c_str()));
    std::exit(0);
}
