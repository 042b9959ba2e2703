#include "ereader/transforms.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/reference_transforms.h"

namespace parafold {
namespace {

using namespace std::string_literals;
using Tokens = std::vector<std::string>;

// Shows a text in a failure message with its control bytes escaped.
std::string spell(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\0': out += "\\0"; break;
            default: out += c;
        }
    }
    return out + "\"";
}

// Random texts over the bytes that matter here.
class TextSource {
public:
    explicit TextSource(std::uint32_t seed) : rng_(seed) {}

    std::string text(std::size_t max_size) {
        static constexpr char kAlphabet[] = {'a', 'b', ' ', '\r', '\n', '\0', '\t'};
        std::string out(std::uniform_int_distribution<std::size_t>(0, max_size)(rng_), ' ');
        std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 1);
        for (char& c : out) c = kAlphabet[pick(rng_)];
        return out;
    }

    bool chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(rng_) < percent; }

private:
    std::mt19937 rng_;
};

struct ReplaceCase {
    std::string text;
    std::string search;
    std::string replacement;
    std::string out;
};

TEST(ReplaceAll, DefinedExamples) {
    const ReplaceCase cases[] = {
        // Occurrences go left to right and never overlap.
        {"aaaa", "aa", "a", "aa"},
        {"aaa", "aa", "b", "ba"},
        // The result is not searched again, neither inside the replacement nor
        // across its front edge.
        {"\r\r\n", "\r\n", "\n", "\r\n"},
        {"\r\n", "\r\n", "\n", "\n"},
        {"xab", "ab", "b", "xb"},
        // A replacement holding the search text is put in once per occurrence.
        {"ab", "b", "bb", "abb"},
        {"bbb", "b", "bb", "bbbbbb"},
        // Equal search and replacement texts leave the text alone, even empty ones.
        {"abab", "ab", "ab", "abab"},
        {"abc", "", "", "abc"},
        // An empty search text is ignored.
        {"abc", "", "x", "abc"},
        {"", "a", "b", ""},
        {"abc", "x", "y", "abc"},
        // Removal, at both ends, and a text that is one occurrence.
        {"abcab", "ab", "", "c"},
        {"ab", "ab", "xyz", "xyz"},
        // NUL bytes are ordinary, in the text and in the search text.
        {"a\0b\0"s, "\0"s, "-", "a-b-"},
        {"a\0\0b"s, "\0b"s, "\0"s, "a\0\0"s},
        // A partial match that falls back to a shorter one.
        {"aabaabaaab", "aaab", "X", "aabaabX"},
    };
    for (const ReplaceCase& c : cases) {
        SCOPED_TRACE(spell(c.text) + " " + spell(c.search) + " -> " + spell(c.replacement));
        EXPECT_EQ(replace_all(c.text, c.search, c.replacement), c.out);
        EXPECT_EQ(testing::reference_replace_all(c.text, c.search, c.replacement), c.out);
    }
}

TEST(ReplaceAll, MatchesReference) {
    TextSource source(20240603);
    for (int round = 0; round < 6000; ++round) {
        const std::string text = source.text(40);
        std::string search = source.text(3);
        std::string replacement = source.text(4);
        // Replacements that hold the search text, and equal pairs.
        if (source.chance(20)) replacement = source.text(2) + search + source.text(2);
        if (source.chance(5)) replacement = search;
        // Searches cut from the text itself, so that they occur.
        if (source.chance(30) && !text.empty()) search = text.substr(text.size() / 3, 1 + round % 3);
        SCOPED_TRACE(spell(text) + " " + spell(search) + " -> " + spell(replacement));
        ASSERT_EQ(replace_all(text, search, replacement),
                  testing::reference_replace_all(text, search, replacement));
    }
}

struct SplitCase {
    std::string text;
    std::string delimiters;
    Tokens out;
};

