// How often each word occurs in a text: the table the vocabulary of the
// reading-quality unwrap counts in, once for every word of a whole text,
// so it is made for that: the slots of an open table hold a word's hash
// and count and, for most words, its bytes (longer ones lie side by side
// in one store), so that counting a word already seen mostly touches one
// slot alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace parafold::smart {

class WordCounts {
public:
    // Counts one more occurrence of `word` (at most 255 bytes); a word not
    // yet counted only while fewer than `most_words` are.
    void add(std::string_view word, std::size_t most_words = SIZE_MAX);
    // How often `word` was counted; 0 if never.
    std::uint32_t count(std::string_view word) const;
    std::size_t size() const { return words_; }

    // Calls `visit(word, count)` for every word counted.
    template <typename Visit>
    void for_each(Visit visit) const {
        for (const Slot& slot : slots_) {
            if (slot.count != 0) visit(word_of(slot), slot.count);
        }
    }

private:
    // Words up to this many bytes (nearly all) are held in their slot,
    // which then takes half a cache line.
    static constexpr std::size_t held_bytes = 15;
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t count = 0;  // 0: a free slot
        std::uint32_t at = 0;     // a longer word: where its bytes start in `bytes_`
        std::uint8_t size = 0;
        char held[held_bytes] = {};
    };
    std::string_view word_of(const Slot& slot) const {
        return {slot.size <= held_bytes ? slot.held : bytes_.data() + slot.at, slot.size};
    }
    const Slot* find(std::string_view word, std::uint64_t hash) const;
    void grow();

    std::vector<Slot> slots_;  // a power of two of them, at most half taken
    std::string bytes_;        // the longer words' bytes, one after the other
    std::size_t words_ = 0;
};

}  // namespace parafold::smart
