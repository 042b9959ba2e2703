#include "ui/piecewise.h"

#include <algorithm>

#include "ereader/transforms.h"

namespace parafold {
namespace {

// The greatest p in [max(from, 1), size) where text[p - 1] is LF and
// `keeps_apart(text[p])` holds.
template <typename KeepsApart>
std::size_t last_cut_after_lf(std::string_view text, std::size_t from, KeepsApart keeps_apart) {
    for (std::size_t p = text.size(); p-- > std::max<std::size_t>(from, 1);)
        if (text[p - 1] == '\n' && keeps_apart(text[p])) return p;
    return 0;
}

std::size_t any_cut(std::string_view text, std::size_t from) {
    return text.size() > from ? text.size() : 0;
}

std::size_t indent_cut(std::string_view text, std::size_t from) {
    return last_cut_after_lf(text, from, [](char) { return true; });
}

std::size_t two_lines_cut(std::string_view text, std::size_t from) {
    return last_cut_after_lf(text, from, [](char next) { return next != '\n' && next != '\r'; });
}

bool write_all(std::FILE* out, std::string_view bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

}  // namespace

const PiecewiseTransform piecewise_copy{nullptr, any_cut};
const PiecewiseTransform piecewise_two_lines{kindle_two_lines, two_lines_cut};
const PiecewiseTransform piecewise_indent{kindle_indent, indent_cut};

Streamed transform_stream(std::FILE* in, std::FILE* out, const PiecewiseTransform& how,
                          std::size_t block_bytes) {
    // Bytes read but not yet written; only the bytes after `searched` may
    // hold a cut not yet found, so the search never goes over a byte twice.
    std::string pending;
    std::size_t searched = 0;
    for (;;) {
        const std::size_t had = pending.size();
        pending.resize(had + block_bytes);
        const std::size_t got = std::fread(pending.data() + had, 1, block_bytes, in);
        pending.resize(had + got);
        const bool at_end = got < block_bytes;
        if (at_end && std::ferror(in)) return Streamed::read_failed;

        const std::size_t cut = at_end ? pending.size() : how.last_cut(pending, searched);
        if (cut != 0) {
            const std::string_view piece = std::string_view(pending).substr(0, cut);
            const bool written =
                how.transform ? write_all(out, how.transform(piece)) : write_all(out, piece);
            if (!written) return Streamed::write_failed;
            pending.erase(0, cut);
        }
        searched = pending.size();
        if (at_end) return Streamed::whole;
    }
}

}  // namespace parafold
