// The program's entry point: the main dialog, run modally until it is
// cancelled or closed.
#include <cstdlib>

#include "ui/dialog_ids.h"
#include "ui/main_dialog.h"

// The command line and the show command are not used: the dialog always
// shows itself restored. Whatever the dialog ends with (or if it could not be
// created), the program exits with status 0 through the runtime's normal
// exit, so exit handlers run and open streams are flushed.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, parafold::main_dialog_proc, 0);
    std::exit(0);
}
