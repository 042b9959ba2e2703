// A system word list asked about split words (engine/smart/word_list.h).
#include "engine/smart/word_list.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "engine/smart/tuning.h"

namespace parafold::smart {
namespace {

// A language's hundred commonest words in a text are its small words
// ("the", "of", "und", "les"), which languages hardly share.
constexpr std::size_t common_words = 100;
// A list of the text's language holds nearly all of them (English texts,
// names and all: 87 to 100 of 100); one of another language only the
// few that the languages share (under half).
constexpr Share suiting_share{3, 4};
// Read a file in pieces of this size.
constexpr std::size_t piece_bytes = 64 << 10;

bool ascii(std::string_view word) {
    return std::all_of(word.begin(), word.end(), [](char c) { return (c & 0x80) == 0; });
}

void ask(WordListMatch& match, std::string_view word, bool utf8) {
    if (word.empty() || (!utf8 && !ascii(word))) return;
    match.asked.emplace(word, false);
}

// Looks up one entry of the list (a line, without its end).
void match_entry(WordListMatch& match, std::string_view entry) {
    if (!entry.empty() && entry.back() == '\r') entry.remove_suffix(1);
    if (entry.empty() || entry.size() > longest_word) return;
    char word[longest_word];
    for (std::size_t i = 0; i < entry.size(); ++i) word[i] = lower(entry[i]);
    const auto found = match.asked.find(std::string_view(word, entry.size()));
    if (found != match.asked.end()) found->second = true;
}

}  // namespace

WordListMatch start_match(const Vocabulary& vocabulary, bool utf8) {
    WordListMatch match;
    std::vector<std::pair<std::uint32_t, std::string_view>> words;
    words.reserve(vocabulary.words.size());
    vocabulary.words.for_each([&](std::string_view word, std::uint32_t count) {
        if (word.find('-') == std::string_view::npos) words.emplace_back(count, word);
    });
    const std::size_t common = std::min(common_words, words.size());
    auto commoner = [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    };
    std::partial_sort(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(common),
                      words.end(), commoner);
    for (std::size_t i = 0; i < common; ++i) {
        match.common.emplace_back(words[i].second);
        match.asked.emplace(words[i].second, false);
    }
    vocabulary.splits.for_each([&](std::string_view split, std::uint32_t) {
        const std::size_t hyphen = split.find('-');
        ask(match, split.substr(0, hyphen), utf8);
        ask(match, split.substr(hyphen + 1), utf8);
        std::string joined(split);
        joined.erase(hyphen, 1);
        ask(match, joined, utf8);
    });
    return match;
}

void match_list(WordListMatch& match, std::string_view piece) {
    for (;;) {
        const std::size_t end = piece.find('\n');
        if (end == std::string_view::npos) break;
        if (match.open.empty()) {
            match_entry(match, piece.substr(0, end));
        } else {
            match.open.append(piece.substr(0, end));
            match_entry(match, match.open);
            match.open.clear();
        }
        piece.remove_prefix(end + 1);
    }
    // An unfinished entry longer than a word is no word: only its length matters.
    if (match.open.size() + piece.size() <= longest_word + 1) {
        match.open.append(piece);
    } else {
        match.open.assign(longest_word + 2, ' ');
    }
}

bool take_answers(WordListMatch& match, Vocabulary& vocabulary) {
    if (!match.open.empty()) match_list(match, "\n");
    std::int64_t found = 0;
    for (const std::string& word : match.common) found += match.asked.find(word)->second;
    const auto common = static_cast<std::int64_t>(match.common.size());
    if (common == 0 || !at_least(found, common, suiting_share)) return false;
    vocabulary.listed.clear();
    for (auto& [word, listed] : match.asked) vocabulary.listed.emplace(word, listed);
    return true;
}

namespace {

// Reads the list at `path` into `match`; false when it cannot be read.
bool read_list(const char* path, WordListMatch& match) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    std::unique_ptr<char[]> piece(new char[piece_bytes]);
    std::size_t read = 0;
    while (read < max_word_list_bytes) {
        const std::size_t got = std::fread(piece.get(), 1, piece_bytes, file);
        match_list(match, std::string_view(piece.get(), got));
        read += got;
        if (got < piece_bytes) break;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

}  // namespace

void learn_spellings(Vocabulary& vocabulary, const char* path, bool utf8) {
    vocabulary.style = style_of(vocabulary);
    vocabulary.listed.clear();
    if (path && *path == '\0') return;
    // Nothing to ask: no list is read.
    if (vocabulary.splits.size() == 0) return;
    const WordListMatch asked = start_match(vocabulary, utf8);
    auto try_list = [&](const char* list) {
        WordListMatch match = asked;
        return read_list(list, match) && take_answers(match, vocabulary);
    };
    if (path) {
        try_list(path);
        return;
    }
    for (const char* list : system_word_lists) {
        if (try_list(list)) return;
    }
}

}  // namespace parafold::smart