TEST(SplitOnAny, DefinedExamples) {
    const SplitCase cases[] = {
        {"a,b;;d", ",;", {"a", "b", "d"}},
        // Delimiters at the ends, in a row, or only delimiters give no tokens.
        {",a,,", ",", {"a"}},
        {",;,;", ";,", {}},
        {"", ",", {}},
        // An empty delimiter set keeps a non-empty text whole.
        {"a b\n", "", {"a b\n"}},
        {"", "", {}},
        // Order and repetition in the set do not matter.
        {"a;b,c", ";;,", {"a", "b", "c"}},
        // NUL and high bytes are ordinary, as text and as delimiters.
        {"a\0b"s, "\n", {"a\0b"s}},
        {"a\0b\0"s, "\0"s, {"a", "b"}},
        {"x\xFFy", "\xFF", {"x", "y"}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(spell(c.text) + " at " + spell(c.delimiters));
        EXPECT_EQ(split_on_any(c.text, c.delimiters), c.out);
        EXPECT_EQ(testing::reference_split_on_any(c.text, c.delimiters), c.out);
    }
}

TEST(SplitOnAny, MatchesReference) {
    TextSource source(7);
    for (int round = 0; round < 4000; ++round) {
        const std::string text = source.text(40);
        const std::string delimiters = source.text(3);
        SCOPED_TRACE(spell(text) + " at " + spell(delimiters));
        ASSERT_EQ(split_on_any(text, delimiters),
                  testing::reference_split_on_any(text, delimiters));
    }
}

struct TransformCase {
    std::string in;
    std::string out;
};

TEST(KindleTwoLines, DefinedExamples) {
    const TransformCase cases[] = {
        {"a\r\n\r\nb \r\nc", "a\nb\nc"},
        {"p\r\nq\r\n\r\nr\r\n", "p\nq\nr\n"},
        {"x\n\n\n\ny", "x\ny"},
        // A run of CRs ending at an LF goes; a CR elsewhere stays.
        {"a\r\r\nb", "a\nb"},
        {"a\n\r\nb", "a\nb"},
        {"a\rb", "a\rb"},
        {"a\r\r", "a\r\r"},
        {"\r\r\r\r\r\n", "\n"},
        // One space goes before each line break, after the collapsing.
        {"a \r\n", "a\n"},
        {"a  \n", "a \n"},
        {"  \n  \n", " \n \n"},
        {"a\n \nb", "a\n\nb"},
        {"a \n \n", "a\n\n"},
        {"a\r\n \r\n\r\nb", "a\n\nb"},
        // Spaces not in front of a line break, and tabs, stay.
        {"a\n b", "a\n b"},
        {"a ", "a "},
        {"a\t\n", "a\t\n"},
        {"\n\n\n", "\n"},
        {"\r\n", "\n"},
        {"", ""},
        // NUL bytes are ordinary.
        {"a\0\r\n\0"s, "a\0\n\0"s},
        {"a b\tc", "a b\tc"},
    };
    for (const TransformCase& c : cases) {
        SCOPED_TRACE(spell(c.in));
        EXPECT_EQ(kindle_two_lines(c.in), c.out);
        EXPECT_EQ(testing::reference_kindle_two_lines(c.in), c.out);
    }
}

// A second run changes what the first left: it is not idempotent.
TEST(KindleTwoLines, SecondRunGoesFurther) {
    EXPECT_EQ(kindle_two_lines(kindle_two_lines("a\n \nb")), "a\nb");
    EXPECT_EQ(kindle_two_lines(kindle_two_lines("a  \n")), "a\n");
}

TEST(KindleTwoLines, MatchesReference) {
    TextSource source(99);
    for (int round = 0; round < 6000; ++round) {
        const std::string text = source.text(48);
        SCOPED_TRACE(spell(text));
        ASSERT_EQ(kindle_two_lines(text), testing::reference_kindle_two_lines(text));
    }
}

TEST(KindleIndent, DefinedExamples) {
    const TransformCase cases[] = {
        {"pq.\nrs.\n", "     pq.\n     rs.\n"},
        {"a\n\nb", "     a\n     b\n"},
        {"xyz", "     xyz\n"},
        {"\nz\n", "     z\n"},
        {"  x\n", "       x\n"},
        {"\n\n", ""},
        {"", ""},
        // Only LF ends a line.
        {"a\r\nb", "     a\r\n     b\n"},
        {"a\tb\rc\0d"s, "     a\tb\rc\0d\n"s},
    };
    for (const TransformCase& c : cases) {
        SCOPED_TRACE(spell(c.in));
        EXPECT_EQ(kindle_indent(c.in), c.out);
        EXPECT_EQ(testing::reference_kindle_indent(c.in), c.out);
    }
}

TEST(KindleIndent, MatchesReference) {
    TextSource source(3);
    for (int round = 0; round < 4000; ++round) {
        const std::string text = source.text(48);
        SCOPED_TRACE(spell(text));
        ASSERT_EQ(kindle_indent(text), testing::reference_kindle_indent(text));
    }
}

// Texts long enough for the 16-byte chunks of the fast paths: a short
// pattern of line breaks and spaces put at every position of a plain text, so
// that it meets every chunk edge, lies inside a chunk, spans two or more, or
// comes in the last bytes, which are done one at a time.
TEST(EreaderTransforms, PatternsAtEveryPositionMatchReference) {
    const std::string patterns[] = {
        "\n", "\r\n", "\r", " \n", "  \n", "\n\n", "\r\r\n", "\n\r", "\r\n\r\n",
        " \r\n \n", "\n \n", "\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n",
        std::string(20, '\r') + "\n", std::string(20, '\r') + "x", std::string(33, '\n') + "\r",
        "a\nb\nc\nd\ne\nf\ng\nh\ni\n", " \n \n \n \n \n \n \n \n \n \n"};
    const std::string plain = "It was a dark and stormy night; the rain fell in torrents, ex";
    for (const std::string& pattern : patterns) {
        for (std::size_t at = 0; at <= plain.size(); ++at) {
            for (const std::string& after : {std::string(), plain, std::string("\n") + plain}) {
                const std::string text = plain.substr(0, at) + pattern + plain.substr(at) + after;
                SCOPED_TRACE(spell(text));
                ASSERT_EQ(kindle_two_lines(text), testing::reference_kindle_two_lines(text));
                ASSERT_EQ(kindle_indent(text), testing::reference_kindle_indent(text));
            }
        }
    }
}

// Longer random texts, mostly plain bytes with line breaks and spaces
// strewn in, as in prose and in texts dense with breaks; long enough that a
// stretch done a byte at a time may end anywhere and chunks start again.
TEST(EreaderTransforms, LongRandomTextsMatchReference) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 1500; ++round) {
        const int breaks_percent = 5 + round % 60;
        std::string text(rng() % 700, 'x');
        for (char& c : text) {
            if (static_cast<int>(rng() % 100) >= breaks_percent) continue;
            static constexpr char kBreaks[] = {'\r', '\n', '\n', ' ', ' ', '\0'};
            c = kBreaks[rng() % sizeof kBreaks];
        }
        SCOPED_TRACE(spell(text));
        ASSERT_EQ(kindle_two_lines(text), testing::reference_kindle_two_lines(text));
        ASSERT_EQ(kindle_indent(text), testing::reference_kindle_indent(text));
    }
}

