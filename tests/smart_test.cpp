#include "engine/smart/unwrap.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "engine/smart/join.h"
#include "engine/smart/join_thread.h"
#include "engine/io/utf16.h"
#include "tests/smart_text.h"
#include "tests/utf16_text.h"
#include "tests/test_files.h"

namespace parafold {
namespace {

using testing::read_file;
using testing::smart_reflow_text;
using testing::TempDir;
using testing::write_file;

struct Row {
    const char* name;
    std::string in;
    std::string out;
};

void check_rows(const std::vector<Row>& rows, std::int32_t columns, bool dehyphenate) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(smart_reflow_text(row.in, columns, dehyphenate), row.out);
    }
}

// The decisive cases at a given width of 30 columns.
TEST(SmartReflowText, KeepsMeantBreaksAndJoinsWrappedOnes) {
    check_rows(
        {
            {"sentence ends are no reason to break",
             "The cat sat. The dog barked.\nIt was late. Everyone slept\nsoundly.\n",
             "The cat sat. The dog barked. It was late. Everyone slept soundly.\n"},
            {"verse: every next word would have fit",
             "Roses are red,\nViolets are blue,\nSugar is sweet,\nAnd so are you.\n",
             "Roses are red,\nViolets are blue,\nSugar is sweet,\nAnd so are you.\n"},
            {"heading directly above its paragraph",
             "CHAPTER ONE\nIt was a dark and stormy\nnight; the rain fell.\n",
             "CHAPTER ONE\nIt was a dark and stormy night; the rain fell.\n"},
            {"numbered list with a full item",
             "Do this:\n1. Install the package so it\n2. Run the tool on a file\n",
             "Do this:\n1. Install the package so it\n2. Run the tool on a file\n"},
            {"a dash opening a wrapped line is no bullet",
             "He waited for a very long time\n- as ever - the bus was late.\n",
             "He waited for a very long time - as ever - the bus was late.\n"},
            {"bulleted list",
             "- one item fills the line so\n- another item\n",
             "- one item fills the line so\n- another item\n"},
            {"indented quote with room left: its lines stay",
             "He wrote these words:\n    Whatever you do, do\n    it well and with care\nThen he left the room.\n",
             "He wrote these words:\n    Whatever you do, do\n    it well and with care\nThen he left the room.\n"},
            {"indented block set narrower: its lines stay",
             "He wrote:\n\n    Whatever you do\n    extraordinarily well\n\nThen he left.\n",
             "He wrote:\n\n    Whatever you do\n    extraordinarily well\n\nThen he left.\n"},
            {"indented quote wrapped at the width: one paragraph",
             "He wrote these words:\n    Whatever you do, do it\n    well and with care\nThen he left the room.\n",
             "He wrote these words:\n    Whatever you do, do it well and with care\nThen he left the room.\n"},
            {"a list item's lines hang under its text",
             "- one item fills the line so\n  it goes on here\n- next\n",
             "- one item fills the line so it goes on here\n- next\n"},
            {"a term's definition hangs under its full first line",
             "Term:  a definition that fills\n       the line and goes on\nNext:  short\n",
             "Term:  a definition that fills the line and goes on\nNext:  short\n"},
            {"items marked (a), 4.2.1., b) after punctuation",
             "Here are the cases in turn:\n(a) the first case of them;\n4.2.1. the second case here,\nb) the third case\n",
             "Here are the cases in turn:\n(a) the first case of them;\n4.2.1. the second case here,\nb) the third case\n"},
            {"a version or a reference wrapped to a line's start",
             "It came with the release of\n1.6.6 and was fixed in part\n(b) of the notes\n",
             "It came with the release of 1.6.6 and was fixed in part (b) of the notes\n"},
            {"paragraphs in print style",
             "  The first paragraph goes on\nand on.\n  The second one is here too,\nand ends.\n",
             "  The first paragraph goes on and on.\n  The second one is here too, and ends.\n"},
            {"blank lines stay, trailing spaces of a joined line go",
             "A paragraph that will fill it   \nup.\n\n\nNext.\n",
             "A paragraph that will fill it up.\n\n\nNext.\n"},
            {"line ends: CR LF, lone CR, none at the end",
             "The first line is long enough\r\nto wrap.\rShort one\r\nlast",
             "The first line is long enough to wrap.\nShort one\nlast"},
            {"empty input", "", ""},
        },
        30, false);
}

