// The line scanner and cutter of the reading-quality unwrap: finds the
// lines of a stream block by block and measures each (engine/smart/lines.h).
#include "engine/smart/lines.h"

#include <algorithm>
#include <cstring>

#include "engine/smart/simd.h"

namespace parafold::smart {

namespace {

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_ascii_upper(char c) { return c >= 'A' && c <= 'Z'; }
bool is_ascii_lower(char c) { return c >= 'a' && c <= 'z'; }
unsigned char byte(char c) { return static_cast<unsigned char>(c); }

}  // namespace

bool valid_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        // Runs of ASCII go eight bytes at a time.
        std::uint64_t eight;
        if (i + 8 <= text.size() &&
            (std::memcpy(&eight, text.data() + i, 8), (eight & 0x8080808080808080) == 0)) {
            i += 8;
            continue;
        }
        const unsigned char c = byte(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const std::size_t extra = c >= 0xC2 && c < 0xE0   ? 1
                                  : c >= 0xE0 && c < 0xF0 ? 2
                                  : c >= 0xF0 && c < 0xF5 ? 3
                                                          : 0;
        if (extra == 0 || i + extra >= text.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((byte(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

namespace {

// Columns taken by `text` starting at `column`: a tab moves to the next
// multiple of 8; with `utf8` the continuation bytes of a character are free.
std::int64_t advance(std::string_view text, std::int64_t column, bool utf8) {
    for (char c : text) {
        if (c == '\t') {
            column = (column / 8 + 1) * 8;
        } else if (!utf8 || (byte(c) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return column;
}

// UTF-8 continuation bytes (0x80 to 0xBF): those that do not start a character.
std::uint32_t continuation_bytes(std::string_view text) {
    std::uint32_t count = 0;
    for (char c : text) count += (byte(c) & 0xC0) == 0x80;
    return count;
}

// What a look at every byte of a line finds. The blanks around a line's
// body are ASCII, so what holds for the line holds for its body; only a
// tab may lie outside it.
struct ByteCensus {
    bool tabs = false;               // a tab somewhere in the line
    bool blank_pairs = false;        // two blanks in a row somewhere in the line
    bool high = false;               // a byte from 0x80 up: the line is not pure ASCII
    std::uint32_t continuation = 0;  // UTF-8 continuation bytes (0x80 to 0xBF)
};

// Finds the lines of a block sixty-four bytes at a time. Each window of 64
// bytes is read once into masks of one bit a byte: the line ends (LF and
// CR) and, only in a window that has any, the bytes that need a closer look
// (tabs and bytes from 0x80 up), the bytes from 0x80 up and the UTF-8
// continuation bytes. A line's end and its census then come from
// arithmetic on the masks, however many lines share a window, and a pure
// ASCII line without tabs costs nothing beyond finding its end.
class LineScanner {
public:
    LineScanner(const char* data, const char* end) : end_(end) { load(data); }

    // The first LF or CR from `p` on (`end` when there is none); the census
    // of the bytes before it is added to `found`.
    [[gnu::always_inline]] const char* line_end(const char* p, ByteCensus& found) {
        while (p - base_ >= 64) load(base_ + 64);
        std::uint64_t from = ~std::uint64_t{0} << (p - base_);  // the bits from p on
        for (;;) {
            const std::uint64_t stops = stops_ & from;
            if (stops != 0) {
                const std::uint64_t before = (stops & (0 - stops)) - 1;  // below the first stop
                if (unusual_ & from & before) count(from & before, found);
                found.blank_pairs |= (pairs_ & from & before) != 0;
                return base_ + simd::first_bit(stops);
            }
            if (unusual_ & from) count(from, found);
            found.blank_pairs |= (pairs_ & from) != 0;
            if (end_ - base_ <= 64) return end_;
            load(base_ + 64);
            from = ~std::uint64_t{0};
        }
    }

private:
    void count(std::uint64_t bits, ByteCensus& found) const {
        const std::uint64_t high = high_ & bits;
        found.tabs |= (unusual_ & ~high_ & bits) != 0;
        if (high != 0) {
            found.high = true;
            found.continuation += simd::count_bits(continuation_ & bits);
        }
    }

    // Once a window, so kept out of line: line_end(), once a line, is then
    // small enough to be inlined into the loop over the lines.
    [[gnu::noinline]] void load(const char* at) {
        base_ = at;
        stops_ = unusual_ = high_ = continuation_ = pairs_ = 0;
#if defined(__SSE2__)
        if (end_ - at >= 64) {
            __m128i chunks[4];
            __m128i unusual[4];
            std::uint64_t blanks = 0;
            for (int i = 0; i < 4; ++i) {
                const __m128i chunk = simd::load16(at + 16 * i);
                chunks[i] = chunk;
                const __m128i stop =
                    _mm_or_si128(simd::equal_to(chunk, '\n'), simd::equal_to(chunk, '\r'));
                stops_ |= std::uint64_t{simd::byte_mask(stop)} << (16 * i);
                blanks |= std::uint64_t{simd::byte_mask(simd::equal_to(chunk, ' '))} << (16 * i);
                // A tab's compare sets all its bits; a high byte has its top bit already.
                unusual[i] = _mm_or_si128(chunk, simd::equal_to(chunk, '\t'));
            }
            // Of a run of three blanks, two lie in one window.
            pairs_ = blanks & (blanks >> 1);
            // Most windows of most texts have none: one look at all four.
            if (simd::byte_mask(_mm_or_si128(_mm_or_si128(unusual[0], unusual[1]),
                                             _mm_or_si128(unusual[2], unusual[3]))) == 0)
                return;
            const __m128i top_bits = _mm_set1_epi8(static_cast<char>(0xC0));
            for (int i = 0; i < 4; ++i) {
                const int shift = 16 * i;
                unusual_ |= std::uint64_t{simd::byte_mask(unusual[i])} << shift;
                high_ |= std::uint64_t{simd::byte_mask(chunks[i])} << shift;
                const __m128i top = _mm_and_si128(chunks[i], top_bits);
                continuation_ |= std::uint64_t{simd::byte_mask(
                                     simd::equal_to(top, static_cast<char>(0x80)))}
                                 << shift;
            }
            return;
        }
#endif
        const std::ptrdiff_t n = std::min<std::ptrdiff_t>(end_ - at, 64);
        std::uint64_t blanks = 0;
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            const unsigned char u = byte(at[i]);
            stops_ |= std::uint64_t{u == '\n' || u == '\r'} << i;
            unusual_ |= std::uint64_t{u == '\t' || u >= 0x80} << i;
            high_ |= std::uint64_t{u >= 0x80} << i;
            continuation_ |= std::uint64_t{(u & 0xC0) == 0x80} << i;
            blanks |= std::uint64_t{u == ' '} << i;
        }
        pairs_ = blanks & (blanks >> 1);
    }

    const char* base_ = nullptr;  // the window's first byte
    const char* const end_;
    std::uint64_t stops_ = 0;
    std::uint64_t unusual_ = 0;
    std::uint64_t high_ = 0;
    std::uint64_t continuation_ = 0;
    std::uint64_t pairs_ = 0;  // bytes followed by a blank that are blanks
};

// The census of a line held whole (it has no line end).
ByteCensus census_of(std::string_view text) {
    ByteCensus found;
    const char* const end = text.data() + text.size();
    if (!text.empty()) LineScanner(text.data(), end).line_end(text.data(), found);
    return found;
}

// A line cut into its indentation and its body, the blanks at its end dropped.
struct LineParts {
    std::string_view body;    // empty for a blank line
    std::int64_t indent = 0;  // columns before the body
    bool tabs = false;        // a tab inside the body
};

[[gnu::always_inline]] inline LineParts parts_of(std::string_view text, const ByteCensus& found) {
    const std::string_view trimmed = trim_right(text);
    LineParts parts;
    parts.body = trim_left(trimmed);
    const std::string_view lead = trimmed.substr(0, trimmed.size() - parts.body.size());
    parts.indent = found.tabs ? advance(lead, 0, false) : static_cast<std::int64_t>(lead.size());
    parts.tabs = found.tabs && std::memchr(parts.body.data(), '\t', parts.body.size()) != nullptr;
    return parts;
}

// The column where the body ends, as advance() counts it; without tabs the
// census gives it without another look at the bytes.
std::int64_t body_end(const LineParts& parts, const ByteCensus& found, bool utf8) {
    if (parts.tabs) return advance(parts.body, parts.indent, utf8);
    return parts.indent +
           static_cast<std::int64_t>(parts.body.size() - (utf8 ? found.continuation : 0));
}

std::int32_t clamp_width(std::int64_t width) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(width, long_line_width));
}

bool is_roman(char c) { return c == 'i' || c == 'v' || c == 'x'; }

// A numbered item opens with "12. ", "3) " or "4.2.1. "; a lettered one
// with "(a) ", "(12) ", "(iv) " or "b) "; a bullet with "- ", "* ", "+ " or
// "• ". `width` is set to the marker's bytes. Asked only of a body that
// starts with no letter, or with a letter and ')': measure_line looks
// first, as most lines start with a word.
ListMarker list_marker_of(std::string_view text, std::size_t& width) {
    auto spaced = [&](std::size_t at) { return at < text.size() && is_blank_byte(text[at]); };
    auto digits_at = [&](std::size_t at) {
        std::size_t end = at;
        while (end < text.size() && end - at < 4 && is_digit(text[end])) ++end;
        return end - at >= 1 && end - at <= 3 ? end - at : 0;
    };
    if (is_ascii_lower(text[0])) {  // "b) "
        width = 2;
        return spaced(2) ? ListMarker::letter : ListMarker::none;
    }
    if (std::size_t digits = digits_at(0)) {
        std::size_t at = digits;
        bool levels = false;
        while (at + 1 < text.size() && text[at] == '.' && digits_at(at + 1)) {
            at += 1 + digits_at(at + 1);
            levels = true;
        }
        // A number of several levels ends in a dot too ("4.2.1."): without
        // it, it may be a version number wrapped to the line's start.
        if (at >= text.size() || !(text[at] == '.' || (text[at] == ')' && !levels)))
            return ListMarker::none;
        width = ++at;
        return spaced(at) ? ListMarker::number : ListMarker::none;
    }
    if (text[0] == '(') {
        std::size_t at = 1 + digits_at(1);
        if (at == 1) {
            while (at < text.size() && at < 5 && is_roman(text[at])) ++at;
            if (at == 1 && text.size() > 1 && is_ascii_lower(text[1])) at = 2;
        }
        if (at > 1 && at < text.size() && text[at] == ')' && spaced(at + 1)) {
            width = at + 1;
            return ListMarker::letter;
        }
        return ListMarker::none;
    }
    if ((text[0] == '-' || text[0] == '*' || text[0] == '+') && spaced(1)) {
        width = 1;
        return ListMarker::bullet;
    }
    if (text.substr(0, 3) == "\xE2\x80\xA2" && spaced(3)) {
        width = 3;
        return ListMarker::bullet;
    }
    return ListMarker::none;
}

// Where the first word of a text (its first byte not blank) ends: at the
// next space or tab, or at the text's end.
std::size_t first_word_end(std::string_view body) {
    std::size_t end = 1;
#if defined(__SSE2__)
    // A body of at least 16 bytes has its first word found in one step,
    // unless the word is longer than that.
    if (body.size() >= 16) {
        const __m128i chunk = simd::load16(body.data());
        const std::uint32_t blanks = simd::byte_mask(
            _mm_or_si128(simd::equal_to(chunk, ' '), simd::equal_to(chunk, '\t')));
        if (blanks != 0) return static_cast<std::size_t>(simd::first_bit(blanks));
        end = 16;
    }
#endif
    while (end < body.size() && !is_blank_byte(body[end])) ++end;
    return end;
}

// Quotation marks of 8-bit text (Latin-1 and the Windows code page):
// guillemets, which open or close by the language's custom, and the
// Windows code page's curly quotes.
bool is_quote_byte(unsigned char c) {
    return c == 0xAB || c == 0xBB || c == 0x84 || c == 0x8B || c == 0x9B ||
           (c >= 0x91 && c <= 0x94);
}

// The bytes of a dash at `at`: '-', or – — in UTF-8 or the Windows code page.
std::size_t dash_bytes(std::string_view word, std::size_t at, bool utf8) {
    if (word[at] == '-') return 1;
    if (!utf8) return byte(word[at]) == 0x96 || byte(word[at]) == 0x97 ? 1 : 0;
    return word.substr(at, 2) == "\xE2\x80" && at + 2 < word.size() &&
                   (byte(word[at + 2]) == 0x93 || byte(word[at + 2]) == 0x94)
               ? 3
               : 0;
}

Case case_at(std::string_view text, bool utf8);

// Whether opening bytes start an aside rather than a speech: a bracket, an
// emphasis, or the inverted mark of a question or an exclamation (¿ ¡).
bool opens_aside(std::string_view word, bool utf8) {
    const unsigned char first = byte(word[0]);
    if (first == '(' || first == '[' || first == '_' || first == '*') return true;
    if (!utf8) return first == 0xBF || first == 0xA1;
    return word.substr(0, 2) == "\xC2\xBF" || word.substr(0, 2) == "\xC2\xA1";
}

// Bytes that open a quotation, an emphasis or a speech before a line's
// first letter. Guillemets open a quotation in either direction (French
// « », German » «); dashes open a speech before a capital, as many
// languages set dialogue ("--Oui", "—Oui"). Asked only of a word that
// starts with no letter: measure_line looks first, as most words do.
std::size_t opening_bytes(std::string_view word, bool utf8) {
    std::size_t at = 0;
    while (at < word.size()) {
        const char c = word[at];
        if (c == '"' || c == '\'' || c == '(' || c == '[' || c == '_' || c == '*') {
            ++at;
        } else if (!utf8) {
            if (!is_quote_byte(byte(c)) && byte(c) != 0xBF && byte(c) != 0xA1) break;  // ¿ ¡
            ++at;
        } else if (word.substr(at, 2) == "\xC2\xAB" || word.substr(at, 2) == "\xC2\xBB" ||
                   word.substr(at, 2) == "\xC2\xBF" || word.substr(at, 2) == "\xC2\xA1") {
            at += 2;  // « » ¿ ¡
        } else if (word.substr(at, 2) == "\xE2\x80" && at + 2 < word.size() &&
                   (byte(word[at + 2]) == 0x9C || byte(word[at + 2]) == 0x98 ||
                    byte(word[at + 2]) == 0x9E)) {  // “ ‘ „
            at += 3;
        } else {
            break;
        }
    }
    if (at > 0 || word.empty()) return at;
    std::size_t dashes = 0;
    while (dashes < word.size()) {
        const std::size_t dash = dash_bytes(word, dashes, utf8);
        if (dash == 0) break;
        dashes += dash;
    }
    return dashes > 0 && case_at(word.substr(dashes), utf8) == Case::upper ? dashes : 0;
}

// The case of the letter at the start of `text`: ASCII, and the Latin-1
// letters, in UTF-8 (C3 80 to C3 BF) or, in 8-bit text, as single bytes
// (C0 to FF).
Case case_at(std::string_view text, bool utf8) {
    if (text.empty()) return Case::none;
    if (is_ascii_upper(text[0])) return Case::upper;
    if (is_ascii_lower(text[0])) return Case::lower;
    unsigned char letter = byte(text[0]);
    if (utf8) {
        if (letter != 0xC3 || text.size() < 2) return Case::none;
        letter = static_cast<unsigned char>(byte(text[1]) + 0x40);  // C3 80 is U+00C0
    }
    if (letter >= 0xC0 && letter <= 0xDE && letter != 0xD7) return Case::upper;  // not ×
    if (letter >= 0xDF && letter != 0xF7) return Case::lower;                     // not ÷
    return Case::none;
}

// Whether `text` ends in a closing quotation mark or bracket: one byte
// (also a quotation mark of 8-bit text), or ” ’ “ » « in UTF-8; `size`
// gets its bytes. Asked only of a text that ends in no letter:
// measure_line looks first, as most lines do.
bool ends_closing(std::string_view text, std::size_t& size, bool utf8) {
    const char last = text.back();
    if (last == '"' || last == '\'' || last == ')' || last == ']' || last == '_' ||
        (!utf8 && is_quote_byte(byte(last)))) {
        size = 1;
        return true;
    }
    if (!utf8) return false;
    if (text.size() >= 3 && text.substr(text.size() - 3, 2) == "\xE2\x80" &&
        (byte(last) == 0x9D || byte(last) == 0x99 || byte(last) == 0x9C)) {
        size = 3;
        return true;
    }
    if (text.size() >= 2 &&
        (text.substr(text.size() - 2) == "\xC2\xBB" || text.substr(text.size() - 2) == "\xC2\xAB")) {
        size = 2;
        return true;
    }
    return false;
}

// A word of a capital and small letters, maybe after a '(' ("Section", "(Figure").
bool is_capitalised_word(std::string_view word) {
    if (!word.empty() && word[0] == '(') word.remove_prefix(1);
    if (word.size() < 2 || !is_ascii_upper(word[0])) return false;
    return std::all_of(word.begin() + 1, word.end(), is_ascii_lower);
}

// Numbers that stand for a shape or a name: FNV-1a over its bytes.
constexpr std::uint32_t hash_start = 2166136261u;
std::uint32_t mix(std::uint32_t hash, unsigned char c) { return (hash ^ c) * 16777619u; }

// A label is looked for in this many bytes of a line's start.
constexpr std::size_t label_span = 12;

// Whether the number at `at` ("12", "13-15", "4.2.1") ends as a row's
// label does: with a dot ("2.", "2.--"), before ')' or ':', or before a
// tab or two blanks ("A.2.  ", "512<tab>"), where a number in prose goes
// on with a blank and a word ("1.6.6 and", "1991-1996 by").
bool ends_label(std::string_view body, std::size_t at) {
    bool dot = false;
    for (; at < body.size() && (is_digit(body[at]) || body[at] == '.' || body[at] == '-'); ++at)
        dot = dot || (body[at] == '.' && (at + 1 == body.size() || !is_digit(body[at + 1])));
    if (dot) return true;
    if (at == body.size()) return false;
    const char next = body[at];
    return next == ')' || next == ':' || next == '\t' ||
           (next == ' ' && at + 1 < body.size() && is_blank_byte(body[at + 1]));
}

// The shape of the label before the first number of `body`: a digit, a
// letter alone, a run of blanks or of bytes from 0x80 up stand for their
// kind, other bytes for themselves; a run of two letters is a word, and
// no label. The number must end as a label does.
std::uint16_t label_of(std::string_view body) {
    std::uint32_t hash = hash_start;
    std::size_t i = 0;
    while (i < body.size() && i < label_span) {
        const char c = body[i];
        unsigned char shape = byte(c);
        if (is_digit(c)) {
            if (!ends_label(body, i)) return 0;
            hash = mix(hash, '9');
            return static_cast<std::uint16_t>(((hash >> 16) ^ hash) | 1);
        }
        if (is_ascii_letter(c)) {
            if (i + 1 < body.size() && is_ascii_letter(body[i + 1])) return 0;
            shape = is_ascii_upper(c) ? 'A' : 'a';
            ++i;
        } else if (shape >= 0x80) {
            shape = '#';
            while (i < body.size() && byte(body[i]) >= 0x80) ++i;
        } else if (is_blank_byte(c)) {
            shape = ' ';
            while (i < body.size() && is_blank_byte(body[i])) ++i;
        } else {
            ++i;
        }
        hash = mix(hash, shape);
    }
    return 0;
}

// Whether `body` ends in a number or a range after leader dots, a tab or
// two blanks ("Introduction .......... 7", "Ducatoons    3", "Orders   378-383").
bool ends_in_number(std::string_view body) {
    std::size_t i = body.size();
    while (i > 0 && (is_digit(body[i - 1]) || body[i - 1] == '-')) --i;
    if (i == body.size() || i < 2 || !is_digit(body[i])) return false;
    const char before = body[i - 1];
    const char earlier = body[i - 2];
    return before == '\t' || (before == ' ' && (is_blank_byte(earlier) || earlier == '.')) ||
           (before == '.' && earlier == '.');
}

// Where the first run of three blanks in `body` starts, the gap that parts
// the columns of a table, wider than prose leaves; npos when there is none.
// Thirty-two bytes a step: the blanks of each step, with the last two of
// the step before, show the runs by two shifts.
std::size_t first_gap(std::string_view body) {
    const char* const data = body.data();
    const std::size_t size = body.size();
    std::size_t i = 0;
#if defined(__SSE2__)
    if (size >= 32) {
        std::uint64_t carry = 0;  // the last two bytes of the step before that are blanks
        for (;; i += 32) {
            // The last step ends at the body's end, over bytes the step
            // before looked at: a run across its start was seen there.
            if (i + 32 > size) {
                i = size - 32;
                carry = 0;
            }
            const std::uint64_t blanks =
                simd::byte_mask(simd::equal_to(simd::load16(data + i), ' ')) |
                (std::uint64_t{simd::byte_mask(simd::equal_to(simd::load16(data + i + 16), ' '))}
                 << 16);
            const std::uint64_t with_carry = (blanks << 2) | carry;  // bit k: byte i + k - 2
            const std::uint64_t runs =
                with_carry & (with_carry >> 1) & (with_carry >> 2) & 0xFFFFFFFF;
            if (runs != 0) return i + static_cast<std::size_t>(simd::first_bit(runs)) - 2;
            if (i + 32 == size) return std::string_view::npos;
            carry = blanks >> 30;
        }
    }
    if (size >= 16) {
        // Two steps that overlap cover the body.
        const std::uint64_t blanks =
            simd::byte_mask(simd::equal_to(simd::load16(data), ' ')) |
            (std::uint64_t{simd::byte_mask(simd::equal_to(simd::load16(data + size - 16), ' '))}
             << (size - 16));
        const std::uint64_t runs = blanks & (blanks >> 1) & (blanks >> 2);
        return runs != 0 ? static_cast<std::size_t>(simd::first_bit(runs))
                         : std::string_view::npos;
    }
#endif
    for (int run = 0; i < size; ++i) {
        run = data[i] == ' ' ? run + 1 : 0;
        if (run == 3) return i - 2;
    }
    return std::string_view::npos;
}

// The column where a line's body goes on after its first gap of three
// blanks or a tab (the start of a table's second column); 0: none.
std::int32_t column_after_gap(std::string_view body, std::int64_t indent, bool tabs, bool utf8) {
    std::size_t gap = first_gap(body);
    if (tabs) gap = std::min(gap, body.find('\t'));
    if (gap == std::string_view::npos) return 0;
    std::size_t next = gap;
    while (next < body.size() && is_blank_byte(body[next])) ++next;
    return clamp_width(advance(body.substr(0, next), indent, utf8));
}

// The end of a word of capitals from `at` ('-' and '\'' inside a name).
std::size_t capitals_end(std::string_view body, std::size_t at) {
    std::size_t i = at;
    while (i < body.size() &&
           (is_ascii_upper(body[i]) || (i > at && (body[i] == '-' || body[i] == '\''))))
        ++i;
    return i;
}

// The name in capitals at the start of `body` ending in '.' or ':', of at
// most `name_words` words, the first of two letters or more (see
// LineFacts::speaker); `alone` tells that it is all of the body.
constexpr int name_words = 4;
std::uint32_t speaker_of(std::string_view body, bool& alone) {
    std::uint32_t hash = hash_start;
    std::uint32_t found = 0;
    std::size_t i = 0;
    for (int word = 0; word < name_words; ++word) {
        const std::size_t end = capitals_end(body, i);
        if (end - i < (word == 0 ? 2u : 1u)) break;
        for (std::size_t k = i; k < end; ++k) hash = mix(hash, byte(body[k]));
        i = end;
        if (i < body.size() && (body[i] == '.' || body[i] == ':')) {
            ++i;
            if (i < body.size() && !is_blank_byte(body[i])) break;
            found = hash | 1;
            alone = i == body.size();
        }
        if (i == body.size() || !is_blank_byte(body[i])) break;
        while (i < body.size() && is_blank_byte(body[i])) ++i;
        hash = mix(hash, ' ');
    }
    if (!found) alone = false;
    return found;
}

// Words of at least this many letters are the words a title capitalises.
constexpr std::size_t title_word = 4;

// How many words of `body` of `title_word` letters or more start with a
// capital, when all of them do, one of the shorter words is small ("of",
// "the"), and the last word is not ("and"): a title ends on a word of
// weight. Digits, a comma or a semicolon, ':', '/' or '@' make it a list
// of names, a path or an address instead. 0 otherwise.
std::uint8_t title_words_of(std::string_view body, bool utf8) {
    // Most lines that start with a capital end on a small word: one look
    // at the last word first.
    std::size_t last = body.size();
    while (last > 0 && !is_blank_byte(body[last - 1])) --last;
    while (last < body.size() && !is_letter(body[last])) ++last;
    if (last < body.size() && is_ascii_lower(body[last])) return 0;
    std::uint8_t capitalised = 0;
    bool small_word = false;
    bool last_small = false;
    std::size_t i = 0;
    while (i < body.size()) {
        while (i < body.size() && !is_letter(body[i])) {
            const char c = body[i];
            if (is_digit(c) || c == ',' || c == ';' || c == ':' || c == '/' || c == '@') return 0;
            ++i;
        }
        const std::size_t start = i;
        while (i < body.size() && is_letter(body[i])) ++i;
        if (start == i) break;
        const Case first = case_at(body.substr(start), utf8);
        last_small = first == Case::lower;
        if (i - start < title_word) {
            small_word = small_word || last_small;
            continue;
        }
        if (first != Case::upper) return 0;
        if (capitalised < UINT8_MAX) ++capitalised;
    }
    return small_word && !last_small ? capitalised : 0;
}

std::int32_t columns_of(std::string_view word, bool utf8, bool high) {
    const std::size_t continuation = utf8 && high ? continuation_bytes(word) : 0;
    return clamp_width(static_cast<std::int64_t>(word.size() - continuation));
}

// Inlined into the cutter's loop. The facts are built in place, where
// they are handed on: built aside and copied, their copy would read them
// back while their stores, each of a field, were still on the way, and
// wait for them all.
[[gnu::always_inline]] inline void measure_line(LineFacts& facts, std::string_view text,
                                                const ByteCensus& found, bool utf8,
                                                bool for_layout) {
    static constexpr LineFacts fresh;
    facts = fresh;
    const LineParts parts = parts_of(text, found);
    const std::string_view body = parts.body;
    if (body.empty()) return;
    const std::size_t n = body.size();
    const char last = body[n - 1];
    facts.indent = clamp_width(parts.indent);
    facts.width = clamp_width(body_end(parts, found, utf8));
    facts.byte_width = utf8 && found.high ? clamp_width(body_end(parts, found, false))
                                          : facts.width;
    std::size_t marker = 0;
    // Most lines start with a word, and so with no marker: they make no call.
    if (!is_ascii_letter(body[0]) || (n > 1 && body[1] == ')'))
        facts.list_marker = list_marker_of(body, marker);
    if (facts.list_marker != ListMarker::none) {
        while (marker < body.size() && is_blank_byte(body[marker])) ++marker;
        facts.marker_width = clamp_width(advance(body.substr(0, marker), parts.indent, false) -
                                         parts.indent);
    }
    // A quoted line ("> ", "| ") is measured from the word after its marks.
    std::string_view words = body;
    if (body[0] == '>' || body[0] == '|') {
        std::size_t skip = 0;
        while (skip < body.size() &&
               (body[skip] == '>' || body[skip] == '|' || is_blank_byte(body[skip])))
            ++skip;
        if (skip < body.size() && skip > 1) words = body.substr(skip);
    }
    const std::size_t word_end = first_word_end(words);
    const std::string_view word = words.substr(0, word_end);
    facts.first_word = columns_of(word, utf8, found.high);
    facts.first_unit = facts.first_word;
    // A blank inside the body: after the first word, or among the quote marks.
    const bool multi_word = parts.tabs || word_end < words.size() ||
                            std::memchr(body.data(), ' ', body.size() - words.size()) != nullptr;
    const std::size_t opening = is_ascii_letter(word[0]) ? 0 : opening_bytes(word, utf8);
    const bool opens = opening > 0;
    facts.starts = case_at(word.substr(opening), utf8);
    if (multi_word && (is_ascii_upper(word[0]) || word[0] == '(')) {
        const std::string_view rest = trim_left(words.substr(word_end));
        if (!rest.empty() && is_digit(rest[0])) {
            const std::size_t next_end = first_word_end(rest);
            facts.first_unit = clamp_width(std::int64_t{facts.first_word} + 1 +
                                           columns_of(rest.substr(0, next_end), utf8, found.high));
        }
    }
    std::size_t closing = 0;
    auto ends_sentence = [](char c) { return c == '.' || c == '!' || c == '?'; };
    bool sentence_end = ends_sentence(last);
    bool punct_end = sentence_end || last == ',' || last == ';' || last == ':';
    bool closing_end = false, speech_end = false;
    // "_a line in italics_," opens and closes its own emphasis.
    bool marked = false;
    if ((body[0] == '_' || body[0] == '*') && n >= 2) {
        std::size_t end = n;
        while (end > 1 && (body[end - 1] == '.' || body[end - 1] == ',' || body[end - 1] == ';'))
            --end;
        marked = end >= 2 && body[end - 1] == body[0];
    }
    if (!punct_end && !is_ascii_letter(last) && ends_closing(body, closing, utf8)) {
        punct_end = closing_end = true;
        speech_end = last != ')' && last != ']' && last != '_';
        sentence_end = closing < n && ends_sentence(body[n - 1 - closing]);
    }
    // Most lines start with a word of small letters, which starts no
    // label, no name in capitals and no title; a capitalised word starts
    // no label and no name either.
    bool speaker_alone = false;
    if (!is_ascii_lower(body[0])) {
        const bool word = n >= 2 && is_ascii_letter(body[0]) && is_ascii_letter(body[1]);
        if (!word) facts.label = label_of(body);
        if (!word || is_ascii_upper(body[1])) facts.speaker = speaker_of(body, speaker_alone);
        if (facts.starts == Case::upper && !(word && is_ascii_upper(body[1])))
            facts.title_words = title_words_of(body, utf8);  // not a line in capitals
    }
    // A gap of three blanks holds two in a row; most lines have none.
    if (found.blank_pairs || parts.tabs) {
        facts.column = static_cast<std::uint16_t>(std::min<std::int32_t>(
            column_after_gap(body, parts.indent, parts.tabs, utf8), UINT16_MAX));
    }
    bool ends_capital_word = false;
    if (for_layout && is_ascii_lower(last)) {
        std::size_t start = n - 1;
        while (start > 0 && !is_blank_byte(body[start - 1])) --start;
        ends_capital_word = is_capitalised_word(body.substr(start));
    }
    facts.blank = false;
    facts.multi_word = multi_word;
    facts.high = found.high;
    facts.opens = opens;
    facts.speech_opens = opens && !opens_aside(word, utf8);
    facts.dash_opens = opens && dash_bytes(word, 0, utf8) > 0;
    facts.marked = marked;
    facts.punct_end = punct_end;
    facts.sentence_end = sentence_end;
    facts.colon_end = last == ':';
    facts.question_end = last == '?';
    facts.closing_end = closing_end;
    facts.speech_end = speech_end;
    facts.hyphen_end = n >= 2 && last == '-' && is_letter(body[n - 2]);
    facts.starts_letter = is_letter(body[0]);
    facts.ends_capital_word = ends_capital_word;
    facts.starts_digit = is_digit(word[0]);
    facts.number_end = is_digit(last) && ends_in_number(body);
    facts.speaker_alone = speaker_alone;
}

void hand_on(LineSink sink, void* context, CutLine::Kind kind, std::string_view text,
             bool has_end) {
    CutLine piece;
    piece.kind = kind;
    piece.text = text;
    piece.has_end = has_end;
    sink(context, piece);
}

// A line longer than `max_line_bytes` is measured by its head alone, as a
// line too wide for any width.
void hand_on_long_head(LineSink sink, void* context, std::string_view head, bool utf8,
                       bool for_layout) {
    CutLine piece;
    piece.kind = CutLine::Kind::long_head;
    piece.text = head;
    measure_line(piece.facts, head, census_of(head), utf8, for_layout);
    piece.facts.width = piece.facts.byte_width = long_line_width;
    piece.facts.hyphen_end = false;
    piece.facts.sentence_end = piece.facts.punct_end = false;
    sink(context, piece);
}

void add_to_open_line(LineCutter& cutter, std::string_view bytes, bool utf8, LineSink sink,
                      void* context) {
    if (cutter.overflowing) {
        if (!bytes.empty()) hand_on(sink, context, CutLine::Kind::long_rest, bytes, false);
        return;
    }
    const std::size_t room = max_line_bytes - cutter.open.size();
    if (bytes.size() <= room) {
        cutter.open.append(bytes);
        return;
    }
    cutter.open.append(bytes.substr(0, room));
    hand_on_long_head(sink, context, cutter.open, utf8, cutter.for_layout);
    cutter.open.clear();
    cutter.overflowing = true;
    hand_on(sink, context, CutLine::Kind::long_rest, bytes.substr(room), false);
}

void end_open_line(LineCutter& cutter, bool has_end, bool utf8, LineSink sink, void* context) {
    if (cutter.overflowing) {
        hand_on(sink, context, CutLine::Kind::long_end, {}, has_end);
        cutter.overflowing = false;
    } else if (has_end || !cutter.open.empty()) {
        // The finished line moves to `done`, so that `open` may take the
        // next unfinished line while the sink still looks at this one.
        cutter.done.swap(cutter.open);
        CutLine piece;
        piece.text = cutter.done;
        measure_line(piece.facts, cutter.done, census_of(cutter.done), utf8, cutter.for_layout);
        piece.has_end = has_end;
        sink(context, piece);
    }
    cutter.open.clear();
}

}  // namespace

void cut_lines(LineCutter& cutter, const char* data, std::size_t size, bool utf8,
               LineSink sink, void* context) {
    const char* p = data;
    const char* const end = data + size;
    if (cutter.after_cr && p < end) {
        if (*p == '\n') ++p;
        cutter.after_cr = false;
    }
    if (p == end) return;
    LineScanner scanner(p, end);
    CutLine piece;
    piece.has_end = true;
    while (p < end) {
        ByteCensus found;
        const char* const stop = scanner.line_end(p, found);
        const std::string_view bytes(p, static_cast<std::size_t>(stop - p));
        if (stop == end) {
            add_to_open_line(cutter, bytes, utf8, sink, context);
            break;
        }
        // A line wholly inside the block goes to the sink without a copy.
        if (cutter.open.empty() && !cutter.overflowing && bytes.size() <= max_line_bytes) {
            piece.text = bytes;
            measure_line(piece.facts, bytes, found, utf8, cutter.for_layout);
            sink(context, piece);
        } else {
            add_to_open_line(cutter, bytes, utf8, sink, context);
            end_open_line(cutter, true, utf8, sink, context);
        }
        p = stop + 1;
        if (*stop == '\r') {
            if (p == end) {
                cutter.after_cr = true;
            } else if (*p == '\n') {
                ++p;
            }
        }
    }
}

void end_lines(LineCutter& cutter, bool utf8, LineSink sink, void* context) {
    end_open_line(cutter, false, utf8, sink, context);
}

}  // namespace parafold::smart
