#include "ui/start_file.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string_view>

namespace parafold {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool names_a_file(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string_view without_trailing_blanks(std::string_view text) {
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string file_from_command_line(const char* command_line) {
    std::string_view line = command_line != nullptr ? command_line : "";
    while (!line.empty() && is_blank(line.front())) line.remove_prefix(1);

    // A path cannot hold a '"', so the next one closes the quote.
    if (!line.empty() && line.front() == '"') {
        line.remove_prefix(1);
        return std::string(line.substr(0, line.find('"')));
    }

    const std::string whole(without_trailing_blanks(line));
    if (names_a_file(whole)) return whole;
    for (std::size_t end = whole.size(); end-- > 0;) {
        if (!is_blank(whole[end])) continue;
        const std::string part(without_trailing_blanks(std::string_view(whole).substr(0, end)));
        if (!part.empty() && names_a_file(part)) return part;
    }
    return whole;
}

}  // namespace parafold
