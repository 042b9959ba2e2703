// The real IDD_MAIN, created from the resource by the real USER32 (Wine's,
// under CI) with main_dialog_proc, driven with window messages. The file
// dialog and the message box are answered by fakes in the user's place.
#include "ui/main_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/test_files.h"
#include "ui/dialog_ids.h"
#include "ui/start_file.h"

namespace parafold {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

// What the open-file dialog was asked, copied while the call lasts.
struct OpenFileCall {
    OPENFILENAMEA record;
    std::string filter;  // every byte up to and including the list's double NUL
    bool initial_dir_given;
    std::string initial_dir, title, default_extension;
    bool buffer_all_zero;
};

struct MessageBoxCall {
    HWND owner;
    std::string text, caption;
    UINT type;
};

// The user's part: the file to choose (none: cancel) and what was shown.
std::optional<std::string> file_to_choose;
std::vector<OpenFileCall> open_file_calls;
std::vector<MessageBoxCall> message_box_calls;

BOOL WINAPI fake_get_open_file_name(OPENFILENAMEA* record) {
    OpenFileCall call{};
    call.record = *record;
    const char* filter = record->lpstrFilter;
    std::size_t length = 0;
    while (filter[length] != '\0' || filter[length + 1] != '\0') ++length;
    call.filter.assign(filter, length + 2);
    call.initial_dir_given = record->lpstrInitialDir != nullptr;
    if (call.initial_dir_given) call.initial_dir = record->lpstrInitialDir;
    if (record->lpstrTitle != nullptr) call.title = record->lpstrTitle;
    if (record->lpstrDefExt != nullptr) call.default_extension = record->lpstrDefExt;
    call.buffer_all_zero = true;
    for (DWORD i = 0; i < record->nMaxFile; ++i) call.buffer_all_zero &= record->lpstrFile[i] == '\0';
    open_file_calls.push_back(call);

    if (!file_to_choose || file_to_choose->size() >= record->nMaxFile) return FALSE;
    file_to_choose->copy(record->lpstrFile, file_to_choose->size());
    record->lpstrFile[file_to_choose->size()] = '\0';
    return TRUE;
}

int WINAPI fake_message_box(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    message_box_calls.push_back({owner, text, caption, type});
    return IDOK;
}

// A dialog of its own for every test; the services are the fakes meanwhile.
class MainDialog : public ::testing::Test {
protected:
    void SetUp() override {
        file_to_choose.reset();
        open_file_calls.clear();
        message_box_calls.clear();
        dialog_services.get_open_file_name = fake_get_open_file_name;
        dialog_services.message_box = fake_message_box;
        dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                     main_dialog_proc, 0);
        ASSERT_NE(dialog_, nullptr);
    }
    void TearDown() override {
        if (dialog_ != nullptr) DestroyWindow(dialog_);
        dialog_services = DialogServices{};
    }

