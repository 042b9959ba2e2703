// The version record and the application manifest of both built programs,
// read as Windows reads them: the version through the version library
// (Explorer's Properties), the manifest through an activation context made
// from it (what the loader does when the program starts; a manifest it
// cannot parse stops the program from starting at all).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "parafold_version.h"
#include "tests/windows/resource_listing.h"

namespace {

using parafold::testing::program_path;
using parafold::testing::resource_languages;
using parafold::testing::resource_names;
using parafold::testing::resource_types;

struct Program {
    const char* file;
    std::vector<std::string> resource_types;
    const char* description;
    const char* internal_name;
};

const Program programs[] = {
    {"parafold.exe", {"#5", "#16", "#24"}, "parafold text unwrapper", "parafold"},  // dialog, version, manifest
    {"parafold-cli.exe", {"#16", "#24"}, "parafold text unwrapper (command line)", "parafold-cli"},
};

// Resource 1 of each type: the version in British English, the manifest
// without a language, as the loader looks for it.
TEST(ProgramResources, AreTheDialogTheVersionRecordAndTheManifest) {
    for (const Program& program : programs) {
        SCOPED_TRACE(program.file);
        HMODULE module = LoadLibraryExA(program_path(program.file).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(resource_types(module), program.resource_types);
        EXPECT_EQ(resource_names(module, RT_VERSION), std::vector<std::string>{"#1"});
        EXPECT_EQ(resource_languages(module, RT_VERSION, MAKEINTRESOURCEA(1)), std::vector<WORD>{0x0809});
        EXPECT_EQ(resource_names(module, RT_MANIFEST), std::vector<std::string>{"#1"});
        EXPECT_EQ(resource_languages(module, RT_MANIFEST, MAKEINTRESOURCEA(1)), std::vector<WORD>{0});
        FreeLibrary(module);
    }
}

// What Explorer's Properties show: the project's version as numbers and as
// text, the product, the description and the file's own name.
TEST(ProgramResources, VersionRecordNamesTheProgramAndItsVersion) {
    const DWORD version_ms = PARAFOLD_VERSION_MAJOR << 16 | PARAFOLD_VERSION_MINOR;
    const DWORD version_ls = PARAFOLD_VERSION_PATCH << 16;
    for (const Program& program : programs) {
        SCOPED_TRACE(program.file);
        const std::string path = program_path(program.file);
        DWORD ignored = 0;
        std::vector<char> record(GetFileVersionInfoSizeA(path.c_str(), &ignored));
        ASSERT_FALSE(record.empty());
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));

        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT size = 0;
        ASSERT_TRUE(VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
        ASSERT_GE(size, sizeof *fixed);
        EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(fixed->dwFileVersionMS, version_ms);
        EXPECT_EQ(fixed->dwFileVersionLS, version_ls);
        EXPECT_EQ(fixed->dwProductVersionMS, version_ms);
        EXPECT_EQ(fixed->dwProductVersionLS, version_ls);
        EXPECT_EQ(fixed->dwFileFlags, 0u);
        EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
        EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

        WORD* translation = nullptr;
        ASSERT_TRUE(VerQueryValueA(record.data(), "\\VarFileInfo\\Translation",
                                   reinterpret_cast<void**>(&translation), &size));
        ASSERT_EQ(size, 4u);
        EXPECT_EQ(translation[0], 0x0809);
        EXPECT_EQ(translation[1], 1200);

        const std::string file_name = program.file;
        const struct {
            const char* name;
            std::string text;
        } strings[] = {
            {"ProductName", "parafold"},
            {"FileDescription", program.description},
            {"FileVersion", PARAFOLD_VERSION_STRING},
            {"ProductVersion", PARAFOLD_VERSION_STRING},
            {"InternalName", program.internal_name},
            {"OriginalFilename", file_name},
            {"LegalCopyright", "Copyright (c) 2026 The parafold developers. MIT licence."},
        };
        for (const auto& want : strings) {
            SCOPED_TRACE(want.name);
            char* text = nullptr;
            const std::string query = std::string("\\StringFileInfo\\080904B0\\") + want.name;
            ASSERT_TRUE(VerQueryValueA(record.data(), query.c_str(), reinterpret_cast<void**>(&text), &size));
            EXPECT_EQ(std::string(text), want.text);
        }
    }
}

// Runs with its starter's rights, declares Windows 7 to 11 (11 shares 10's
// id) and nothing older, and is aware of the system's DPI.
TEST(ProgramResources, ManifestAsksForInvokerRightsSupportedSystemsAndSystemDpi) {
    const GUID windows_7 = {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}};
    const GUID windows_8 = {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}};
    const GUID windows_8_1 = {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}};
    const GUID windows_10_11 = {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}};
    for (const Program& program : programs) {
        SCOPED_TRACE(program.file);
        const std::string path = program_path(program.file);
        ACTCTXA request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = path.c_str();
        request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
        HANDLE context = CreateActCtxA(&request);
        ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();

        ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION run_level{};
        ASSERT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &run_level,
                                 sizeof run_level, nullptr));
        EXPECT_EQ(run_level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
        EXPECT_EQ(run_level.UiAccess, 0u);

        // The element records grew over the releases; the ids are found by
        // their bytes, whatever the record's size.
        std::vector<char> compatibility(4096);
        SIZE_T written = 0;
        ASSERT_TRUE(QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext,
                                 compatibility.data(), compatibility.size(), &written));
        DWORD count = 0;
        std::memcpy(&count, compatibility.data(), sizeof count);
        EXPECT_EQ(count, 4u);
        const std::string bytes(compatibility.data(), written);
        for (const GUID& id : {windows_7, windows_8, windows_8_1, windows_10_11}) {
            SCOPED_TRACE(id.Data1);
            EXPECT_NE(bytes.find(std::string(reinterpret_cast<const char*>(&id), sizeof id)), std::string::npos);
        }

        wchar_t setting[16] = {};
        ASSERT_TRUE(QueryActCtxSettingsW(0, context, nullptr, L"dpiAware", setting, std::size(setting), &written));
        EXPECT_EQ(std::wstring(setting), L"true");
        ReleaseActCtx(context);
    }
}

}  // namespace
