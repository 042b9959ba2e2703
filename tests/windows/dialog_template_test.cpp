// The dialog in the resources of the built parafold.exe (read as data, not
// run): one classic dialog template, IDD_MAIN, laid out control by control.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/windows/resource_listing.h"
#include "ui/dialog_ids.h"

namespace {

using parafold::testing::ordinal;
using parafold::testing::program_path;
using parafold::testing::resource_languages;
using parafold::testing::resource_names;

// Reads a classic DLGTEMPLATE and its DLGITEMTEMPLATEs word by word.
class TemplateReader {
public:
    explicit TemplateReader(const void* data) : at_(static_cast<const std::uint8_t*>(data)) {}
    std::uint16_t word() {
        std::uint16_t value;
        std::memcpy(&value, at_, 2);
        at_ += 2;
        return value;
    }
    std::uint32_t dword() {
        const std::uint32_t low = word();
        return low | static_cast<std::uint32_t>(word()) << 16;
    }
    // A string or an ordinal field: 0x0000 (none), 0xFFFF n (ordinal n,
    // written "#n"), or a NUL-terminated UTF-16 string (ASCII here).
    std::string name() {
        const std::uint16_t first = word();
        if (first == 0xFFFF) return ordinal(word());
        std::string text;
        for (std::uint16_t c = first; c != 0; c = word()) text += static_cast<char>(c);
        return text;
    }
    void align_to_dword(const void* start) {
        while ((at_ - static_cast<const std::uint8_t*>(start)) % 4 != 0) ++at_;
    }

private:
    const std::uint8_t* at_;
};

struct Control {
    std::uint32_t style, extended_style;
    std::int16_t x, y, cx, cy;
    std::uint16_t id;
    std::string window_class, caption;
    std::uint16_t creation_data;
};

class DialogTemplate : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExA(program_path("parafold.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr) << program_path("parafold.exe");
    }
    void TearDown() override {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    HMODULE module_ = nullptr;
};

// One dialog, 101, in British English (the program's other resources are
// checked in program_resources_test.cpp).
TEST_F(DialogTemplate, IsTheOnlyDialog) {
    EXPECT_EQ(resource_names(module_, RT_DIALOG), std::vector<std::string>{"#101"});
    EXPECT_EQ(resource_languages(module_, RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN)), std::vector<WORD>{0x0809});
}

TEST_F(DialogTemplate, MatchesTheLayout) {
    HRSRC resource = FindResourceExA(module_, RT_DIALOG, MAKEINTRESOURCEA(IDD_MAIN), 0x0809);
    ASSERT_NE(resource, nullptr);
    const void* data = LockResource(LoadResource(module_, resource));
    ASSERT_NE(data, nullptr);
    TemplateReader read(data);

    EXPECT_EQ(read.dword(), 0x80C800C0u) << "style";
    EXPECT_EQ(read.dword(), 0u) << "extended style";
    const std::uint16_t count = read.word();
    const std::int16_t frame[4] = {static_cast<std::int16_t>(read.word()), static_cast<std::int16_t>(read.word()),
                                   static_cast<std::int16_t>(read.word()), static_cast<std::int16_t>(read.word())};
    EXPECT_EQ(frame[0], 0);
    EXPECT_EQ(frame[1], 0);
    EXPECT_EQ(frame[2], 362);
    EXPECT_EQ(frame[3], 170);
    EXPECT_EQ(read.name(), "") << "menu";
    EXPECT_EQ(read.name(), "") << "class";
    EXPECT_EQ(read.name(), "parafold") << "caption";
    EXPECT_EQ(read.word(), 8) << "font size";
    EXPECT_EQ(read.name(), "MS Sans Serif") << "font";

    const char* const button = "#128";
    const char* const edit = "#129";
    const Control expected[] = {
        {0x50010000, 0, 5, 5, 350, 15, IDC_BROWSE, button, "Browse for Text File", 0},
        {0x50810080, 0, 10, 35, 65, 20, IDC_COLUMNS, edit, "", 0},
        {0x50810880, 0, 10, 75, 340, 15, IDC_INPUT_PATH, edit, "", 0},
        {0x50810880, 0, 10, 110, 340, 15, IDC_OUTPUT_PATH, edit, "", 0},
        {0x50010001, 0, 305, 135, 50, 14, IDOK, button, "Process File", 0},
        {0x50010000, 0, 5, 135, 50, 15, IDCANCEL, button, "Cancel", 0},
        {0x50000007, 0, 5, 65, 350, 30, 0xFFFF, button, "Input TXT", 0},
        {0x50000007, 0, 5, 100, 350, 30, 0xFFFF, button, "Output TXT", 0},
        {0x50000007, 0, 5, 25, 350, 35, 0xFFFF, button, "Number of Columns: -1 = Autodetect)", 0},
        {0x50010003, 0, 80, 35, 80, 20, IDC_AUTODETECT, button, "Autodetect Columns", 0},
        {0x50010003, 0, 175, 35, 70, 20, IDC_KINDLE_TWO_LINES, button, "Kindle 2 Lines", 0},
        {0x50010003, 0, 250, 35, 60, 20, IDC_KINDLE_INDENT, button, "Kindle Indent", 0},
    };
    ASSERT_EQ(count, std::size(expected));
    for (const Control& want : expected) {
        SCOPED_TRACE(want.caption.empty() ? "edit " + std::to_string(want.id) : want.caption);
        read.align_to_dword(data);
        Control got{};
        got.style = read.dword();
        got.extended_style = read.dword();
        got.x = static_cast<std::int16_t>(read.word());
        got.y = static_cast<std::int16_t>(read.word());
        got.cx = static_cast<std::int16_t>(read.word());
        got.cy = static_cast<std::int16_t>(read.word());
        got.id = read.word();
        got.window_class = read.name();
        got.caption = read.name();
        got.creation_data = read.word();
        EXPECT_EQ(got.style, want.style);
        EXPECT_EQ(got.extended_style, want.extended_style);
        EXPECT_EQ((std::vector<int>{got.x, got.y, got.cx, got.cy}), (std::vector<int>{want.x, want.y, want.cx, want.cy}));
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.window_class, want.window_class);
        EXPECT_EQ(got.caption, want.caption);
        EXPECT_EQ(got.creation_data, want.creation_data);
    }
}

}  // namespace
