// The joining rule exactly as it is defined, one byte at a time: the yardstick
// that the block-wise filter is measured against.
#pragma once

#include <cstdint>
#include <string>

namespace parafold::testing {

// With `characters`, a line's length counts characters of UTF-8: the bytes
// that continue one (10xxxxxx) do not count.
inline std::string reference_join(const std::string& in, std::int32_t width,
                                  bool characters = false) {
    std::string out;
    std::int64_t line_bytes = 0;
    bool sentence_end = false;
    for (const char c : in) {
        switch (c) {
            case '\n':
                out += (line_bytes < width || sentence_end) ? '\n' : ' ';
                line_bytes = 0;
                sentence_end = false;
                break;
            case '\r':
            case '\0':
                break;
            case '.':
            case '!':
            case '"':
                out += c;
                ++line_bytes;
                sentence_end = true;
                break;
            case ' ':
                out += c;
                ++line_bytes;
                break;
            default:
                out += c;
                if (!characters || (static_cast<unsigned char>(c) & 0xC0) != 0x80) ++line_bytes;
                sentence_end = false;
        }
    }
    return out;
}

}  // namespace parafold::testing
