#include "ereader/transforms.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace parafold {
namespace {

// The first `c` in [first, last), or last. Looks at a few bytes itself before
// it calls memchr, which costs more than it saves on short distances.
const char* find_byte(const char* first, const char* last, char c) {
    const char* const near_end = last - first > 16 ? first + 16 : last;
    for (; first < near_end; ++first) {
        if (*first == c) return first;
    }
    if (first == last) return last;
    const void* found = std::memchr(first, c, static_cast<std::size_t>(last - first));
    return found != nullptr ? static_cast<const char*>(found) : last;
}

// The first p in [first, last) where p[0] == a and p[1] == b, or last. Looking
// for two bytes at once passes over far fewer false starts than looking for
// the first alone.
const char* find_pair(const char* first, const char* last, char a, char b) {
#if defined(__SSE2__)
    const __m128i want_a = _mm_set1_epi8(a);
    const __m128i want_b = _mm_set1_epi8(b);
    for (; last - first >= 17; first += 16) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 1));
        const unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(here, want_a), _mm_cmpeq_epi8(next, want_b))));
        if (hits != 0) return first + std::countr_zero(hits);
    }
#endif
    for (; last - first >= 2; ++first) {
        if (first[0] == a && first[1] == b) return first;
    }
    return last;
}

// Copies [first, last) to `out` and returns the end of the copy. Short runs
// are copied by hand, where a call to memcpy would cost more than the bytes.
char* put(const char* first, const char* last, char* out) {
    const std::size_t n = static_cast<std::size_t>(last - first);
    if (n > 16) {
        std::memcpy(out, first, n);
        return out + n;
    }
    for (std::size_t i = 0; i < n; ++i) out[i] = first[i];
    return out + n;
}

// Calls found(at) for every occurrence of `search` (not empty) in `text`,
// left to right and never overlapping: after an occurrence the scan starts
// again just behind it. Knuth-Morris-Pratt keeps the scan linear whatever
// the search text; while nothing is matched, the scan jumps straight to the
// next place where the search text's first one or two bytes stand.
template <typename Found>
void for_each_occurrence(std::string_view text, std::string_view search, Found found) {
    const std::size_t m = search.size();
    // border[k]: length of the longest proper border of the first k bytes.
    std::vector<std::size_t> border(m + 1, 0);
    for (std::size_t k = 1, b = 0; k < m; ++k) {
        while (b > 0 && search[k] != search[b]) b = border[b];
        if (search[k] == search[b]) ++b;
        border[k + 1] = b;
    }

    const char* const data = text.data();
    const std::size_t n = text.size();
    std::size_t matched = 0;
    for (std::size_t i = 0; i < n;) {
        if (matched == 0) {
            const char* start = m == 1 ? find_byte(data + i, data + n, search[0])
                                       : find_pair(data + i, data + n, search[0], search[1]);
            i = static_cast<std::size_t>(start - data);
            if (i == n) return;
        }
        const char c = data[i++];
        while (matched > 0 && c != search[matched]) matched = border[matched];
        if (c == search[matched]) ++matched;
        if (matched == m) {
            found(i - m);
            matched = 0;
        }
    }
}

// A delimiter set as a table of bytes, plus the byte itself when the set
// holds only one, so that memchr can look for it.
struct Delimiters {
    std::array<bool, 256> is_delimiter{};
    int only = -1;
};

Delimiters delimiters_of(std::string_view bytes) {
    Delimiters set;
    for (const char d : bytes) set.is_delimiter[static_cast<unsigned char>(d)] = true;
    if (!bytes.empty() && bytes.find_first_not_of(bytes[0]) == std::string_view::npos) {
        set.only = static_cast<unsigned char>(bytes[0]);
    }
    return set;
}

