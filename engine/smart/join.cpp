// The second pass of the reading-quality unwrap (engine/smart/join.h): the
// lines of a block held until the breaks between them are decided by the
// rule (engine/smart/rule.h), then written joined or apart.
#include "engine/smart/join.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/smart/explain.h"
#include "engine/smart/hyphens.h"
#include "engine/smart/lines.h"
#include "engine/smart/rule.h"
#include "engine/smart/simd.h"

namespace parafold {

using smart::CutLine;
using smart::LineFacts;
using smart::Verdict;

namespace {

// A line read whole whose end waits on the lines after it; its facts are
// held beside it.
struct HeldLine {
    std::string_view text;    // in the caller's block, the cutter's buffer or `store`
    std::int64_t number = 0;  // counted from 1
    bool written = false;     // a long line already written: only its end waits
    bool has_end = true;      // ended by a line end, not by the input's end
};

// Writes into a buffer that has room for all it is given.
struct Output {
    char* w;

    void put(std::string_view bytes) {
        std::memcpy(w, bytes.data(), bytes.size());
        w += bytes.size();
    }
    void put(char byte) { *w++ = byte; }
};

}  // namespace

struct SmartJoin {
    TextLayout layout;
    const smart::Vocabulary* vocabulary = nullptr;  // nullptr: no dehyphenation
    std::string* explain = nullptr;                 // where the report goes, if anywhere
    smart::LineCutter cutter;
    Output* out = nullptr;  // where the current call writes
    // The lines of the current block not yet written, the last of which
    // (at least) waits on the next line, and their facts, one for one.
    std::vector<HeldLine> held;
    std::vector<LineFacts> facts;
    std::size_t held_bytes = 0;  // of their text
    bool first_starts = true;    // held[0] starts a paragraph
    bool first_joined = false;   // held[0] was joined to the line before it
    std::int64_t lines = 0;      // lines seen
    // Copies of the held lines at the end of a call, whose block then goes
    // away; two stores that take turns, so that a copy never moves what it
    // copies from.
    std::vector<char> store, spare;
    std::vector<Verdict> verdicts;  // scratch
    std::string word;               // scratch for dehyphenation
};

void SmartJoinFree::operator()(SmartJoin* join) const { delete join; }

namespace {

// The verdicts on the breaks between the `n` held lines, block by block;
// with --explain, the report of each block and of each break kept.
void decide(SmartJoin& join, std::size_t n) {
    const LineFacts* const facts = join.facts.data();
    Verdict* const verdicts = join.verdicts.data();
    bool starts = join.first_starts;
    std::size_t i = 0;
    while (i + 1 < n) {
        if (!join.layout.wrapped) {
            verdicts[i++] = Verdict::unwrapped;
            continue;
        }
        if (facts[i].blank || facts[i + 1].blank) {
            verdicts[i++] = Verdict::blank;
            starts = true;
            continue;
        }
        std::size_t end = i + 2;
        while (end < n && !facts[end].blank) ++end;
        const smart::BlockSigns signs =
            smart::judge_block(facts + i, end - i, starts, join.layout, verdicts + i);
        starts = verdicts[end - 2] != Verdict::join;
        if (join.explain) {
            smart::describe_block(join.held[i].number, join.held[end - 1].number, signs,
                                  *join.explain);
            for (std::size_t k = i; k + 1 < end; ++k) {
                if (verdicts[k] == Verdict::join) continue;
                const HeldLine& a = join.held[k];
                smart::describe_kept(a.number, verdicts[k], a.text, a.written,
                                     join.held[k + 1].text, *join.explain);
            }
        }
        i = end - 1;
    }
}

// Decides the breaks between the held lines, writes all but the last and
// keeps that one held. With `last_too` the last line is written as well,
// with its own line end: the input ended.
void settle(SmartJoin& join, bool last_too) {
    std::vector<HeldLine>& held = join.held;
    const std::size_t n = held.size();
    if (n == 0) return;
    join.verdicts.resize(n);
    decide(join, n);
    const std::vector<Verdict>& verdicts = join.verdicts;
    Output& out = *join.out;
    bool joined = join.first_joined;
    const std::size_t written = last_too ? n : n - 1;
    for (std::size_t i = 0; i < written; ++i) {
        const HeldLine& a = held[i];
        const bool last = i + 1 == n;
        const bool keep = last || verdicts[i] != Verdict::join;
        std::string_view text = a.text;
        if (joined) text = smart::trim_left(text);
        joined = !keep;
        if (last) {
            if (!a.written) out.put(text);
            if (a.has_end) out.put('\n');
        } else if (a.written) {
            out.put(keep ? '\n' : ' ');
        } else if (keep) {
            out.put(text);
            out.put('\n');
        } else if (smart::splits_word(join.facts[i], join.facts[i + 1])) {
            out.put(smart::before_split_word(smart::trim_right(text), held[i + 1].text,
                                             join.vocabulary, join.word));
        } else {
            out.put(smart::trim_right(text));
            out.put(' ');
        }
    }
    if (last_too) {
        held.clear();
        join.facts.clear();
        join.held_bytes = 0;
        join.first_starts = true;
        join.first_joined = false;
        return;
    }
    join.first_starts = n < 2 || verdicts[n - 2] != Verdict::join;
    join.first_joined = !join.first_starts;
    held.front() = held.back();
    held.resize(1);
    join.facts.front() = join.facts.back();
    join.facts.resize(1);
    join.held_bytes = held.front().text.size();
}

// Holds a line; a blank line on either side, or more lines or bytes than
// a join holds, settles the lines held.
void hold(SmartJoin& join, const CutLine& line) {
    const bool edge = !join.held.empty() && (line.facts.blank || join.facts.back().blank);
    HeldLine& next = join.held.emplace_back();
    next.text = line.text;
    next.number = ++join.lines;
    next.has_end = line.has_end;
    join.facts.push_back(line.facts);
    join.held_bytes += next.text.size();
    if (edge || join.held.size() > smart_held_lines || join.held_bytes > smart_held_bytes)
        settle(join, false);
}

void join_line(void* context, const CutLine& line) {
    SmartJoin& join = *static_cast<SmartJoin*>(context);
    switch (line.kind) {
        case CutLine::Kind::whole: hold(join, line); break;
        case CutLine::Kind::long_head: {
            // Its head is written now and the rest streams through: the
            // breaks before it are decided first.
            hold(join, line);
            if (join.held.size() > 1) settle(join, false);
            HeldLine& head = join.held.front();
            join.out->put(join.first_joined ? smart::trim_left(line.text) : line.text);
            head.text = {};
            head.written = true;
            join.held_bytes = 0;
            break;
        }
        case CutLine::Kind::long_rest: join.out->put(line.text); break;
        case CutLine::Kind::long_end:
            if (!join.held.empty()) join.held.back().has_end = line.has_end;
            break;
    }
}

// The held lines' own copies, before the caller's block goes away. A line
// from the cutter's own buffer needs no copy before: the cutter fills that
// buffer again only with the first line of a later call.
void keep_held_lines(SmartJoin& join) {
    const char* const kept = join.store.data();
    auto in_store = [&](const HeldLine& line) {
        return line.text.empty() ||
               (line.text.data() >= kept && line.text.data() < kept + join.store.size());
    };
    if (std::all_of(join.held.begin(), join.held.end(), in_store)) return;
    std::size_t bytes = 0;
    for (const HeldLine& line : join.held) bytes += line.text.size();
    join.spare.resize(bytes);
    char* at = join.spare.data();
    for (HeldLine& line : join.held) {
        if (!line.text.empty()) std::memcpy(at, line.text.data(), line.text.size());
        line.text = std::string_view(at, line.text.size());
        at += line.text.size();
    }
    join.store.swap(join.spare);
}

SmartJoinState new_join(const TextLayout& layout, const smart::Vocabulary* vocabulary) {
    SmartJoinState join(new SmartJoin);
    join->layout = layout;
    join->vocabulary = vocabulary;
    join->held.reserve(smart_held_lines + 2);
    join->facts.reserve(smart_held_lines + 2);
    return join;
}

}  // namespace

SmartJoinState start_join(const TextLayout& layout, const SmartScan* words,
                          std::string* explain) {
    SmartJoinState join = new_join(layout, words ? smart::vocabulary_of(*words) : nullptr);
    join->explain = explain;
    if (explain) smart::describe_layout(layout, *explain);
    return join;
}

std::size_t smart_join(SmartJoin& join, const char* data, std::size_t size, char* out) {
    Output output{out};
    join.out = &output;
    smart::cut_lines(join.cutter, data, size, join.layout.utf8, join_line, &join);
    // The block goes away: the held lines get their own copies.
    keep_held_lines(join);
    return static_cast<std::size_t>(output.w - out);
}

SmartJoinState start_join_like(const SmartJoin& join) {
    return new_join(join.layout, join.vocabulary);
}

namespace {

// Whether the line before `at` (`at` >= 2) is empty and ends there: that a
// join may start afresh at `at`.
bool restarts_at(const char* data, std::size_t size, std::size_t at) {
    const char end = data[at - 1];
    const char before = data[at - 2];
    if (end == '\n') {
        return before == '\n' ||
               (before == '\r' && at >= 3 && (data[at - 3] == '\n' || data[at - 3] == '\r'));
    }
    return end == '\r' && at < size && data[at] != '\n' && (before == '\n' || before == '\r');
}

}  // namespace

std::size_t restart_point(const char* data, std::size_t size) {
    std::size_t at = size;  // the bytes from `at` on were looked at
#if defined(__SSE2__)
    // Sixteen bytes a step from the end: only after a line end may a join
    // start afresh, and most bytes are none.
    while (at >= 16) {
        const __m128i chunk = simd::load16(data + at - 16);
        std::uint32_t ends = simd::byte_mask(
            _mm_or_si128(simd::equal_to(chunk, '\n'), simd::equal_to(chunk, '\r')));
        at -= 16;
        while (ends != 0) {
            const int last = 31 - std::countl_zero(ends);  // the last line end of the step
            const std::size_t after = at + static_cast<std::size_t>(last) + 1;
            if (after >= 2 && restarts_at(data, size, after)) return after;
            ends &= ~(std::uint32_t{1} << last);
        }
    }
#endif
    for (; at >= 2; --at) {
        if (restarts_at(data, size, at)) return at;
    }
    return 0;
}

std::size_t smart_join_finish(SmartJoin& join, char* out) {
    Output output{out};
    join.out = &output;
    smart::end_lines(join.cutter, join.layout.utf8, join_line, &join);
    settle(join, true);
    return static_cast<std::size_t>(output.w - out);
}

}  // namespace parafold