    std::string text(int id) const {
        char buffer[70'000] = {};
        GetDlgItemTextA(dialog_, id, buffer, sizeof buffer);
        return buffer;
    }
    void set_text(int id, const std::string& text) const { SetDlgItemTextA(dialog_, id, text.c_str()); }
    bool checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
    bool enabled(int id) const { return IsWindowEnabled(GetDlgItem(dialog_, id)) != FALSE; }
    // As a mouse click does: an auto check box toggles itself first, then
    // the dialog gets the command.
    void click(int id) const { SendMessageA(GetDlgItem(dialog_, id), BM_CLICK, 0, 0); }
    void browse_to(const std::string& path) {
        file_to_choose = path;
        click(IDC_BROWSE);
    }

    HWND dialog_ = nullptr;
};

// Opens shown, with "56" in the enabled column field and nothing else set.
TEST_F(MainDialog, StartsWithTheFixedState) {
    EXPECT_TRUE(IsWindowVisible(dialog_));
    EXPECT_EQ(text(IDC_COLUMNS), "56");
    EXPECT_TRUE(enabled(IDC_COLUMNS));
    EXPECT_EQ(text(IDC_INPUT_PATH), "");
    EXPECT_EQ(text(IDC_OUTPUT_PATH), "");
    for (int id : {IDC_AUTODETECT, IDC_KINDLE_TWO_LINES, IDC_KINDLE_INDENT}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(checked(id));
    }
    EXPECT_TRUE(open_file_calls.empty());
    EXPECT_TRUE(message_box_calls.empty());
}

// Started with a file (the dialog's initialisation value): the path and its
// output path are shown, everything else is as at a plain start, and nothing
// happens until Process File, which then runs on them, also for a path that
// names no file. An empty path is no file.
TEST(MainDialogStart, ShowsTheFileItWasStartedWith) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "my books");
    const std::string book = dir.file("my books\\book one.txt");
    write_file(book, "The quick brown fox jumps over the lazy dog, then it ran\nhome\n");  // 56 bytes, then 4
    struct Row {
        std::string start_file, input, output, outcome;
    } rows[] = {
        {book, book, dir.file("my books\\book one.ncr.txt"), "Text file aligned successfully"},
        {dir.file("no such\\book.txt"), dir.file("no such\\book.txt"), dir.file("no such\\book.ncr.txt"),
         "Alignment failed"},
        {"", "", "", "Alignment failed"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.start_file);
        message_box_calls.clear();
        dialog_services.message_box = fake_message_box;
        HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                         main_dialog_proc, reinterpret_cast<LPARAM>(row.start_file.c_str()));
        ASSERT_NE(dialog, nullptr);
        char field[4096] = {};
        GetDlgItemTextA(dialog, IDC_INPUT_PATH, field, sizeof field);
        EXPECT_EQ(std::string(field), row.input);
        GetDlgItemTextA(dialog, IDC_OUTPUT_PATH, field, sizeof field);
        EXPECT_EQ(std::string(field), row.output);
        GetDlgItemTextA(dialog, IDC_COLUMNS, field, sizeof field);
        EXPECT_EQ(std::string(field), "56");
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_COLUMNS)));
        EXPECT_TRUE(message_box_calls.empty());
        EXPECT_FALSE(testing::exists(row.output)) << "processed before Process File";

        SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        ASSERT_EQ(message_box_calls.size(), 1u);
        EXPECT_EQ(message_box_calls[0].text, row.outcome);
        DestroyWindow(dialog);
        dialog_services = DialogServices{};
    }
    EXPECT_EQ(read_file(dir.file("my books\\book one.ncr.txt")),
              "The quick brown fox jumps over the lazy dog, then it ran home\n");
}

// The one path taken from the program's command line, as Explorer and
// others write it.
TEST(FileFromCommandLine, TakesOnePathWhole) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "my books");
    std::filesystem::create_directories(dir.path() / "my");  // a folder, not a file
    const std::string spaced = dir.file("my books\\book one.txt");
    const std::string first = dir.file("first.txt");
    const std::string second = dir.file("second.txt");
    for (const std::string& file : {spaced, first, second}) write_file(file, "text\n");
    const std::string missing = dir.file("my books\\no such book.txt");
    struct Row {
        std::string command_line, path;
    } rows[] = {
        {"", ""},
        {" \t ", ""},
        {"\"\"", ""},
        {"\"" + spaced + "\"", spaced},                         // "%1"
        {"  \"" + spaced + "\"  \"" + first + "\"", spaced},     // several files, quoted
        {"\"" + spaced, spaced},                                // the closing quote missing
        {"\"" + missing + "\"", missing},                       // shown even so
        {spaced, spaced},                                       // a bare %1
        {" \t" + spaced + "\t ", spaced},
        {missing, missing},                                     // "my" is a folder, not a file
        {first + " " + second, first},                          // several files, unquoted
        {first + "  \"" + spaced + "\"", first},
        {dir.file("none.txt") + " " + first, dir.file("none.txt") + " " + first},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command_line);
        EXPECT_EQ(file_from_command_line(row.command_line.c_str()), row.path);
    }
    EXPECT_EQ(file_from_command_line(nullptr), "");
}

// Ticking disables the column field, unticking enables it; the text stays
// and nothing is estimated or asked.
TEST_F(MainDialog, AutodetectToggleDisablesTheColumnFieldKeepingItsText) {
    set_text(IDC_COLUMNS, "72");
    click(IDC_AUTODETECT);
    EXPECT_TRUE(checked(IDC_AUTODETECT));
    EXPECT_FALSE(enabled(IDC_COLUMNS));
    EXPECT_EQ(text(IDC_COLUMNS), "72");
    click(IDC_AUTODETECT);
    EXPECT_FALSE(checked(IDC_AUTODETECT));
    EXPECT_TRUE(enabled(IDC_COLUMNS));
    EXPECT_EQ(text(IDC_COLUMNS), "72");
    EXPECT_TRUE(open_file_calls.empty());
}