// The first word decides, also when it is longer than a step of the
// scanner (16 bytes) or followed by a tab: 21 columns do not fit in the
// 18 left on a line of 21 (at width 40), 14 and 16 do.
TEST(SmartReflowText, MeasuresLongFirstWords) {
    check_rows(
        {
            {"long first word: joined",
             "abcd efgh ijkl mnop q\nincomprehensibilities abound\n",
             "abcd efgh ijkl mnop q incomprehensibilities abound\n"},
            {"first word before a tab: kept",
             "abcd efgh ijkl mnop q\nunquestionably\tabound\n",
             "abcd efgh ijkl mnop q\nunquestionably\tabound\n"},
            {"long first word that fits: kept",
             "abcd efgh ijkl mnop q\nincomprehensible abound\n",
             "abcd efgh ijkl mnop q\nincomprehensible abound\n"},
            {"blanks and tabs at a line's end take no columns",
             "abcd efgh ijkl mnop q \t\nincomprehensible abound\t\n",
             "abcd efgh ijkl mnop q \t\nincomprehensible abound\t\n"},
        },
        40, false);
}

// A word split by a hyphen: the text is its own dictionary.
TEST(SmartReflowText, DehyphenatesOnlyWordsTheTextKnowsWhole) {
    const std::string twin = "Something was odd. The some-\nthing was there.\n";
    const std::string no_twin = "It was a fine day. The gree-\nnery was lush.\n";
    check_rows({{"twin elsewhere: hyphen goes", twin, "Something was odd. The something was there.\n"},
                {"no twin: hyphen stays", no_twin, "It was a fine day. The gree-nery was lush.\n"}},
               30, true);
    check_rows({{"without dehyphenation the halves still join",
                 twin, "Something was odd. The some-thing was there.\n"}},
               30, false);
}

// Widths count characters in UTF-8 text: 16 characters take 32 bytes.
TEST(SmartReflowText, CountsUtf8Characters) {
    const std::string a = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
                          "\xC3\xA9\xC3\xA9 \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
    // 16 + 1 + 2 fits in 20 columns: the line was ended on purpose.
    EXPECT_EQ(smart_reflow_text(a + "\nAb cd\n", 20, false), a + "\nAb cd\n");
    // A first word of 8 characters in 16 bytes fits in the 8 columns left.
    const std::string long_word = "abcdefghij \n"
                                  "\xC3\x89\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9 x\n";
    EXPECT_EQ(smart_reflow_text(long_word, 20, false), long_word);
    // Not UTF-8 (a lone 0xE9): bytes count, and 32 bytes fill the line.
    const std::string latin = std::string(30, 'x') + "\xE9";
    EXPECT_EQ(smart_reflow_text(latin + "\nab\n", 20, false), latin + " ab\n");
}

// The report names the layout and every break kept inside a block, with
// the reason, and the text comes out as without it.
TEST(SmartReflowText, ExplainsEveryBreakItKeeps) {
    const std::string text =
        "CHAPTER ONE\nIt was a dark and stormy\nnight; the rain fell.\n\n"
        "Roses are red,\nViolets are blue,\nSugar is sweet.\n";
    std::string report;
    EXPECT_EQ(smart_reflow_text(text, 30, false, nullptr, &report),
              smart_reflow_text(text, 30, false));
    EXPECT_EQ(report,
              "layout: width 30 bytes\n"
              "layout: body indent 0\n"
              "layout: plainly wrapped lines 1, too few to measure: greedy wrapping assumed\n"
              "kept 1: next word fits | CHAPTER ONE | It was a dark and stormy\n"
              "block 5-7: short lines\n"
              "kept 5: block of short lines | Roses are red, | Violets are blue,\n"
              "kept 6: block of short lines | Violets are blue, | Sugar is sweet.\n");
}

