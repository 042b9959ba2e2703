// The reading-quality unwrap has no literal definition to compare with, so
// this checks what it must keep whatever it decides: it never fails on a
// readable input, no CR reaches the output, every byte other than white
// space comes through in order (only hyphens at joined line ends may go,
// and only with dehyphenation), and a text it finds not hard-wrapped comes
// out unchanged apart from its line ends. A UTF-16 text is checked in
// the form it is joined in, UTF-8, and so is its output. One text in
// sixteen is repeated past the first six read blocks of the file road, and
// comes out of it as out of the join in one call; every text comes out of
// two joins, split where a join may start afresh, as out of one.
#include <cstdint>
#include <string>

#include "engine/smart/unwrap.h"
#include "engine/smart/word_list.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace parafold;
using namespace parafold::fuzz;

bool is_white(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string without_white_space(const std::string& text) {
    std::string kept;
    for (const char c : text) {
        if (!is_white(c)) kept += c;
    }
    return kept;
}

// CR LF and a lone CR as LF.
std::string lf_line_ends(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
        } else if (i + 1 == text.size() || text[i + 1] != '\n') {
            out += '\n';
        }
    }
    return out;
}

// Whether `got` is `text` with some '-' bytes left out.
bool drops_only_hyphens(const std::string& text, const std::string& got) {
    std::size_t g = 0;
    for (const char c : text) {
        if (g < got.size() && got[g] == c) {
            ++g;
        } else if (c != '-') {
            return false;
        }
    }
    return g == got.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    SmartOptions options;
    options.dehyphenate = data.ConsumeBool();
    options.columns = data.ConsumeBool() ? 0 : data.ConsumeIntegralInRange<std::int32_t>(-3, 120);
    std::string text = fuzz_text(data);
    if (data.ConsumeBool()) {
        // Words, hyphens and line breaks, so that the text looks wrapped.
        static constexpr char alphabet[] = {'a', 'b', ' ', '\n', '-', '.', '\r', '\t'};
        for (char& c : text) c = alphabet[static_cast<unsigned char>(c) % sizeof alphabet];
    }
    const bool long_text = !text.empty() && data.ConsumeIntegralInRange(0, 15) == 0;
    if (long_text) {
        // Repeated past the file road's first six read blocks of 256 KiB,
        // to a length the fuzzer picks near their end, so that lines and
        // CR LF pairs straddle the blocks' edges, each read overwrites in
        // the buffer whatever the block before left waiting, and the last
        // two blocks are joined on the joining threads.
        const std::size_t size = (1536 << 10) - 4096 + data.ConsumeIntegralInRange<std::size_t>(0, 8192);
        const std::string unit = text;
        while (text.size() < size) text += unit;
        text.resize(size);
    }

    const std::string in = scratch_file("smart-in.txt");
    const std::string out = scratch_file("smart-out.txt");
    write_bytes(in, text);
    SmartReport report;
    expect_equal("smart_reflow_between failure", static_cast<int>(Failure::none),
                 static_cast<int>(smart_reflow_between(in.c_str(), out.c_str(), options, &report)
                                      .failure));
    // A UTF-16 text's output is UTF-16 again; both are compared as the
    // UTF-8 they were joined as (an odd last byte, no character, apart).
    const std::string got = read_form(read_bytes(out)).text;
    text = read_form(text).text;
    if (got.find('\r') != std::string::npos) difference("no CR in the output", "", got);
    const std::string kept = without_white_space(text);
    const std::string got_kept = without_white_space(got);
    if (options.dehyphenate ? !drops_only_hyphens(kept, got_kept) : kept != got_kept) {
        difference("bytes other than white space", kept, got_kept);
    }
    if (!report.wrapped) expect_equal("a text not hard-wrapped", lf_line_ends(text), got);

    // Joined in one call on this thread, the text is the same: the file
    // road joins a long text's pieces on several threads after the first
    // megabyte. And a join that ends at the last place where a join may
    // start afresh, with a fresh join going on from there, writes the same
    // as one join: so the threads may join different paragraphs at once.
    const SmartScanState scan = start_layout_scan(options.dehyphenate);
    scan_layout(*scan, text.data(), text.size());
    const TextLayout layout = finish_layout(*scan, options.columns);
    if (options.dehyphenate)
        smart::learn_spellings(*smart::vocabulary_of(*scan), options.word_list, layout.utf8);
    auto joined = [&](SmartJoin& join, std::size_t from, std::size_t to) {
        std::string out(smart_join_room(to - from) + smart_join_room(0), '\0');
        std::size_t written = smart_join(join, text.data() + from, to - from, out.data());
        written += smart_join_finish(join, out.data() + written);
        out.resize(written);
        return out;
    };
    const SmartJoinState join = start_join(layout, options.dehyphenate ? scan.get() : nullptr);
    const std::string whole = joined(*join, 0, text.size());
    if (long_text) expect_equal("the text joined in one call", whole, got);
    const std::size_t restart = restart_point(text.data(), text.size());
    if (restart != 0) {
        const SmartJoinState first = start_join(layout, options.dehyphenate ? scan.get() : nullptr);
        const SmartJoinState then = start_join_like(*first);
        const std::string parts = joined(*first, 0, restart) + joined(*then, restart, text.size());
        expect_equal("the text joined in two, after an empty line", whole, parts);
    }
    return 0;
}
