// The table of word counts (engine/smart/word_counts.h).
#include "engine/smart/word_counts.h"

#include <cstring>
#include <new>

namespace parafold::smart {
namespace {

// A table starts with this many slots: a short text's words fit.
constexpr std::size_t first_slots = 1024;

// FNV-1a (words are short: a byte at a time costs no more than finding
// them), then mixed so that its low bits, which pick the slot, depend on
// every byte: FNV-1a's own low bits cluster short words in a few slots.
std::uint64_t hash_of(std::string_view word) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (char c : word) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdu;
    hash ^= hash >> 33;
    return hash;
}

}  // namespace

const WordCounts::Slot* WordCounts::find(std::string_view word, std::uint64_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.count == 0) return &slot;
        if (slot.hash == hash && slot.size == word.size() && word_of(slot) == word) return &slot;
    }
}

void WordCounts::add(std::string_view word, std::size_t most_words) {
    if (word.size() > UINT8_MAX) return;
    if (slots_.empty()) slots_.resize(first_slots);
    const std::uint64_t hash = hash_of(word);
    Slot& slot = const_cast<Slot&>(*find(word, hash));
    if (slot.count != 0) {
        if (slot.count < UINT32_MAX) ++slot.count;
        return;
    }
    if (words_ >= most_words) return;
    slot.hash = hash;
    slot.count = 1;
    slot.size = static_cast<std::uint8_t>(word.size());
    if (word.size() <= held_bytes) {
        std::memcpy(slot.held, word.data(), word.size());
    } else {
        // Places in the store are 32 bits: a text with more bytes of long
        // words than that has outgrown any memory the vocabulary may take.
        if (bytes_.size() + word.size() > UINT32_MAX) throw std::bad_alloc();
        slot.at = static_cast<std::uint32_t>(bytes_.size());
        bytes_.append(word);
    }
    if (++words_ * 2 > slots_.size()) grow();
}

std::uint32_t WordCounts::count(std::string_view word) const {
    if (slots_.empty()) return 0;
    return find(word, hash_of(word))->count;
}

void WordCounts::grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.count == 0) continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].count != 0) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

}  // namespace parafold::smart
