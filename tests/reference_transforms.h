// The e-reader transforms exactly as they are defined, step by step: a working
// text edited in place one occurrence at a time, and whole passes repeated
// until nothing changes. Slow (quadratic), and the yardstick that the
// one-pass versions are measured against.
#pragma once

#include <string>
#include <vector>

namespace parafold::testing {

inline std::string reference_replace_all(const std::string& text, const std::string& search,
                                         const std::string& replacement) {
    if (search == replacement) return text;
    if (search.empty()) return text;  // would insert the replacement without end
    std::string work = text;
    std::size_t scan = 0;
    for (;;) {
        const std::size_t at = work.find(search, scan);
        if (at == std::string::npos) break;
        work.erase(at, search.size());
        work.insert(at, replacement);
        scan = at + replacement.size();
    }
    return work;
}

inline std::vector<std::string> reference_split_on_any(const std::string& text,
                                                       const std::string& delimiters) {
    std::vector<std::string> tokens;
    std::string token;
    for (const char c : text) {
        if (delimiters.find(c) != std::string::npos) {
            if (!token.empty()) tokens.push_back(token);
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.empty()) tokens.push_back(token);
    return tokens;
}

inline std::string reference_kindle_two_lines(const std::string& text) {
    std::string work = text;
    while (work.find("\r\n") != std::string::npos) work = reference_replace_all(work, "\r\n", "\n");
    while (work.find("\n\n") != std::string::npos) work = reference_replace_all(work, "\n\n", "\n");
    return reference_replace_all(work, " \n", "\n");
}

inline std::string reference_kindle_indent(const std::string& text) {
    std::string out;
    for (const std::string& token : reference_split_on_any(text, "\n")) {
        out += "     " + token + "\n";
    }
    return out;
}

}  // namespace parafold::testing
