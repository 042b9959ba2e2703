// A text in UTF-16 with its byte-order mark, as Windows editors save
// "Unicode" text, for tests of the roads that carry it through.
#pragma once

#include <string>

#include "engine/io/utf16.h"

namespace parafold::testing {

// `utf8` in UTF-16 with the mark of `order`.
inline std::string utf16_text(const std::string& utf8,
                              ByteOrder order = ByteOrder::little_endian) {
    Utf16Encoder encoder;
    encoder.order = order;
    std::string out(utf16_mark_of(order));
    encode_utf16(encoder, utf8.data(), utf8.size(), out);
    finish_encode_utf16(encoder, out);
    return out;
}

}  // namespace parafold::testing
