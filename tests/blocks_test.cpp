// Reading and writing in blocks through layers (engine/io/blocks.h), and
// the layer that writes on a thread of its own (engine/io/write_behind.h).
#include "engine/io/blocks.h"

#include <gtest/gtest.h>

#include <new>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/io/learn.h"
#include "engine/io/write_behind.h"

namespace parafold {
namespace {

ByteDigest digest_in_blocks(std::string_view text, std::size_t block) {
    ByteDigest digest;
    for (std::size_t at = 0; at < text.size(); at += block) digest.add(text.substr(at, block));
    return digest;
}

// However a text is cut into blocks, its digest is the same; a text that
// differs in one byte, in the place of its bytes or in its length is not.
TEST(ByteDigest, DependsOnEveryByteAndItsPlaceNotOnTheBlocks) {
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        std::string text(rng() % 300, '\0');
        for (char& c : text) c = static_cast<char>(rng());
        SCOPED_TRACE(::testing::Message() << "round " << round);
        const ByteDigest whole = digest_in_blocks(text, text.size() + 1);
        for (const std::size_t block : {1, 3, 31, 32, 33, 64}) {
            ASSERT_TRUE(digest_in_blocks(text, block) == whole) << "blocks of " << block;
        }
        if (text.empty()) continue;
        std::string changed = text;
        changed[rng() % text.size()] ^= static_cast<char>(1 + rng() % 255);
        EXPECT_FALSE(digest_in_blocks(changed, 7) == whole);
        EXPECT_FALSE(digest_in_blocks(text + '\0', 7) == whole);
    }
    const char* const unlike[][2] = {
        {"ab", "ba"},                          // the same bytes in another order
        {"one two\nthree", "one two three"},  // a line end where a space was
        {"word\r\n", "word\n\r"},
        {"0123456789abcdef0123456789abcdefX", "0123456789abcdef0123456789abcdefY"},
    };
    for (const auto& pair : unlike) {
        SCOPED_TRACE(pair[0]);
        EXPECT_FALSE(digest_in_blocks(pair[0], 5) == digest_in_blocks(pair[1], 5));
    }
}


// Reads `size` bytes of `source`.
std::string read_some(BlockSource& source, std::size_t size) {
    std::string bytes(size, '\0');
    bytes.resize(source.read(bytes.data(), size));
    return bytes;
}

// A source read in two passes, the first part way: its digest tap says
// whether the second read what the first read, as far as the first went.
// A file rewritten between the passes (here: bytes in memory) does not.
TEST(DigestTap, TellsWhetherEveryPassReadTheSameBytes) {
    const struct {
        const char* what;
        std::size_t first_pass;    // bytes read before the rewind
        std::string second_text;   // the text when read again
        bool alike;
    } rows[] = {
        {"the same text", 10, "one two three four five", true},
        {"changed where the first pass read", 10, "one TWO three four five", false},
        {"changed only after it", 10, "one two three four FIVE", true},
        {"shorter than the first pass", 10, "one two", false},
        {"the whole text first", 23, "one two three four five", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::string text = "one two three four five";
        BlockSource memory = memory_source(text);
        ByteDigest digest;
        bool alike = false;
        BlockSource tap = digest_tap(memory, digest, &alike);
        read_some(tap, row.first_pass);
        ASSERT_TRUE(rewound(tap));
        text = row.second_text;
        memory = memory_source(text);
        read_some(tap, 100);
        EXPECT_EQ(alike, row.alike);
    }
}

// What a learner is given, and where the text streams from after: a source
// that can rewind is read as far as the learner wants, a stream is held in
// memory as far as it wants and given again.
TEST(LearnThenStream, GivesTheLearnerWhatItWantsThenTheWholeText) {
    std::string text(3 << 20, 'x');
    for (std::size_t i = 0; i < text.size(); i += 77) text[i] = '\n';
    for (const bool rewinds : {true, false}) {
        for (const std::size_t wanted : {std::size_t{1}, std::size_t{1} << 20, text.size() + 1}) {
            SCOPED_TRACE(::testing::Message() << (rewinds ? "a file" : "a stream") << ", wanted "
                                              << wanted);
            BlockSource source = memory_source(text);
            if (!rewinds) source.rewind = {};
            std::string learnt;
            bool ended = false;
            Learner learner{{[&](const char* data, std::size_t size) {
                                 learnt.append(data, size);
                                 return true;
                             },
                             [&] { return ended = true; }},
                            [&] { return learnt.size() >= wanted; }};
            LearntText from;
            ASSERT_EQ(learn_then_stream(source, learner, from), Failure::none);
            EXPECT_TRUE(learnt == text.substr(0, learnt.size()));
            EXPECT_GE(learnt.size(), std::min(wanted, text.size()));
            EXPECT_LT(learnt.size(), wanted + (256 << 10));
            EXPECT_EQ(ended, wanted > text.size());
            EXPECT_TRUE(read_some(*from.text, text.size() + 1) == text);
        }
    }
}

// The writer on its own thread writes every byte once and in order, in
// whole blocks but the last, however the writes come; after a failed write
// below it writes nothing more, and the writes and finish() above say so.
// Given up without finish(), it ends with the layer.
TEST(WriteBehind, WritesEveryByteInOrderAndNothingAfterAFailure) {
    constexpr std::size_t block = 64;
    struct Row {
        std::vector<std::size_t> writes;  // sizes written, one after another
        int fails_at;                     // the write below that fails; -1: none
        bool finishes = true;
        bool throws = false;              // it fails by throwing (memory ran out below)
    };
    const Row rows[] = {
        {{}, -1},                       // nothing: no write below at all
        {{10}, -1},                     // less than a block: written at finish
        {{64}, -1},                     // a block exactly
        {{1, 63, 64, 130, 5, 1000, 3}, -1},  // across the blocks, every way
        {{1000, 1000}, 0},              // the first write fails
        {{1000, 1000, 1000}, 4},        // a later one
        {{100}, 1},                     // the last block, at finish
        {{1000, 1000}, -1, false},      // given up
        {{1000, 1000}, 2, false},       // given up after a failure
        {{1000, 1000, 1000}, 4, true, true},  // a write that throws, on the thread
        {{100}, 1, true, true},               // the last block's, at finish
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "failing write " << row.fails_at << ", "
                                          << row.writes.size() << " writes");
        std::string text;
        for (const std::size_t size : row.writes) {
            for (std::size_t i = 0; i < size; ++i) text += static_cast<char>('a' + text.size() % 26);
        }
        std::string below_got;
        std::vector<std::size_t> below_writes;
        int below_finished = 0;
        BlockSink below{[&](const char* data, std::size_t size) {
                            below_writes.push_back(size);
                            if (static_cast<int>(below_writes.size()) - 1 == row.fails_at) {
                                if (row.throws) throw std::bad_alloc();
                                return false;
                            }
                            below_got.append(data, size);
                            return true;
                        },
                        [&] { return ++below_finished == 1; }};
        bool all_taken = true;
        bool finished = false;
        bool thrown = false;
        try {
            BlockSink behind = write_behind(below, block);
            std::size_t at = 0;
            for (const std::size_t size : row.writes) {
                all_taken = behind.write(text.data() + at, size) && all_taken;
                at += size;
            }
            if (row.finishes) finished = behind.finish();
        } catch (const std::bad_alloc&) {
            thrown = true;
        }
        EXPECT_EQ(thrown, row.throws);
        const bool fails = row.fails_at >= 0 || !row.finishes;
        EXPECT_EQ(finished, !fails);
        EXPECT_EQ(below_finished, fails ? 0 : 1);
        if (!fails) {
            EXPECT_TRUE(all_taken);
            EXPECT_EQ(below_got, text);
        } else {
            // Nothing after the failed write, and what came before in order.
            if (row.fails_at >= 0) {
                EXPECT_EQ(below_writes.size(), static_cast<std::size_t>(row.fails_at) + 1);
            }
            EXPECT_EQ(below_got, text.substr(0, below_got.size()));
        }
        for (std::size_t k = 0; k + 1 < below_writes.size(); ++k) EXPECT_EQ(below_writes[k], block);
    }
}

}  // namespace
}  // namespace parafold