// `text` through a transform on a text in pieces: pieces of `piece` bytes,
// each step given `room` bytes.
std::string in_pieces(const std::string& text, std::size_t piece, std::size_t room,
                      bool two_lines) {
    TwoLinesStream two;
    IndentStream lines;
    std::string out(room, '\0'), result;
    for (std::size_t at = 0; at < text.size(); at += piece) {
        std::string_view rest = std::string_view(text).substr(at, piece);
        while (!rest.empty()) {
            const StreamStep step = two_lines ? kindle_two_lines(two, rest, out.data(), room)
                                              : kindle_indent(lines, rest, out.data(), room);
            result += step.result;
            rest.remove_prefix(step.used);
        }
    }
    for (std::string_view end; !(end = two_lines ? kindle_two_lines_end(two, out.data(), room)
                                                 : kindle_indent_end(lines, out.data()))
                                     .empty();) {
        result += end;
    }
    return result;
}

// Cut into pieces of any size and given buffers from the least room up, a
// text comes out as it does whole: what ends a piece (a space, CRs, an open
// line, a run of line breaks) waits for the next. The long rows are runs
// and lines far beyond the buffer.
TEST(EreaderTransforms, TextsInPiecesGiveTheWholeTextsResult) {
    TextSource source(7);
    std::vector<std::string> texts = {
        std::string(5000, '\r') + "x", std::string(5000, '\r') + "\n", std::string(5000, '\n'),
        "a " + std::string(5000, '\r') + "\nb", std::string(5000, 'y') + " \r\n",
        std::string(5000, ' ') + "\n"};
    for (int round = 0; round < 300; ++round) texts.push_back(source.text(100));
    for (const std::string& text : texts) {
        SCOPED_TRACE(spell(text.substr(0, 100)));
        const std::string two_lines = testing::reference_kindle_two_lines(text);
        const std::string indent = testing::reference_kindle_indent(text);
        for (const std::size_t piece : {1, 2, 3, 7, 64, 10000}) {
            for (const std::size_t room : {2, 3, 17, 100000}) {
                SCOPED_TRACE(::testing::Message() << "piece " << piece << ", room " << room);
                ASSERT_EQ(in_pieces(text, piece, room, true), two_lines);
                ASSERT_EQ(in_pieces(text, piece, std::max(room, kindle_indent_room(1)), false),
                          indent);
            }
        }
    }
}

}  // namespace
}  // namespace parafold