// The file dialog is asked for one existing *.txt file, with the record
// filled field by field as the program defines it.
TEST_F(MainDialog, BrowseAsksForOneExistingTextFile) {
    click(IDC_BROWSE);
    ASSERT_EQ(open_file_calls.size(), 1u);
    const OpenFileCall& call = open_file_calls[0];
    const OPENFILENAMEA& record = call.record;
    EXPECT_EQ(record.lStructSize, OPENFILENAME_SIZE_VERSION_400A);
    EXPECT_EQ(record.hwndOwner, dialog_);
    const char filter[] = "Text File (*.txt)\0*.txt\0";  // and the literal's NUL
    EXPECT_EQ(call.filter, std::string(filter, sizeof filter));
    EXPECT_EQ(record.lpstrCustomFilter, nullptr);
    EXPECT_EQ(record.nMaxCustFilter, 0u);
    EXPECT_EQ(record.nFilterIndex, 1u);
    EXPECT_EQ(record.nMaxFile, 66'560u);
    EXPECT_TRUE(call.buffer_all_zero);
    EXPECT_EQ(record.lpstrFileTitle, nullptr);
    EXPECT_EQ(record.nMaxFileTitle, 0u);
    EXPECT_TRUE(call.initial_dir_given);
    EXPECT_EQ(call.initial_dir, "");
    EXPECT_EQ(call.title, "Load Text file(s)...");
    EXPECT_EQ(record.Flags, static_cast<DWORD>(OFN_EXPLORER | OFN_LONGNAMES | OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR));
    EXPECT_EQ(record.Flags, 0x00281008u);
    EXPECT_EQ(record.nFileOffset, 0);
    EXPECT_EQ(record.nFileExtension, 0);
    EXPECT_EQ(call.default_extension, "*.*");
    EXPECT_EQ(record.lpfnHook, nullptr);
    EXPECT_EQ(record.lpTemplateName, nullptr);
}

// The chosen path, and the output path derived from it.
TEST_F(MainDialog, BrowseShowsTheChosenPathAndTheOutputPath) {
    const std::string long_folder = "C:\\" + std::string(300, 'f') + "\\";
    struct Row {
        std::string chosen, output;
    } rows[] = {
        {"C:\\texts\\book.txt", "C:\\texts\\book.ncr.txt"},
        {"C:\\texts\\book.part2.txt", "C:\\texts\\book.part2.ncr.txt"},
        {"C:\\my.texts\\readme", "C:\\my.ncr.txt"},  // the only '.' is a folder's
        {"C:\\texts\\.txt", "C:\\texts\\.ncr.txt"},
        {"C:\\texts\\readme", "C:\\texts\\readme.ncr.txt"},  // no '.' at all
        {long_folder + "book.txt", long_folder + "book.ncr.txt"},  // held whole
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.chosen);
        browse_to(row.chosen);
        EXPECT_EQ(text(IDC_INPUT_PATH), row.chosen);
        EXPECT_EQ(text(IDC_OUTPUT_PATH), row.output);
        EXPECT_EQ(text(IDC_COLUMNS), "56");  // no estimate while unticked
    }
}

// With "Autodetect Columns" ticked, Browse writes the mean line length of
// the chosen file into the disabled column field; unticked, a typed column
// stays.
TEST_F(MainDialog, BrowseEstimatesTheColumnOnlyWhenAutodetectIsTicked) {
    TempDir dir;
    const std::string file = dir.file("ten.txt");
    write_file(file, "abcdefghi\nabcdefghi\nabcdefghi\n");  // lines of 10 bytes with their LF

    set_text(IDC_COLUMNS, "72");
    browse_to(file);
    EXPECT_EQ(text(IDC_COLUMNS), "72");

    click(IDC_AUTODETECT);
    EXPECT_EQ(text(IDC_COLUMNS), "72");  // ticking alone estimates nothing
    browse_to(file);
    EXPECT_EQ(text(IDC_COLUMNS), "10");
    EXPECT_FALSE(enabled(IDC_COLUMNS));
    EXPECT_EQ(text(IDC_INPUT_PATH), file);

    // A file that cannot be opened for the estimate shows -1.
    browse_to(dir.file("missing.txt"));
    EXPECT_EQ(text(IDC_COLUMNS), "-1");
}

// A cancelled file dialog changes nothing at all.
TEST_F(MainDialog, CancelledBrowseChangesNothing) {
    click(IDC_AUTODETECT);
    browse_to("C:\\texts\\book.txt");
    const std::string columns = text(IDC_COLUMNS);
    file_to_choose.reset();
    click(IDC_BROWSE);
    EXPECT_EQ(open_file_calls.size(), 2u);
    EXPECT_EQ(text(IDC_INPUT_PATH), "C:\\texts\\book.txt");
    EXPECT_EQ(text(IDC_OUTPUT_PATH), "C:\\texts\\book.ncr.txt");
    EXPECT_EQ(text(IDC_COLUMNS), columns);
    EXPECT_TRUE(message_box_calls.empty());
}