// Greedy wrapping of random words at `width` characters.
std::string wrapped_text(std::size_t width, std::size_t words, bool accents, unsigned seed) {
    std::mt19937 rng(seed);
    std::string text, line;
    std::size_t line_chars = 0;
    for (std::size_t i = 0; i < words; ++i) {
        std::string word;
        std::size_t chars = 1 + rng() % 9;
        for (std::size_t k = 0; k < chars; ++k)
            word += accents && rng() % 4 == 0 ? "\xC3\xA9" : std::string(1, char('a' + rng() % 26));
        if (line_chars && line_chars + 1 + chars > width) {
            text += line + "\n";
            line.clear();
            line_chars = 0;
        }
        if (line_chars) {
            line += ' ';
            ++line_chars;
        }
        line += word;
        line_chars += chars;
        if (rng() % 60 == 0) {  // a paragraph ends
            text += line + "\n\n";
            line.clear();
            line_chars = 0;
        }
    }
    return text + line + "\n";
}

std::size_t widest_line(const std::string& text) {
    std::size_t widest = 0, chars = 0;
    for (char c : text) {
        if (c == '\n') {
            widest = std::max(widest, chars);
            chars = 0;
        } else {
            chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }
    }
    return widest;
}

TEST(SmartReflowText, EstimatesTheWrapWidthPastOutliers) {
    for (bool accents : {false, true}) {
        for (std::size_t width : {40, 64, 78}) {
            SCOPED_TRACE(std::to_string(width) + (accents ? " with accents" : ""));
            std::string text = wrapped_text(width, 3000, accents, static_cast<unsigned>(width));
            const std::size_t widest = widest_line(text);
            // Lines no wrapping could shorten, and a wide table row.
            text += std::string(120, '=') + "\nhttps://example.org/" + std::string(90, 'p') + "\n";
            text += "| a | b |" + std::string(100, ' ') + "| c |\n";
            // An index whose rows, parted by a gap, run past the width,
            // each with its place on a line of its own below it.
            for (int row = 0; row < 12; ++row) {
                const std::string entry = "* entry " + std::to_string(row) + ":";
                text += entry + std::string(width - entry.size() - 3, ' ') + "Its Place.\n" +
                        std::string(width - 8, ' ') + "(line " + std::to_string(row) + ")\n";
            }
            TextLayout layout;
            smart_reflow_text(text, 0, false, &layout);
            EXPECT_TRUE(layout.wrapped);
            EXPECT_EQ(layout.utf8, accents);
            EXPECT_EQ(layout.width, static_cast<std::int32_t>(widest));
        }
    }
}

// A text with its expected output: paragraphs of random words (a sentence
// now and then, some hyphenated words), between them blocks whose breaks
// stay: a stanza of verse, a list of short lines, a heading directly above
// its paragraph. With `ragged` each line is filled to a width of its own up
// to 14 columns short of `width`, as by hand or on a printed page, so that
// the next word would often have fit; otherwise greedily.
struct MadeText {
    std::string text, expected;
};

MadeText made_text(std::size_t width, bool ragged, unsigned seed) {
    std::mt19937 rng(seed);
    MadeText made;
    auto word = [&] {
        std::string w;
        for (std::size_t k = 0, n = 1 + rng() % 9; k < n; ++k) w += char('a' + rng() % 26);
        return w;
    };
    auto capital = [](std::string w) { w[0] = char(w[0] - 32); return w; };
    for (int block = 0; block < 60; ++block) {
        if (block % 6 == 3) {  // a stanza
            for (int i = 0; i < 4; ++i) {
                std::string line = capital(word());
                while (line.size() < 24) {
                    line += ' ';
                    line += word();
                }
                line += i % 2 ? "." : ",";
                made.text += line + "\n";
                made.expected += line + "\n";
            }
        } else if (block % 6 == 5) {  // short lines: a list of contents
            for (int i = 1; i <= 5; ++i) {
                const std::string line = "Part " + std::to_string(i) + " " + capital(word());
                made.text += line + "\n";
                made.expected += line + "\n";
            }
        } else {
            if (block % 6 == 1) {  // a heading above its paragraph
                const std::string heading = "Chapter " + std::to_string(block);
                made.text += heading + "\n";
                made.expected += heading + "\n";
            }
            std::string line, joined;
            std::size_t limit = width - (ragged ? rng() % 15 : 0);
            for (std::size_t i = 0, n = 30 + rng() % 60; i < n; ++i) {
                std::string w = word();
                if (i == 0 || rng() % 8 == 0) w = capital(w);
                if (rng() % 9 == 0) w += '.';
                if (!line.empty() && line.size() + 1 + w.size() > limit) {
                    made.text += line + "\n";
                    line.clear();
                    limit = width - (ragged ? rng() % 15 : 0);
                }
                if (!line.empty()) line += ' ';
                if (!joined.empty()) joined += ' ';
                line += w;
                joined += w;
            }
            made.text += line + "\n";
            made.expected += joined + "\n";
        }
        made.text += "\n";
        made.expected += "\n";
    }
    return made;
}

