#include "ui/main_dialog.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "engine/reflow/estimate.h"
#include "ui/dialog_ids.h"
#include "ui/output_path.h"
#include "ui/pipeline.h"

namespace parafold {

DialogServices dialog_services;

namespace {

// The size of the file dialog's result buffer, which is room for far more
// than one path.
constexpr DWORD file_buffer_size = 66'560;

// The record is passed in its Windows 95/NT 4 size, without the fields
// added for Windows 2000: OPENFILENAME_SIZE_VERSION_400A, worked out here in
// a form the compiler can check. A 32-bit build hands over exactly 76 bytes.
constexpr DWORD open_file_record_size =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);
static_assert(sizeof(void*) != 4 || open_file_record_size == 76);

// Flags of the file dialog: one existing file, long names, and the current
// directory left alone (the pipeline's temporary files are named relative to
// it).
constexpr DWORD open_file_flags = OFN_EXPLORER | OFN_LONGNAMES | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
static_assert(open_file_flags == 0x00281008);

void set_text(HWND dialog, int id, const std::string& text) {
    SendDlgItemMessageA(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// The whole text of a control, however long: a path cut short would name
// another file than the one shown.
std::string control_text(HWND dialog, int id) {
    const LRESULT length = SendDlgItemMessageA(dialog, id, WM_GETTEXTLENGTH, 0, 0);
    std::vector<char> buffer(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    SendDlgItemMessageA(dialog, id, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

LRESULT check_state(HWND dialog, int id) {
    return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0);
}

// The column field is disabled while "Autodetect Columns" is ticked; its
// text stays as it is and no estimate is made here.
void autodetect_toggled(HWND dialog) {
    EnableWindow(GetDlgItem(dialog, IDC_COLUMNS), check_state(dialog, IDC_AUTODETECT) == BST_CHECKED ? FALSE : TRUE);
}

// Browse: shows the chosen path, the estimated column when "Autodetect
// Columns" is ticked (even though the field is disabled then), and the
// derived output path. A cancelled choice changes nothing.
void browse(HWND dialog) {
    std::string chosen_path;
    if (choose_text_file(dialog, chosen_path) != 0) {
        return;
    }
    set_text(dialog, IDC_INPUT_PATH, chosen_path);
    if (check_state(dialog, IDC_AUTODETECT) != BST_UNCHECKED) {
        set_text(dialog, IDC_COLUMNS, std::to_string(average_line_length(chosen_path.c_str())));
    }
    set_text(dialog, IDC_OUTPUT_PATH, derive_output_path(chosen_path));
}

}  // namespace

int choose_text_file(HWND owner, std::string& chosen_path) {
    // One filter pair; the literal's own NUL ends the list.
    static const char filter[] = "Text File (*.txt)\0*.txt\0";
    static const char initial_dir[] = "";

    std::vector<char> file(file_buffer_size, '\0');
    OPENFILENAMEA request{};
    request.lStructSize = open_file_record_size;
    request.hwndOwner = owner;
    request.lpstrFilter = filter;
    request.nFilterIndex = 1;
    request.lpstrFile = file.data();
    request.nMaxFile = file_buffer_size;
    request.lpstrInitialDir = initial_dir;
    request.lpstrTitle = "Load Text file(s)...";
    request.Flags = open_file_flags;
    request.lpstrDefExt = "*.*";
    if (!dialog_services.get_open_file_name(&request)) {
        return 1;
    }
    chosen_path.assign(file.data(), strnlen(file.data(), file.size()));
    return 0;
}

void process_file(HWND dialog) {
    ProcessRequest request;
    request.input_path = control_text(dialog, IDC_INPUT_PATH);
    request.output_path = control_text(dialog, IDC_OUTPUT_PATH);
    UnwrapOptions& options = request.options;
    options.two_lines = check_state(dialog, IDC_KINDLE_TWO_LINES) != BST_UNCHECKED;
    options.indent = check_state(dialog, IDC_KINDLE_INDENT) != BST_UNCHECKED;
    options.width = width_of_fields(control_text(dialog, IDC_COLUMNS),
                                    check_state(dialog, IDC_AUTODETECT) == BST_CHECKED,
                                    options.two_lines || options.indent);
    // The message box is the only report: the failure's reason is the
    // command line's to say.
    if (run_pipeline(request).failure == Failure::none) {
        dialog_services.message_box(dialog, "Text file aligned successfully", "Success", MB_OK);
    } else {
        dialog_services.message_box(dialog, "Alignment failed", "Failed", MB_OK);
    }
}

// Only the control id (the low word of wparam) of a command is looked at,
// never its notification code, and lparam only at WM_INITDIALOG. "Process
// File" runs whatever the fields hold, also before any file was chosen.
INT_PTR CALLBACK main_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        ShowWindow(dialog, SW_RESTORE);
        set_text(dialog, IDC_COLUMNS, "56");
        // A file to start with is only shown, with its output path; whether
        // it exists is left to Process File, as for a chosen one.
        const char* start_file = reinterpret_cast<const char*>(lparam);
        if (start_file != nullptr && *start_file != '\0') {
            set_text(dialog, IDC_INPUT_PATH, start_file);
            set_text(dialog, IDC_OUTPUT_PATH, derive_output_path(start_file));
        }
        return FALSE;  // no default focus
    }
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDCANCEL:  // "Cancel" and Esc
            EndDialog(dialog, IDCANCEL);
            return FALSE;
        case IDC_AUTODETECT:
            autodetect_toggled(dialog);
            return FALSE;
        case IDOK:  // "Process File" and Enter
            process_file(dialog);
            return TRUE;
        case IDC_BROWSE:
            browse(dialog);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_CLOSE:  // the close button, Alt+F4: wparam is 0
        EndDialog(dialog, LOWORD(wparam));
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace parafold