// Process File runs unguarded: with no file chosen it fails, and says so.
TEST_F(MainDialog, ProcessFileBeforeAnyBrowseFails) {
    click(IDOK);
    ASSERT_EQ(message_box_calls.size(), 1u);
    EXPECT_EQ(message_box_calls[0].owner, dialog_);
    EXPECT_EQ(message_box_calls[0].text, "Alignment failed");
    EXPECT_EQ(message_box_calls[0].caption, "Failed");
    EXPECT_EQ(message_box_calls[0].type, static_cast<UINT>(MB_OK));
}

// A run reads the fields, writes the output file, reports success and leaves
// the dialog as it was; a second press repeats it.
TEST_F(MainDialog, ProcessFileWritesTheOutputAndReportsSuccess) {
    TempDir dir;
    write_file(dir.file("story.txt"), "The quick brown fox jumps over\nthe lazy dog\n");
    browse_to(dir.file("story.txt"));
    set_text(IDC_COLUMNS, "20");
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        click(IDOK);
        ASSERT_EQ(message_box_calls.size(), static_cast<std::size_t>(run));
        EXPECT_EQ(message_box_calls.back().owner, dialog_);
        EXPECT_EQ(message_box_calls.back().text, "Text file aligned successfully");
        EXPECT_EQ(message_box_calls.back().caption, "Success");
        EXPECT_EQ(message_box_calls.back().type, static_cast<UINT>(MB_OK));
        EXPECT_EQ(read_file(dir.file("story.ncr.txt")), "The quick brown fox jumps over the lazy dog\n");
        EXPECT_EQ(text(IDC_INPUT_PATH), dir.file("story.txt"));
        EXPECT_EQ(text(IDC_OUTPUT_PATH), dir.file("story.ncr.txt"));
        EXPECT_EQ(text(IDC_COLUMNS), "20");
    }
}

// The modal dialog, with a script of messages posted once it is up.
struct Scripted {
    std::vector<MSG> messages;  // hwnd holds a control id, or 0 for the dialog
    int focus = 0;              // control to focus first, if any
};
Scripted script;

INT_PTR CALLBACK scripted_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    const INT_PTR result = main_dialog_proc(dialog, message, wparam, lparam);
    if (message == WM_INITDIALOG) {
        if (script.focus != 0) SetFocus(GetDlgItem(dialog, script.focus));
        for (const MSG& m : script.messages) {
            const int id = static_cast<int>(reinterpret_cast<INT_PTR>(m.hwnd));
            PostMessageA(id == 0 ? dialog : GetDlgItem(dialog, id), m.message, m.wParam, m.lParam);
        }
    }
    return result;
}

MSG to_dialog(UINT message, WPARAM wparam = 0) { return {nullptr, message, wparam, 0, 0, {}}; }
MSG to_control(int id, UINT message, WPARAM wparam = 0) {
    return {reinterpret_cast<HWND>(static_cast<INT_PTR>(id)), message, wparam, 0, 0, {}};
}

// Cancel and Esc end the dialog with 2, closing it with 0; Enter in an edit
// field presses the default button, "Process File".
TEST(MainDialogModal, EndsWithTheResultOfHowItWasLeft) {
    struct Row {
        const char* how;
        Scripted script;
        INT_PTR result;
        std::size_t process_runs;
    } rows[] = {
        {"Cancel button", {{to_control(IDCANCEL, BM_CLICK)}}, IDCANCEL, 0},
        {"Esc in the column field", {{to_control(IDC_COLUMNS, WM_KEYDOWN, VK_ESCAPE)}, IDC_COLUMNS}, IDCANCEL, 0},
        {"close button", {{to_dialog(WM_SYSCOMMAND, SC_CLOSE)}}, 0, 0},
        {"WM_CLOSE", {{to_dialog(WM_CLOSE)}}, 0, 0},
        {"Enter in the column field, then Cancel",
         {{to_control(IDC_COLUMNS, WM_KEYDOWN, VK_RETURN), to_control(IDCANCEL, BM_CLICK)}, IDC_COLUMNS},
         IDCANCEL,
         1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        message_box_calls.clear();
        dialog_services.message_box = fake_message_box;
        script = row.script;
        const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN), nullptr,
                                               scripted_proc, 0);
        dialog_services = DialogServices{};
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(message_box_calls.size(), row.process_runs);
    }
}

}  // namespace
}  // namespace parafold
