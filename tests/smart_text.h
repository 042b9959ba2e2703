// Test support for the reading-quality unwrap: both passes on a text in
// memory, as the file road runs them, into strings. Each call of the join
// gets exactly the room that engine/smart/join.h promises; a guard after
// it must stay untouched (the join writes in order, so a call that writes
// past its room overwrites the guard first), and as much again lies
// beyond, so that such a call fails the test without spoiling the heap.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/smart/join.h"
#include "engine/smart/word_list.h"

namespace parafold::testing {

inline constexpr std::size_t room_guard_bytes = 64;
inline constexpr char room_guard = '\x7F';

// Runs `call` (one call of smart_join or smart_join_finish for `size`
// input bytes) and appends what it wrote to `out`.
template <typename Call>
void join_into_room(std::string& out, std::size_t size, Call call) {
    static std::vector<char> buffer;
    const std::size_t room = smart_join_room(size);
    if (buffer.size() < 2 * room) buffer.resize(2 * room);
    const auto guard = buffer.begin() + static_cast<std::ptrdiff_t>(room);
    std::fill_n(guard, room_guard_bytes, room_guard);
    const std::size_t written = call(buffer.data());
    EXPECT_LE(written, room) << "the join wrote past the room it promised";
    EXPECT_EQ(std::count(guard, guard + room_guard_bytes, room_guard), room_guard_bytes)
        << "the join wrote past the room it promised";
    out.append(buffer.data(), std::min(written, room));
}

inline void join_text(SmartJoin& join, const char* data, std::size_t size, std::string& out) {
    join_into_room(out, size, [&](char* room) { return smart_join(join, data, size, room); });
}

inline void finish_text(SmartJoin& join, std::string& out) {
    join_into_room(out, 0, [&](char* room) { return smart_join_finish(join, room); });
}

// The whole unwrap on `text`: the layout learnt (into `layout` when not
// nullptr), then the join, with the vocabulary when `dehyphenate` and the
// report into `explain` when not nullptr.
inline std::string smart_reflow_text(std::string_view text, std::int32_t columns,
                                     bool dehyphenate, TextLayout* layout = nullptr,
                                     std::string* explain = nullptr) {
    const SmartScanState scan = start_layout_scan(dehyphenate);
    scan_layout(*scan, text.data(), text.size());
    const TextLayout found = finish_layout(*scan, columns);
    if (layout) *layout = found;
    // The text's own evidence alone: no word list.
    if (dehyphenate) smart::learn_spellings(*smart::vocabulary_of(*scan), "", found.utf8);
    const SmartJoinState join = start_join(found, dehyphenate ? scan.get() : nullptr, explain);
    std::string out;
    join_text(*join, text.data(), text.size(), out);
    finish_text(*join, out);
    return out;
}

}  // namespace parafold::testing
