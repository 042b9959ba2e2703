// The main dialog IDD_MAIN: its procedure, the file chooser behind Browse and
// the Process File action. Windows only; the work itself is done by the
// portable pipeline (ui/pipeline.h), which this layer only feeds.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commdlg.h>

#include <string>

namespace parafold {

// The two calls that wait for the user. The dialog goes through these
// pointers so that tests can answer in the user's place; in the program they
// are the system's own functions.
struct DialogServices {
    decltype(&::GetOpenFileNameA) get_open_file_name = ::GetOpenFileNameA;
    decltype(&::MessageBoxA) message_box = ::MessageBoxA;
};
extern DialogServices dialog_services;

// The dialog procedure of IDD_MAIN (see WinMain in ui/win_main.cpp). Its
// initialisation value (DialogBoxParamA's last argument) is 0, or a
// `const char*` path that the dialog starts with as if it had been chosen
// with Browse while "Autodetect Columns" is unticked.
INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Shows the system's open-file dialog for one existing "*.txt" file, owned
// by `owner`. Returns 0 and the file's full path in `chosen_path` (whole,
// however long) when the user chose a file; 1, with `chosen_path` untouched,
// when the user cancelled or the dialog failed. The current directory is
// left as it was.
int choose_text_file(HWND owner, std::string& chosen_path);

// Process File: reads the paths, the column text and the three check boxes
// from the dialog, runs the pipeline on them and tells the user the outcome
// in a message box. Changes nothing in the dialog.
void process_file(HWND dialog);

}  // namespace parafold
