#include "engine/io/text_form.h"

#include <cstring>
#include <memory>

namespace parafold {
namespace {

// Looks for old Mac line ends: a first block with a CR and no LF, and no LF
// after it either.
struct LineEndLook {
    bool looked = false;  // the first block was seen
    bool cr = false, lf = false;

    bool decided() const { return looked && (lf || !cr); }

    void take(const char* data, std::size_t size) {
        if (decided() || size == 0) return;
        if (!looked) cr = std::memchr(data, '\r', size) != nullptr;
        looked = true;
        lf = std::memchr(data, '\n', size) != nullptr;
    }
};

// A layer that gives every CR of `below` as an LF.
BlockSource crs_as_lfs(BlockSource& below) {
    BlockSource layer{[&below](char* block, std::size_t size) {
                          const std::size_t got = below.read(block, size);
                          char* const end = block + got;
                          for (char* cr = block;
                               (cr = static_cast<char*>(std::memchr(cr, '\r', end - cr)));) {
                              *cr++ = '\n';
                          }
                          return got;
                      },
                      [&below] { return below.failed(); },
                      {}};
    if (below.rewind) layer.rewind = [&below] { return rewound(below); };
    return layer;
}

}  // namespace

Failure read_text(BlockSource& raw, TextReading& reading) {
    reading.decoded = utf16_decoding(raw, reading.form.utf16);
    auto look = std::make_shared<LineEndLook>();
    Learner learner{{[look](const char* data, std::size_t size) {
                         look->take(data, size);
                         return true;
                     },
                     {}},
                    [look] { return look->decided(); }};
    const Failure failure = learn_then_stream(reading.decoded, learner, reading.start);
    if (failure != Failure::none) return failure;
    reading.form.cr_lines = look->cr && !look->lf;
    reading.text = reading.form.cr_lines ? crs_as_lfs(*reading.start.text) : *reading.start.text;
    return Failure::none;
}

BlockSink write_text(BlockSink& raw, const TextForm& form) {
    return utf16_encoding(raw, form.utf16);
}

}  // namespace parafold
