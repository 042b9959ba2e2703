#include "ui/piecewise.h"

#include <algorithm>
#include <cstring>

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

}  // namespace

const PiecewiseTransform piecewise_copy{nullptr, any_cut};
// The overloads that write over a buffer of the caller's.
const PiecewiseTransform piecewise_two_lines{kindle_two_lines, two_lines_cut};
const PiecewiseTransform piecewise_indent{kindle_indent, indent_cut};

Streamed transform_stream(BlockSource& in, BlockSink& out, const PiecewiseTransform& how,
                          std::size_t block_bytes) {
    // Bytes read but not yet written are pending[0, filled); only the bytes
    // after `searched` may hold a cut not yet found, so the search never goes
    // over a byte twice. Both buffers only grow and are reused from piece to
    // piece, so that a block costs neither an allocation nor clearing memory.
    std::string pending;
    std::size_t filled = 0;
    std::size_t searched = 0;
    std::string result;
    for (;;) {
        if (pending.size() - filled < block_bytes) {
            pending.resize(std::max(filled + block_bytes, 2 * pending.size()));
        }
        const std::size_t got = in.read(pending.data() + filled, block_bytes);
        filled += got;
        const bool at_end = got < block_bytes;
        if (at_end && in.failed()) return Streamed::read_failed;

        const std::string_view read(pending.data(), filled);
        const std::size_t cut = at_end ? filled : how.last_cut(read, searched);
        if (cut != 0) {
            const std::string_view piece = read.substr(0, cut);
            if (how.transform != nullptr) how.transform(piece, result);
            const std::string_view written = how.transform != nullptr ? result : piece;
            if (!written.empty() && !out.write(written.data(), written.size())) {
                return Streamed::write_failed;
            }
            std::memmove(pending.data(), pending.data() + cut, filled - cut);
            filled -= cut;
        }
        searched = filled;
        if (at_end) {
            return out.finish && !out.finish() ? Streamed::write_failed : Streamed::whole;
        }
    }
}

}  // namespace parafold