// Whether the next word would have fit tells a meant break in greedy
// wrapping and nothing where lines were filled unevenly: each text is
// measured for it, and either way its prose is joined and its verse, lists
// and headings stay.
TEST(SmartReflowText, LearnsHowFarAFittingWordTells) {
    for (bool ragged : {false, true}) {
        for (std::size_t width : {60, 72}) {
            SCOPED_TRACE(std::to_string(width) + (ragged ? " ragged" : " greedy"));
            const MadeText made = made_text(width, ragged, static_cast<unsigned>(width));
            TextLayout layout;
            EXPECT_EQ(smart_reflow_text(made.text, 0, false, &layout), made.expected);
            EXPECT_NEAR(layout.width, static_cast<std::int32_t>(width), ragged ? 2 : 0);
            EXPECT_EQ(layout.wrapping == Wrapping::unfilled, ragged);
        }
    }
}

TEST(SmartReflowText, LeavesTextThatIsNotHardWrappedAlone) {
    std::string text;
    std::mt19937 rng(3);
    for (int p = 0; p < 40; ++p) {
        if (p % 5 == 0) text += "Chapter " + std::to_string(p) + "\r\n\r\n";
        for (std::size_t i = 0, n = 60 + rng() % 400; i < n; ++i) text += "word ";
        text += "end.\r\n\r\n";
    }
    TextLayout layout;
    std::string expected = text;
    std::erase(expected, '\r');
    EXPECT_EQ(smart_reflow_text(text, 0, false, &layout), expected);
    EXPECT_FALSE(layout.wrapped);
}

// Runs both passes over `text` cut into blocks of `block` bytes, each read
// into one buffer that the next block overwrites, as the file road does;
// in between the buffer is scribbled over. With `threaded`, the join is
// the layer that joins on threads of its own (engine/smart/join_thread.h).
std::string reflow_in_blocks(const std::string& text, std::size_t block,
                             bool threaded = false) {
    std::string buffer(block, '\0');
    auto read = [&](std::size_t at) {
        std::fill(buffer.begin(), buffer.end(), '#');
        const std::size_t size = std::min(block, text.size() - at);
        std::copy_n(text.data() + at, size, buffer.data());
        return size;
    };
    const SmartScanState scan = start_layout_scan(false);
    for (std::size_t at = 0; at < text.size(); at += block) scan_layout(*scan, buffer.data(), read(at));
    const SmartJoinState join = start_join(finish_layout(*scan, 0), nullptr);
    std::string out;
    if (threaded) {
        BlockSink into_out = string_sink(out);
        BlockSink joining = threaded_joining(*join, into_out);
        for (std::size_t at = 0; at < text.size(); at += block)
            EXPECT_TRUE(joining.write(buffer.data(), read(at)));
        std::fill(buffer.begin(), buffer.end(), '#');
        EXPECT_TRUE(joining.finish());
        return out;
    }
    for (std::size_t at = 0; at < text.size(); at += block) testing::join_text(*join, buffer.data(), read(at), out);
    std::fill(buffer.begin(), buffer.end(), '#');
    testing::finish_text(*join, out);
    return out;
}