// Calls token(piece) for every non-empty run of bytes between delimiters.
template <typename Token>
void for_each_token(std::string_view text, const Delimiters& set, Token token) {
    const char* start = text.data();
    const char* const end = start + text.size();
    const auto emit = [&](const char* stop) {
        if (stop > start) token(std::string_view(start, static_cast<std::size_t>(stop - start)));
        start = stop + 1;
    };
    if (set.only >= 0) {
        while (start < end) emit(find_byte(start, end, static_cast<char>(set.only)));
        return;
    }
    for (const char* p = start; p < end; ++p) {
        if (set.is_delimiter[static_cast<unsigned char>(*p)]) emit(p);
    }
    emit(end);
}

constexpr std::string_view kIndent = "     ";

}  // namespace

std::string replace_all(std::string_view text, std::string_view search,
                        std::string_view replacement) {
    // Ignore an empty search text: it would match everywhere without end.
    if (search == replacement || search.empty()) return std::string(text);

    // Allocate the result once: the text's size when it cannot grow, else the
    // exact size, counting the occurrences first.
    std::size_t size = text.size();
    if (replacement.size() > search.size()) {
        std::size_t count = 0;
        if (search.size() == 1) {
            count = static_cast<std::size_t>(std::count(text.begin(), text.end(), search[0]));
        } else {
            for_each_occurrence(text, search, [&](std::size_t) { ++count; });
        }
        size += count * (replacement.size() - search.size());
    }
    std::string out(size, '\0');
    char* o = out.data();
    const char* copied = text.data();
    for_each_occurrence(text, search, [&](std::size_t at) {
        o = put(copied, text.data() + at, o);
        o = put(replacement.data(), replacement.data() + replacement.size(), o);
        copied = text.data() + at + search.size();
    });
    o = put(copied, text.data() + text.size(), o);
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

std::vector<std::string> split_on_any(std::string_view text, std::string_view delimiters) {
    const Delimiters set = delimiters_of(delimiters);
    std::size_t count = 0;
    for_each_token(text, set, [&](std::string_view) { ++count; });
    std::vector<std::string> tokens;
    tokens.reserve(count);
    for_each_token(text, set,
                   [&](std::string_view token) { tokens.emplace_back(token); });
    return tokens;
}

// The repeated passes have these fixed points, reached here in one pass that
// writes each byte once:
//   - a run of CRs that ends at an LF disappears; any other CR stays;
//   - an LF right behind a written LF is dropped, so a run of LFs (once such
//     CRs are gone) is one LF;
//   - a space right in front of a written LF is taken back, one per LF.
// The last written byte is always the last byte of the collapsed text, since
// a space is only taken back for an LF that replaces it, so it alone decides
// whether an LF continues a run.
std::string kindle_two_lines(std::string_view text) {
    std::string out(text.size(), '\0');  // never longer than the text
    char* const begin = out.data();
    char* o = begin;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char c = *p;
        if (c == '\r') {
            const char* run_end = p + 1;
            while (run_end < end && *run_end == '\r') ++run_end;
            if (run_end == end || *run_end != '\n') {
                o = std::copy(p, run_end, o);
            }
            p = run_end;
            continue;
        }
        ++p;
        if (c == '\n') {
            if (o != begin && o[-1] == '\n') continue;
            if (o != begin && o[-1] == ' ') --o;
        }
        *o++ = c;
    }
    out.resize(static_cast<std::size_t>(o - begin));
    return out;
}

std::string kindle_indent(std::string_view text) {
    const Delimiters line_end = delimiters_of("\n");
    std::size_t size = 0;
    for_each_token(text, line_end,
                   [&](std::string_view line) { size += kIndent.size() + line.size() + 1; });
    std::string out(size, '\0');
    char* o = out.data();
    for_each_token(text, line_end, [&](std::string_view line) {
        o = put(kIndent.data(), kIndent.data() + kIndent.size(), o);
        o = put(line.data(), line.data() + line.size(), o);
        *o++ = '\n';
    });
    return out;
}

}  // namespace parafold
