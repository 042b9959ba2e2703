#include "engine/io/utf16.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace parafold {
namespace {

constexpr std::uint32_t replacement = 0xFFFD;

bool is_high_surrogate(std::uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(std::uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Writes the UTF-8 bytes of `code` (up to U+10FFFF, surrogates included)
// at `w`; returns the end.
char* put_utf8(std::uint32_t code, char* w) {
    if (code < 0x80) {
        *w++ = static_cast<char>(code);
    } else if (code < 0x800) {
        *w++ = static_cast<char>(0xC0 | code >> 6);
        *w++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *w++ = static_cast<char>(0xE0 | code >> 12);
        *w++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *w++ = static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *w++ = static_cast<char>(0xF0 | code >> 18);
        *w++ = static_cast<char>(0x80 | (code >> 12 & 0x3F));
        *w++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *w++ = static_cast<char>(0x80 | (code & 0x3F));
    }
    return w;
}

char* put_unit(std::uint32_t unit, ByteOrder order, char* w) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    *w++ = order == ByteOrder::little_endian ? low : high;
    *w++ = order == ByteOrder::little_endian ? high : low;
    return w;
}

char* put_utf16(std::uint32_t code, ByteOrder order, char* w) {
    if (code < 0x10000) return put_unit(code, order, w);
    code -= 0x10000;
    w = put_unit(0xD800 | code >> 10, order, w);
    return put_unit(0xDC00 | (code & 0x3FF), order, w);
}

// Takes one more unit; writes what it completes.
char* take_unit(Utf16Decoder& decoder, std::uint32_t unit, char* w) {
    if (decoder.high_unit != 0) {
        const std::uint32_t high = decoder.high_unit;
        decoder.high_unit = 0;
        if (is_low_surrogate(unit))
            return put_utf8(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00), w);
        w = put_utf8(high, w);  // alone: written as it is
    }
    if (is_high_surrogate(unit)) {
        decoder.high_unit = unit;
        return w;
    }
    return put_utf8(unit, w);
}

// The character that starts at `p`, of which `size` bytes are at hand, into
// `code`. Returns the bytes it takes; 0 when the bytes at hand are the
// start of a character that needs more (never with `at_end`). A byte that
// starts no character takes 1 and gives U+FFFD. Surrogates are accepted,
// since the decoder writes unpaired ones this way.
std::size_t next_code(const unsigned char* p, std::size_t size, bool at_end,
                      std::uint32_t& code) {
    const unsigned char lead = p[0];
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    std::size_t length = 0;
    std::uint32_t lowest = 0;  // below it the form is overlong
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, lowest = 0x10000;
    } else {
        code = replacement;
        return 1;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (k == size) {
            if (!at_end) return 0;
            code = replacement;
            return 1;
        }
        if ((p[k] & 0xC0) != 0x80) {
            code = replacement;
            return 1;
        }
        code = code << 6 | (p[k] & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF) {
        code = replacement;
        return 1;
    }
    return length;
}

}  // namespace

bool utf16_mark(std::string_view start, ByteOrder& order) {
    if (start.substr(0, 2) == "\xFF\xFE") {
        order = ByteOrder::little_endian;
        return true;
    }
    if (start.substr(0, 2) == "\xFE\xFF") {
        order = ByteOrder::big_endian;
        return true;
    }
    return false;
}

std::string_view utf16_mark_of(ByteOrder order) {
    return order == ByteOrder::little_endian ? "\xFF\xFE" : "\xFE\xFF";
}

void decode_utf16(Utf16Decoder& decoder, const char* data, std::size_t size, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* const end = p + size;
    // Each unit gives at most three bytes, a pair at most four, a surrogate
    // left waiting at most three more.
    const std::size_t start = out.size();
    out.resize(start + (size / 2 + 2) * 3);
    char* w = out.data() + start;
    const bool little = decoder.order == ByteOrder::little_endian;
    auto unit_of = [little](unsigned first, unsigned second) {
        return little ? first | second << 8 : first << 8 | second;
    };
    if (decoder.odd_byte >= 0 && p < end) {
        w = take_unit(decoder, unit_of(static_cast<unsigned>(decoder.odd_byte), *p++), w);
        decoder.odd_byte = -1;
    }
    for (; end - p >= 2; p += 2) {
        const std::uint32_t unit = unit_of(p[0], p[1]);
        if (unit < 0x80 && decoder.high_unit == 0) {
            *w++ = static_cast<char>(unit);
        } else {
            w = take_unit(decoder, unit, w);
        }
    }
    if (p < end) decoder.odd_byte = *p;
    out.resize(static_cast<std::size_t>(w - out.data()));
}

int finish_utf16(Utf16Decoder& decoder, std::string& out) {
    if (decoder.high_unit != 0) {
        char bytes[4];
        out.append(bytes, put_utf8(decoder.high_unit, bytes));
        decoder.high_unit = 0;
    }
    const int odd = decoder.odd_byte;
    decoder.odd_byte = -1;
    return odd;
}