// Where a stream is cut into blocks changes nothing, also for CR LF split
// between blocks and for lines longer than the line buffer. Blocks of a few
// bytes are read a byte at a time, large ones sixty-four bytes a step: both
// must measure lines with tabs, trailing blanks and accents alike.
TEST(SmartJoin, BlockEdgesDoNotChangeTheOutput) {
    std::string text = wrapped_text(70, 4000, true, 11);
    std::string mixed;
    std::size_t lines = 0;
    for (char c : text) {
        if (c == '\n' && ++lines % 3 == 0) {
            mixed += "\r\n";
        } else if (c == '\n' && lines % 7 == 1) {
            mixed += "\r";
        } else if (c == '\n' && lines % 11 == 2) {
            mixed += " \t\n";
        } else if (c == '\n' && lines % 13 == 3) {
            mixed += "\n\t";
        } else if (c == ' ' && lines % 17 == 4) {
            mixed += '\t';
        } else {
            mixed += c;
        }
    }
    std::string long_line(max_line_bytes + 502, 'w');
    long_line.front() = '\n';
    long_line += " tail\n";
    mixed.insert(mixed.size() / 2, long_line);
    mixed.insert(mixed.size() / 3, std::string(2 * max_line_bytes, ' ') + "x\n");
    const std::string whole = reflow_in_blocks(mixed, mixed.size());
    // Only white space changed, and some breaks were joined.
    auto visible = [](std::string text) {
        std::erase_if(text, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
        return text;
    };
    EXPECT_EQ(visible(whole), visible(mixed));
    EXPECT_LT(std::count(whole.begin(), whole.end(), '\n'), std::count(mixed.begin(), mixed.end(), '\n') / 2);
    for (std::size_t block : {1, 2, 3, 63, 64, 65, 1000, 65536}) {
        SCOPED_TRACE(block);
        EXPECT_EQ(reflow_in_blocks(mixed, block), whole);
    }
    // On the joining threads, which start after the first megabyte and
    // join pieces of their own at once, each from an empty line on: every
    // kind of line end and of blank line, and a text with no place to
    // start afresh.
    auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        std::string out;
        for (std::size_t at = 0;;) {
            const std::size_t found = text.find(from, at);
            out.append(text, at, found - at);
            if (found == std::string::npos) return out;
            out += to;
            at = found + from.size();
        }
    };
    const std::string lf = wrapped_text(70, 600000, false, 5);
    const struct {
        const char* name;
        std::string text;
    } texts[] = {
        {"mixed", mixed},
        {"CR LF", replaced(lf, "\n", "\r\n")},
        {"lone CR", replaced(lf, "\n", "\r")},
        {"runs of empty lines", replaced(lf, "\n\n", "\r\n\n\r\r\n")},
        {"blank lines of blanks", replaced(lf, "\n\n", "\n \n")},
        {"no blank lines", replaced(lf, "\n\n", "\n")},
    };
    for (const auto& row : texts) {
        std::string many;
        while (many.size() < (3 << 20)) many += row.text;
        const std::string many_whole = reflow_in_blocks(many, many.size());
        for (std::size_t block : {std::size_t{65537}, std::size_t{256 << 10}, many.size()}) {
            SCOPED_TRACE(std::string(row.name) + ", blocks of " + std::to_string(block));
            EXPECT_TRUE(reflow_in_blocks(many, block, true) == many_whole);
        }
    }
}

