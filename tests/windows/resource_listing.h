// Reading the resources of the built programs, which sit beside the test
// program in the build folder, as data (they are not run).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace parafold::testing {

// The full path of `name` in the test program's own folder.
inline std::string program_path(const std::string& name) {
    char path[MAX_PATH * 4] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + name;
}

// "#n" for a resource or class given by number. (Built with append: GCC 12
// warns wrongly about "#" + std::string.)
inline std::string ordinal(ULONG_PTR n) {
    std::string text = "#";
    text += std::to_string(n);
    return text;
}

inline std::string resource_name(LPCSTR name) {
    return IS_INTRESOURCE(name) ? ordinal(reinterpret_cast<ULONG_PTR>(name)) : std::string(name);
}

inline BOOL CALLBACK collect_type(HMODULE, LPSTR type, LONG_PTR out) {
    reinterpret_cast<std::vector<std::string>*>(out)->push_back(resource_name(type));
    return TRUE;
}
inline BOOL CALLBACK collect_name(HMODULE, LPCSTR, LPSTR name, LONG_PTR out) {
    return collect_type(nullptr, name, out);
}
inline BOOL CALLBACK collect_language(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR out) {
    reinterpret_cast<std::vector<WORD>*>(out)->push_back(language);
    return TRUE;
}

// The resource types of a module, and the names and languages of one type,
// in the order the module lists them.
inline std::vector<std::string> resource_types(HMODULE module) {
    std::vector<std::string> types;
    EnumResourceTypesA(module, collect_type, reinterpret_cast<LONG_PTR>(&types));
    return types;
}
inline std::vector<std::string> resource_names(HMODULE module, LPCSTR type) {
    std::vector<std::string> names;
    EnumResourceNamesA(module, type, collect_name, reinterpret_cast<LONG_PTR>(&names));
    return names;
}
inline std::vector<WORD> resource_languages(HMODULE module, LPCSTR type, LPCSTR name) {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(module, type, name, collect_language, reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

}  // namespace parafold::testing
