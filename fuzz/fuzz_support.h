// What every fuzz target shares: turning the fuzzer's bytes into texts and
// parameters, scratch files, and stopping loudly on a difference.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/io/utf16.h"

namespace parafold::fuzz {

// Prints what differed and aborts, so that libFuzzer keeps the input as a
// crash and the run fails.
[[noreturn]] inline void difference(const char* what, std::string_view expected,
                                    std::string_view got) {
    auto show = [](std::string_view text) {
        std::string shown;
        for (const unsigned char c : text.substr(0, 200)) {
            if (c >= 0x20 && c < 0x7F && c != '\\') {
                shown += static_cast<char>(c);
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                shown += hex;
            }
        }
        return shown + (text.size() > 200 ? "..." : "") + " (" + std::to_string(text.size()) +
               " bytes)";
    };
    std::fprintf(stderr, "DIFFERENCE in %s\n  expected: %s\n  got:      %s\n", what,
                 show(expected).c_str(), show(got).c_str());
    std::abort();
}

inline void expect_equal(const char* what, std::string_view expected, std::string_view got) {
    if (expected != got) difference(what, expected, got);
}

inline void expect_equal(const char* what, std::int64_t expected, std::int64_t got) {
    if (expected != got) difference(what, std::to_string(expected), std::to_string(got));
}

// A text from the fuzzer's bytes. Mostly the bytes as they come; sometimes
// built from runs, so that lines far longer than the fuzzer's input size
// (past the estimates' 99,999-byte pieces, say) are reached too.
// `limit` caps the texts built from runs, for targets whose references are
// slow on long texts.
inline std::string fuzz_text(FuzzedDataProvider& data, std::size_t limit = 250'000) {
    if (data.ConsumeIntegralInRange(0, 3) != 0) return data.ConsumeRandomLengthString();
    std::string text;
    const int runs = data.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < runs && data.remaining_bytes() > 0; ++i) {
        const std::string unit = data.ConsumeRandomLengthString(8);
        const std::size_t times = data.ConsumeBool()
                                      ? data.ConsumeIntegralInRange<std::size_t>(0, 300)
                                      : data.ConsumeIntegralInRange<std::size_t>(0, 110'000);
        if (unit.empty()) continue;
        for (std::size_t t = 0; t < times && text.size() < limit; ++t) text += unit;
    }
    text += data.ConsumeRandomLengthString();
    return text;
}

// The bytes of `text` mapped onto a few that matter to the text operations,
// so that searches find something: letters, space, CR, LF, NUL and TAB.
inline std::string small_alphabet(std::string text) {
    static constexpr char alphabet[] = {'a', 'b', ' ', '\r', '\n', '\n', '\0', '\t'};
    for (char& c : text) c = alphabet[static_cast<unsigned char>(c) % sizeof alphabet];
    return text;
}

// Cut points for feeding a text in blocks: a list of block sizes, each at
// least 1, that the caller cycles through.
inline std::string fuzz_blocks(FuzzedDataProvider& data) {
    std::string sizes = data.ConsumeBytesAsString(data.ConsumeIntegralInRange(0, 6));
    if (sizes.empty()) sizes.push_back('\xFF');
    return sizes;
}

// Block size number `index` of `sizes`: 1 to 256, with 0 standing for
// "everything left".
inline std::size_t block_size(const std::string& sizes, std::size_t index, std::size_t left) {
    const unsigned char size = static_cast<unsigned char>(sizes[index % sizes.size()]);
    return size == 0 ? left : size;
}

// Whether a text is read in another form than 8-bit with LF line ends (see
// engine/io/text_form.h): it starts with a UTF-16 mark, or it has CRs and
// no LF at all.
inline bool looks_like_another_form(std::string_view text) {
    const std::string_view start = text.substr(0, 2);
    return start == "\xFF\xFE" || start == "\xFE\xFF" ||
           (text.find('\r') != std::string_view::npos && text.find('\n') == std::string_view::npos);
}

// A folder of this process's own for scratch files, created on first use.
inline const std::string& scratch_dir() {
    static const std::string dir = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/parafold-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        return pattern;
    }();
    return dir;
}

inline std::string scratch_file(const char* name) { return scratch_dir() + "/" + name; }

inline void write_bytes(const std::string& path, std::string_view bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

// The file's bytes; "<missing>" when it cannot be opened.
inline std::string read_bytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return "<missing>";
    std::string bytes;
    char block[65536];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0;) {
        bytes.append(block, got);
    }
    std::fclose(file);
    return bytes;
}

// A text in its own form: UTF-16 with a mark as UTF-8, old Mac text (CRs
// and no LF) with LFs.
struct Formed {
    std::string text;
    Utf16Found utf16;
};

inline Formed read_form(const std::string& bytes) {
    Formed formed;
    if (utf16_mark(bytes, formed.utf16.order)) {
        formed.utf16.utf16 = true;
        Utf16Decoder decoder;
        decoder.order = formed.utf16.order;
        decode_utf16(decoder, bytes.data() + 2, bytes.size() - 2, formed.text);
        formed.utf16.odd_byte = finish_utf16(decoder, formed.text);
    } else {
        formed.text = bytes;
    }
    if (formed.text.find('\r') != std::string::npos && formed.text.find('\n') == std::string::npos) {
        for (char& c : formed.text) c = c == '\r' ? '\n' : c;
    }
    return formed;
}

inline std::string write_form(const std::string& text, const Formed& formed) {
    if (!formed.utf16.utf16) return text;
    Utf16Encoder encoder;
    encoder.order = formed.utf16.order;
    std::string out(utf16_mark_of(encoder.order));
    encode_utf16(encoder, text.data(), text.size(), out);
    finish_encode_utf16(encoder, out);
    if (formed.utf16.odd_byte >= 0) out += static_cast<char>(formed.utf16.odd_byte);
    return out;
}

}  // namespace parafold::fuzz