// A write that fails below the joining threads fails the run at once: the
// text is read no further than the pieces between the threads. Memory
// running out there comes back as it would on one thread.
TEST(SmartJoin, AFailedWriteStopsTheReading) {
    const std::string text = wrapped_text(70, 20000, false, 3);
    const std::size_t endless = std::size_t{1} << 30;
    const struct {
        const char* name;
        bool throws;
    } rows[] = {{"write fails", false}, {"out of memory", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::size_t read = 0;
        BlockSource source{[&](char* block, std::size_t size) {
                               size = std::min(size, endless - read);
                               for (std::size_t i = 0; i < size; ++i)
                                   block[i] = text[(read + i) % text.size()];
                               read += size;
                               return size;
                           },
                           [] { return false; },
                           {}};
        // The first two megabytes go through: the join is on its joining
        // threads by then.
        std::size_t room = std::size_t{2} << 20;
        const bool throws = row.throws;
        BlockSink failing{[&room, throws](const char*, std::size_t size) {
                              if (size <= room) {
                                  room -= size;
                                  return true;
                              }
                              if (throws) throw std::bad_alloc();
                              return false;
                          },
                          {}};
        const SmartJoinState join = start_join(TextLayout{.width = 70, .wrapped = true}, nullptr);
        BlockSink joining = threaded_joining(*join, failing);
        if (throws) {
            EXPECT_THROW(pump(source, joining), std::bad_alloc);
        } else {
            EXPECT_EQ(pump(source, joining), Failure::cant_write_output);
        }
        EXPECT_LT(read, std::size_t{8} << 20);
    }
}

// The most one call can write: 64 held lines of nearly 32 KiB together, and
// an unfinished line as long as a line is held whole, all waiting for the
// next call, which ends them.
TEST(SmartJoin, WritesWithinTheRoomItPromises) {
    std::string text;
    for (std::size_t i = 0; i < smart_held_lines; ++i)
        text += std::string(smart_held_bytes / smart_held_lines - 1, static_cast<char>('a' + i % 26)) + "\n";
    text += std::string(max_line_bytes, 'z');
    const SmartJoinState join = start_join(TextLayout{.width = 40, .wrapped = true}, nullptr);
    std::string out;
    testing::join_text(*join, text.data(), text.size(), out);
    EXPECT_EQ(out, "");
    testing::join_text(*join, "\n\n", 2, out);
    testing::finish_text(*join, out);
    std::replace(text.begin(), text.end(), '\n', ' ');
    EXPECT_TRUE(out == text + "\n\n");
}

// ------------------------------------------------------------------ files

Failure smart_run(const std::string& in, const std::string& out, const SmartOptions& options,
                  SmartReport* report = nullptr) {
    return smart_reflow_between(in.c_str(), out.c_str(), options, report).failure;
}

// About 700 KB: the file road reads it in several blocks into one buffer.
TEST(SmartReflowFile, JoinsAndReportsTheWidth) {
    TempDir dir;
    std::string text = wrapped_text(66, 120000, false, 5);
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    write_file(dir.file("in.txt"), crlf);
    SmartReport report;
    EXPECT_EQ(smart_run(dir.file("in.txt"), dir.file("out.txt"), {}, &report), Failure::none);
    EXPECT_TRUE(report.wrapped);
    EXPECT_EQ(report.width, static_cast<std::int32_t>(widest_line(text)));
    EXPECT_EQ(read_file(dir.file("out.txt")), smart_reflow_text(text, 0, false));
}

// The report on a file read in several blocks is the report on the text in
// one piece: the layout said once, then each break kept, in order.
TEST(SmartReflowFile, ExplainsAsOnTheWholeText) {
    TempDir dir;
    std::string text;
    std::mt19937 rng(4);
    for (int chapter = 1; text.size() < (700 << 10); ++chapter) {
        text += "Chapter " + std::to_string(chapter) + "\n" +
                wrapped_text(66, 2000, false, static_cast<unsigned>(chapter)) + "\n";
    }
    write_file(dir.file("in.txt"), text);
    std::string expected;
    smart_reflow_text(text, 0, false, nullptr, &expected);
    SmartOptions options;
    options.explain = true;  // the report in place of the text
    EXPECT_EQ(smart_run(dir.file("in.txt"), dir.file("out.txt"), options), Failure::none);
    EXPECT_TRUE(read_file(dir.file("out.txt")) == expected);
}

// The layout is learned from the first 8 MiB, also when dehyphenation reads
// on for the vocabulary: a wider tail (here a ninth of the text, enough to
// make the whole look unwrapped) changes nothing.
// A UTF-16 text with its mark is joined as the same text in UTF-8 (widths
// count characters) and comes out in its own byte order with its mark; an
// odd last byte, no character, is kept at the end. About 350 KB in UTF-16:
// several read blocks.
TEST(SmartReflowFile, KeepsUtf16AsItCame) {
    const std::string utf8 = wrapped_text(66, 40000, true, 9) + "\xF0\x9F\x98\x80 and\n";
    const std::string joined = smart_reflow_text(utf8, 0, false);
    auto in_utf16 = [](ByteOrder order, const std::string& text) {
        return testing::utf16_text(text, order);
    };
    const struct {
        const char* name;
        std::string in, out;
    } rows[] = {
        {"little-endian", in_utf16(ByteOrder::little_endian, utf8),
         in_utf16(ByteOrder::little_endian, joined)},
        {"big-endian with an odd last byte", in_utf16(ByteOrder::big_endian, utf8) + "!",
         in_utf16(ByteOrder::big_endian, joined) + "!"},
        {"the mark alone", "\xFF\xFE", "\xFF\xFE"},
    };
    TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        write_file(dir.file("in.txt"), row.in);
        SmartReport report;
        EXPECT_EQ(smart_run(dir.file("in.txt"), dir.file("out.txt"), {}, &report), Failure::none);
        EXPECT_TRUE(read_file(dir.file("out.txt")) == row.out);
        if (row.in.size() > 2) {
            EXPECT_EQ(report.width, static_cast<std::int32_t>(widest_line(utf8)));
        }
    }
}