void encode_utf16(Utf16Encoder& encoder, const char* data, std::size_t size, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* const end = p + size;
    // Each byte gives at most one unit; a character held back from the last
    // call at most two more.
    const std::size_t start = out.size();
    out.resize(start + 2 * size + 8);
    char* w = out.data() + start;
    std::uint32_t code = 0;
    // A character begun in the last call: complete it with the bytes that
    // follow. A byte that turns out to start nothing leaves the rest held.
    while (encoder.held_size > 0) {
        unsigned char joined[8];
        std::size_t have = 0;
        for (; have < encoder.held_size; ++have) joined[have] = encoder.held[have];
        const std::size_t added = std::min<std::size_t>(3, static_cast<std::size_t>(end - p));
        for (std::size_t k = 0; k < added; ++k) joined[have++] = p[k];
        const std::size_t took = next_code(joined, have, false, code);
        if (took == 0) {  // still unfinished: everything is held
            for (std::size_t k = encoder.held_size; k < have; ++k) encoder.held[k] = joined[k];
            encoder.held_size = have;
            p = end;
            break;
        }
        w = put_utf16(code, encoder.order, w);
        if (took >= encoder.held_size) {
            p += took - encoder.held_size;
            encoder.held_size = 0;
        } else {
            encoder.held_size -= took;
            for (std::size_t k = 0; k < encoder.held_size; ++k) encoder.held[k] = joined[took + k];
        }
    }
    while (p < end) {
        if (*p < 0x80) {
            w = put_unit(*p++, encoder.order, w);
            continue;
        }
        const std::size_t took = next_code(p, static_cast<std::size_t>(end - p), false, code);
        if (took == 0) {
            while (p < end) encoder.held[encoder.held_size++] = *p++;
            break;
        }
        w = put_utf16(code, encoder.order, w);
        p += took;
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
}

void finish_encode_utf16(Utf16Encoder& encoder, std::string& out) {
    if (encoder.held_size == 0) return;
    char unit[2];
    put_unit(replacement, encoder.order, unit);
    out.append(unit, 2);
    encoder.held_size = 0;
}

namespace {

struct DecodingState {
    DecodingState(BlockSource& below_, Utf16Found& found_) : below(below_), found(found_) {}

    BlockSource& below;
    Utf16Found& found;
    bool started = false;  // the first block was read and looked at
    bool ended = false;    // `below` gave its last byte
    Utf16Decoder decoder;
    std::string text;      // decoded, from `given` on not yet handed out
    std::size_t given = 0;
    std::unique_ptr<char[]> raw;

    static constexpr std::size_t raw_bytes = 64 << 10;

    // Reads one more block of UTF-16 and decodes it.
    void decode_more(const char* data, std::size_t got, bool last) {
        text.erase(0, given);
        given = 0;
        decode_utf16(decoder, data, got, text);
        if (last) {
            ended = true;
            found.odd_byte = finish_utf16(decoder, text);
        }
    }
};

}  // namespace

BlockSource utf16_decoding(BlockSource& below, Utf16Found& found) {
    auto state = std::make_shared<DecodingState>(below, found);
    BlockSource layer{
        [state](char* block, std::size_t size) -> std::size_t {
            DecodingState& s = *state;
            if (!s.started) {
                // The first block tells: with a mark it is decoded, without
                // one it goes to the caller as it is, as everything after it.
                s.started = true;
                const std::size_t got = s.below.read(block, size);
                s.found = Utf16Found{};
                s.found.utf16 = utf16_mark({block, got}, s.found.order);
                if (!s.found.utf16) return got;
                s.decoder = Utf16Decoder{};
                s.decoder.order = s.found.order;
                s.text.clear();
                s.given = 0;
                s.decode_more(block + utf16_mark_bytes, got - utf16_mark_bytes, got < size);
            } else if (!s.found.utf16) {
                return s.below.read(block, size);
            }
            while (s.text.size() - s.given < size && !s.ended) {
                if (!s.raw) s.raw.reset(new char[DecodingState::raw_bytes]);
                const std::size_t got = s.below.read(s.raw.get(), DecodingState::raw_bytes);
                s.decode_more(s.raw.get(), got, got < DecodingState::raw_bytes);
            }
            const std::size_t n = std::min(size, s.text.size() - s.given);
            std::memcpy(block, s.text.data() + s.given, n);
            s.given += n;
            return n;
        },
        [state] { return state->below.failed(); },
        {}};
    if (below.rewind) {
        layer.rewind = [state] {
            if (!rewound(state->below)) return false;
            state->started = state->ended = false;
            return true;
        };
    }
    return layer;
}

BlockSink utf16_encoding(BlockSink& below, const Utf16Found& found) {
    struct EncodingState {
        EncodingState(BlockSink& below_, const Utf16Found& found_) : below(below_), found(found_) {}

        BlockSink& below;
        const Utf16Found& found;
        bool marked = false;
        Utf16Encoder encoder;
        std::string out;

        bool write(const char* data, std::size_t size, bool last) {
            out.clear();
            if (!marked) {
                out = utf16_mark_of(found.order);
                encoder.order = found.order;
                marked = true;
            }
            encode_utf16(encoder, data, size, out);
            if (last) {
                finish_encode_utf16(encoder, out);
                if (found.odd_byte >= 0) out += static_cast<char>(found.odd_byte);
            }
            return out.empty() || below.write(out.data(), out.size());
        }
    };
    auto state = std::make_shared<EncodingState>(below, found);
    return {[state](const char* data, std::size_t size) {
                if (!state->found.utf16) return state->below.write(data, size);
                return state->write(data, size, false);
            },
            [state] {
                // Even an empty text gets its mark.
                if (state->found.utf16 && !state->write(nullptr, 0, true)) return false;
                return !state->below.finish || state->below.finish();
            }};
}

}  // namespace parafold