TEST(SmartReflowFile, DehyphenationLeavesTheLayoutAlone) {
    TempDir dir;
    const std::string body = wrapped_text(60, 20000, false, 7);
    std::string text;
    while (text.size() < (8 << 20) + 1) text += body + "\n";
    const std::string tail = wrapped_text(75, 20000, false, 8);
    const std::size_t head = text.size();
    while (text.size() < head + head / 8) text += tail + "\n";
    write_file(dir.file("in.txt"), text);
    for (bool dehyphenate : {false, true}) {
        SCOPED_TRACE(dehyphenate ? "dehyphenate" : "plain");
        SmartOptions options;
        options.dehyphenate = dehyphenate;
        SmartReport report;
        EXPECT_EQ(smart_run(dir.file("in.txt"), dir.file("out.txt"), options, &report),
                  Failure::none);
        EXPECT_TRUE(report.wrapped);
        EXPECT_EQ(report.width, static_cast<std::int32_t>(widest_line(body)));
    }
}

// Where the text is silent on a split word, the word list named (or none,
// or one that cannot be read) has its say.
TEST(SmartReflowFile, DehyphenationAsksTheWordListNamed) {
    TempDir dir;
    write_file(dir.file("in.txt"), "It was a fine day. The gree-\nnery was lush.\n");
    write_file(dir.file("words"), "a\nday\nfine\ngreenery\nit\nlush\nthe\nwas\n");
    const struct {
        std::string list;
        const char* out;
    } rows[] = {
        {dir.file("words"), "It was a fine day. The greenery was lush.\n"},
        {"", "It was a fine day. The gree-nery was lush.\n"},
        {dir.file("missing"), "It was a fine day. The gree-nery was lush.\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.list);
        SmartOptions options;
        options.columns = 30;
        options.dehyphenate = true;
        options.word_list = row.list.c_str();
        EXPECT_EQ(smart_run(dir.file("in.txt"), dir.file("out.txt"), options), Failure::none);
        EXPECT_EQ(read_file(dir.file("out.txt")), row.out);
    }
}

TEST(SmartReflowFile, FailuresTouchNothing) {
    TempDir dir;
    write_file(dir.file("in.txt"), "some text\n");
    const SmartOptions options;
    struct Case {
        const char* name;
        std::string in, out;
        Failure failure;
    } cases[] = {
        {"missing input", dir.file("none.txt"), dir.file("out.txt"), Failure::cant_find_input},
        {"output is the input", dir.file("in.txt"), dir.file("./in.txt"), Failure::output_is_input},
        {"output cannot be created", dir.file("in.txt"), dir.file("no/such/dir/out.txt"),
         Failure::cant_create_output},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(smart_run(c.in, c.out, options), c.failure);
    }
    EXPECT_EQ(read_file(dir.file("in.txt")), "some text\n");
    EXPECT_FALSE(testing::exists(dir.file("out.txt")));
}

// The input is only read: a read-only file is fine.
TEST(SmartReflowFile, ReadsReadOnlyInput) {
    TempDir dir;
    write_file(dir.file("in.txt"), "one\r\ntwo\r\n");
    ::chmod(dir.file("in.txt").c_str(), 0444);
    SmartOptions options;
    options.columns = 40;
    EXPECT_EQ(smart_run(dir.file("in.txt"), dir.file("out.txt"), options), Failure::none);
    EXPECT_EQ(read_file(dir.file("out.txt")), "one\ntwo\n");
}

}  // namespace
}  // namespace parafold
