// Reading-quality benchmark for the line-joining rules.
//
// Takes any folder of plain-text files (or single files), and from their
// blank-line paragraphs builds test texts whose right answer is known:
//   1. Every paragraph, its whitespace collapsed to single spaces, is the
//      truth: it must come out as one line.
//   2. Paragraphs are put together into texts of several thousand bytes.
//      Each text is wrapped greedily at its own width from 60 to 78
//      characters, alternately with CR LF and with LF; a quarter are set in
//      print style (paragraphs start with an indented line instead of
//      following a blank line) and a quarter get accented letters, so that
//      their byte widths differ from their character widths.
//   3. Between paragraphs go blocks whose every break must stay: short
//      verse-like lines, headings (some directly above their paragraph),
//      numbered lists and indented quotes, made from the text's own words.
// Each rule runs through its file function on every text, and the output
// is scored by position: breaks are located by the count of bytes before
// them other than whitespace and hyphens, which no rule changes.
//   - paragraphs recovered: the output has a line holding exactly the
//     paragraph (trailing spaces aside) where the paragraph starts;
//   - intended breaks kept: of the breaks that must stay, the share that
//     are line breaks in the output;
//   - wrap breaks kept: of the breaks that only wrapped a paragraph, the
//     share still left as line breaks (lower is better).
// The same texts unwrapped (each paragraph already on one line) must come
// through --smart unchanged. Throughput is timed on one file made of all
// the texts, repeated to the size asked for.
//
// Usage: parafold_quality_bench [--mb N] [--show N] [--dump FOLDER] PATH...
// --dump writes each text where --smart loses a paragraph or a meant break.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <unistd.h>

#include "engine/reflow/reflow.h"
#include "engine/smart/unwrap.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t text_bytes = 8000;        // truth bytes per test text
constexpr std::uintmax_t largest_file = 4 << 20;  // larger files are skipped

// ---------------------------------------------------------------- reading

bool is_utf8_text(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') return false;
            ++i;
            continue;
        }
        const std::size_t extra = c >= 0xC2 && c < 0xE0 ? 1 : c >= 0xE0 && c < 0xF0 ? 2
                                : c >= 0xF0 && c < 0xF5 ? 3 : 0;
        if (extra == 0 || i + extra >= bytes.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

std::string read_whole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// Positions count the bytes that no rule drops or adds: every byte but
// whitespace and the hyphen, which dehyphenation may take out.
bool is_counted(char c) { return !is_space(c) && c != '-'; }

// The blank-line paragraphs of a text, each with its whitespace collapsed.
std::vector<std::string> paragraphs_of(const std::string& text) {
    std::vector<std::string> found;
    std::string current;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + at, end - at);
        const bool blank =
            std::all_of(line.begin(), line.end(), [](char c) { return is_space(c); });
        if (blank) {
            if (!current.empty()) found.push_back(std::move(current));
            current.clear();
        } else {
            for (char c : line) {
                if (is_space(c)) {
                    if (!current.empty() && current.back() != ' ') current += ' ';
                } else {
                    current += c;
                }
            }
            if (!current.empty() && current.back() != ' ') current += ' ';
        }
        at = end + 1;
    }
    if (!current.empty()) found.push_back(std::move(current));
    for (std::string& paragraph : found) {
        while (!paragraph.empty() && paragraph.back() == ' ') paragraph.pop_back();
    }
    std::erase_if(found, [](const std::string& p) { return p.empty(); });
    return found;
}

// Whether a paragraph reads as prose: at least three quarters of its words
// are made of letters, with at most some punctuation around them. Code,
// tables, file lists and ASCII art do not count.
bool is_prose(const std::string& paragraph) {
    std::size_t words = 0, plain = 0;
    std::size_t at = 0;
    while (at < paragraph.size()) {
        std::size_t end = paragraph.find(' ', at);
        if (end == std::string::npos) end = paragraph.size();
        std::string_view word(paragraph.data() + at, end - at);
        at = end + 1;
        ++words;
        while (!word.empty() && std::strchr("(\"'", word.front())) word.remove_prefix(1);
        while (!word.empty() && std::strchr(".,;:!?)\"'", word.back())) word.remove_suffix(1);
        plain += !word.empty() && word.size() <= 20 &&
                 std::all_of(word.begin(), word.end(), [](char c) {
                     return std::isalpha(static_cast<unsigned char>(c)) || c == '-' || c == '\'' ||
                            static_cast<unsigned char>(c) >= 0x80;
                 });
    }
    return plain * 4 >= words * 3;
}

// Markup, code and data: text, but not prose wrapped into paragraphs.
bool is_prose_file(const fs::path& path) {
    static const std::unordered_set<std::string> not_prose = {
        ".html", ".htm", ".xhtml", ".xml", ".css", ".js", ".json", ".svg", ".py", ".pl",
        ".sh", ".c", ".h", ".cc", ".cpp", ".conf", ".cfg", ".ini", ".yaml", ".yml",
        ".desktop", ".properties", ".csv", ".tex", ".el", ".rb", ".php", ".in", ".m4", ".ts"};
    std::string extension = path.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return !not_prose.contains(extension);
}

// Distinct paragraphs of every readable UTF-8 prose file under the paths,
// in path order, so that runs are repeatable.
std::vector<std::string> collect_paragraphs(const std::vector<std::string>& roots,
                                            std::size_t& files_used) {
    std::vector<fs::path> files;
    for (const std::string& root : roots) {
        std::error_code error;
        if (fs::is_regular_file(root, error)) {
            files.emplace_back(root);
            continue;
        }
        for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
             it.increment(error)) {
            if (it->is_symlink() || !it->is_regular_file() || !is_prose_file(it->path())) continue;
            files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> paragraphs;
    std::unordered_set<std::string> seen;
    std::size_t skipped = 0;
    files_used = 0;
    for (const fs::path& file : files) {
        std::error_code error;
        const std::uintmax_t size = fs::file_size(file, error);
        if (error || size == 0 || size > largest_file) continue;
        const std::string text = read_whole(file);
        if (!is_utf8_text(text)) continue;
        ++files_used;
        for (std::string& paragraph : paragraphs_of(text)) {
            if (!is_prose(paragraph)) {
                ++skipped;
            } else if (seen.insert(paragraph).second) {
                paragraphs.push_back(std::move(paragraph));
            }
        }
    }
    return paragraphs;
}

// -------------------------------------------------------------- building

std::size_t char_width(std::string_view text) {
    std::size_t width = 0;
    for (char c : text) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return width;
}

std::vector<std::string> words_of(const std::string& text) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        if (end > at) words.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

enum BreakKind { paragraph_end, blank_line, verse, heading, list, quote, kinds };
const char* const kind_names[kinds] = {"paragraph end", "blank line", "verse", "heading",
                                       "numbered list", "indented quote"};

struct Break {
    std::size_t position;  // non-space bytes before it
    BreakKind kind;
};

struct Paragraph {
    std::size_t position;
    std::string text;  // the expected output line
};

// One test text with its answers, built line by line.
struct TestText {
    std::string input;
    std::string unwrapped;  // the same text with every paragraph on one line
    std::vector<Break> keep;
    std::vector<std::size_t> wraps;
    std::vector<Paragraph> paragraphs;
    std::size_t position = 0;
    std::string line_end = "\n";

    void text(std::string_view bytes) {
        input += bytes;
        unwrapped += bytes;
        for (char c : bytes) position += is_counted(c);
    }
    void kept_break(BreakKind kind) {
        input += line_end;
        unwrapped += '\n';
        keep.push_back({position, kind});
    }
    void wrap_break() {
        input += line_end;
        unwrapped += ' ';
        wraps.push_back(position);
    }
};

class Builder {
public:
    Builder(std::uint32_t seed, const std::vector<std::string>& pool) : rng_(seed), pool_(pool) {}

    TestText build(const std::vector<std::string>& paragraphs) {
        TestText t;
        width_ = pick(60, 78);
        t.line_end = rng_() % 2 ? "\r\n" : "\n";
        print_style_ = rng_() % 4 == 0;
        accents_ = rng_() % 4 == 0;
        indent_ = std::string(pick(2, 5), ' ');
        bool after_block = true;  // at the start, or after a blank line
        for (const std::string& paragraph : paragraphs) {
            if (rng_() % 5 == 0) {
                if (!after_block) t.kept_break(blank_line);
                const BreakKind kind = static_cast<BreakKind>(pick(verse, quote));
                after_block = add_block(t, kind);
            }
            if (!after_block && !print_style_) t.kept_break(blank_line);
            add_paragraph(t, accented(paragraph), print_style_ ? indent_ : std::string());
            after_block = false;
        }
        return t;
    }

private:
    std::size_t pick(std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(rng_);
    }

    std::string accented(const std::string& text) {
        if (!accents_) return text;
        std::string out;
        for (char c : text) {
            if (c == 'e' && rng_() % 3 == 0) {
                out += "\xC3\xA9";
            } else if (c == 'a' && rng_() % 3 == 0) {
                out += "\xC3\xA4";
            } else {
                out += c;
            }
        }
        return out;
    }

    // Greedy wrapping: as many words on each line as fit in the width.
    static std::vector<std::string> wrap(const std::vector<std::string>& words,
                                         const std::string& first_indent,
                                         const std::string& indent, std::size_t width) {
        std::vector<std::string> lines;
        std::string line = first_indent;
        bool empty = true;
        for (const std::string& word : words) {
            if (!empty && char_width(line) + 1 + char_width(word) > width) {
                lines.push_back(line);
                line = indent;
                empty = true;
            }
            if (!empty) line += ' ';
            line += word;
            empty = false;
        }
        if (!empty) lines.push_back(line);
        return lines;
    }

    void add_paragraph(TestText& t, const std::string& text, const std::string& first_indent) {
        t.paragraphs.push_back({t.position, first_indent + text});
        const std::vector<std::string> lines = wrap(words_of(text), first_indent, "", width_);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            t.input += lines[i];
            t.unwrapped += lines[i];
            for (char c : lines[i]) t.position += is_counted(c);
            if (i + 1 < lines.size()) {
                t.wrap_break();
            } else {
                t.kept_break(paragraph_end);
            }
        }
    }

    // Random words of the corpus up to about `target` characters.
    std::string words_line(std::size_t target) {
        std::string line;
        do {
            std::string word = pool_[rng_() % pool_.size()];
            if (!line.empty() && char_width(line) + 1 + char_width(word) > target) break;
            if (!line.empty()) line += ' ';
            line += word;
        } while (char_width(line) < target);
        return accented(line);
    }

    static std::string capitalised(std::string line) {
        if (!line.empty() && line[0] >= 'a' && line[0] <= 'z') line[0] = char(line[0] - 32);
        return line;
    }

    void block_line(TestText& t, const std::string& line, BreakKind kind) {
        t.text(line);
        t.kept_break(kind);
    }

    // Adds a block and says whether a blank line closed it.
    bool add_block(TestText& t, BreakKind kind) {
        switch (kind) {
        case verse: {
            const bool stepped = rng_() % 2;
            for (std::size_t i = 0, n = pick(3, 8); i < n; ++i) {
                const std::string lead = stepped && i % 2 ? "  " : "";
                block_line(t, lead + capitalised(words_line(pick(12, 46))), verse);
            }
            break;
        }
        case heading: {
            const std::string title =
                rng_() % 2 ? "CHAPTER " + std::to_string(pick(1, 40))
                           : capitalised(words_line(pick(8, 36)));
            block_line(t, title, heading);
            if (rng_() % 2) return false;  // the paragraph follows directly
            break;
        }
        case list:
            for (std::size_t i = 1, n = pick(3, 6); i <= n; ++i) {
                block_line(t, std::to_string(i) + ". " + capitalised(words_line(pick(12, width_ - 3))),
                           list);
            }
            break;
        case quote: {
            std::vector<std::string> words;
            for (std::size_t i = 0, n = pick(12, 40); i < n; ++i)
                words.push_back(pool_[rng_() % pool_.size()]);
            for (const std::string& line : wrap(words, "    ", "    ", width_ - 10))
                block_line(t, accented(line), quote);
            break;
        }
        default:
            break;
        }
        t.kept_break(blank_line);
        return true;
    }

    std::mt19937 rng_;
    const std::vector<std::string>& pool_;
    std::size_t width_ = 70;
    bool print_style_ = false;
    bool accents_ = false;
    std::string indent_;
};

// --------------------------------------------------------------- scoring

struct Score {
    std::size_t paragraphs = 0, recovered = 0;
    std::size_t intended = 0, kept = 0;
    std::size_t wraps = 0, wraps_kept = 0;
    std::size_t by_kind[kinds] = {}, kept_by_kind[kinds] = {};
    double seconds = 0;
    std::size_t bytes = 0;
};

// Scores one output; returns how many paragraphs it lost.
std::size_t score(const TestText& t, const std::string& out, Score& s, int& show) {
    // Line breaks of the output by position, and each line by where it starts.
    std::vector<std::size_t> breaks;
    std::map<std::size_t, std::string_view> lines;
    std::size_t position = 0;
    std::size_t line_start = 0;
    bool started = false;
    std::size_t first = 0;
    for (std::size_t i = 0; i <= out.size(); ++i) {
        if (i == out.size() || out[i] == '\n') {
            if (started) {
                std::string_view line(out.data() + line_start, i - line_start);
                while (!line.empty() && is_space(line.back())) line.remove_suffix(1);
                lines.emplace(first, line);
            }
            if (i < out.size()) breaks.push_back(position);
            line_start = i + 1;
            started = false;
            continue;
        }
        if (!is_space(out[i])) {
            if (!started) first = position;
            started = true;
            position += is_counted(out[i]);
        }
    }
    const std::size_t recovered_before = s.recovered;
    for (const Paragraph& p : t.paragraphs) {
        ++s.paragraphs;
        const auto found = lines.find(p.position);
        if (found != lines.end() && found->second == p.text) {
            ++s.recovered;
        } else if (show > 0) {
            --show;
            std::printf("  lost paragraph:\n    want: %s\n    got:  %.*s\n", p.text.c_str(),
                        found == lines.end() ? 0 : int(found->second.size()),
                        found == lines.end() ? "" : found->second.data());
        }
    }
    // Kept breaks: the output's breaks at a position cover that many of the
    // intended breaks there, in their order.
    std::size_t b = 0;
    for (std::size_t k = 0; k < t.keep.size(); ++k) {
        const Break& want = t.keep[k];
        while (b < breaks.size() && breaks[b] < want.position) ++b;
        std::size_t ahead = 0;  // intended breaks at this position before this one
        for (std::size_t j = k; j > 0 && t.keep[j - 1].position == want.position; --j) ++ahead;
        const std::size_t have = static_cast<std::size_t>(
            std::upper_bound(breaks.begin(), breaks.end(), want.position) - breaks.begin()) - b;
        ++s.intended;
        ++s.by_kind[want.kind];
        if (have > ahead) {
            ++s.kept;
            ++s.kept_by_kind[want.kind];
        } else if (show > 0 && want.kind != paragraph_end && want.kind != blank_line) {
            --show;
            auto at = lines.upper_bound(want.position);
            if (at != lines.begin()) --at;
            std::printf("  lost %s break in:\n    %.*s\n", kind_names[want.kind],
                        int(at->second.size()), at->second.data());
        }
    }
    for (std::size_t wrap : t.wraps) {
        ++s.wraps;
        s.wraps_kept += std::binary_search(breaks.begin(), breaks.end(), wrap);
    }
    return t.paragraphs.size() - (s.recovered - recovered_before);
}

// ---------------------------------------------------------------- running

struct Method {
    const char* name;
    int (*run)(const char* in, const char* out);
};

int run_dialog_rule(const char* in, const char* out) {
    return parafold::status_of(parafold::reflow_file(in, out, {}).failure);
}
int run_smart(const char* in, const char* out) {
    return parafold::status_of(parafold::smart_reflow_between(in, out, {}).failure);
}
int run_smart_dehyphenate(const char* in, const char* out) {
    parafold::SmartOptions options;
    options.dehyphenate = true;
    return parafold::status_of(parafold::smart_reflow_between(in, out, options).failure);
}

const Method methods[] = {
    {"dialog rule, width 56", run_dialog_rule},
    {"--smart", run_smart},
    {"--smart --dehyphenate", run_smart_dehyphenate},
};

void write_whole(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

double percent(std::size_t part, std::size_t whole) {
    return whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t megabytes = 32;
    int show = 0;
    std::string dump;  // a folder for the texts where --smart loses a paragraph or a meant break
    std::vector<std::string> roots;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--mb" && i + 1 < argc) {
            megabytes = std::strtoul(argv[++i], nullptr, 10);
        } else if (arg == "--show" && i + 1 < argc) {
            show = std::atoi(argv[++i]);
        } else if (arg == "--dump" && i + 1 < argc) {
            dump = argv[++i];
        } else {
            roots.push_back(arg);
        }
    }
    if (roots.empty()) {
        std::fprintf(stderr, "usage: %s [--mb N] [--show N] [--dump FOLDER] PATH...\n", argv[0]);
        return 2;
    }

    std::size_t files_used = 0;
    const std::vector<std::string> paragraphs = collect_paragraphs(roots, files_used);
    if (paragraphs.empty()) {
        std::fprintf(stderr, "no plain UTF-8 text found under the paths given\n");
        return 1;
    }

    // Texts of about `text_bytes`, each built from its own paragraphs.
    std::vector<TestText> texts;
    for (std::size_t at = 0; at < paragraphs.size();) {
        std::vector<std::string> chosen;
        std::size_t bytes = 0;
        while (at < paragraphs.size() && bytes < text_bytes) {
            bytes += paragraphs[at].size();
            chosen.push_back(paragraphs[at++]);
        }
        std::vector<std::string> pool;
        for (const std::string& p : chosen)
            for (std::string& w : words_of(p)) pool.push_back(std::move(w));
        Builder builder(static_cast<std::uint32_t>(texts.size() + 1), pool);
        texts.push_back(builder.build(chosen));
    }

    const fs::path dir = fs::temp_directory_path() / ("parafold-quality-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string in_path = (dir / "in.txt").string();
    const std::string out_path = (dir / "out.txt").string();

    std::printf("%zu paragraphs from %zu files, in %zu texts wrapped at 60-78 columns "
                "(LF and CR LF)\n\n",
                paragraphs.size(), files_used, texts.size());

    std::vector<Score> scores(std::size(methods));
    std::size_t unwrapped_same = 0;
    for (const TestText& t : texts) {
        write_whole(in_path, t.input);
        for (std::size_t m = 0; m < std::size(methods); ++m) {
            if (methods[m].run(in_path.c_str(), out_path.c_str()) != 0) {
                std::fprintf(stderr, "%s failed\n", methods[m].name);
                return 1;
            }
            int quiet = 0;
            const std::size_t kept_before = scores[m].kept, intended_before = scores[m].intended;
            const std::size_t lost = score(t, read_whole(out_path), scores[m], m == 1 ? show : quiet);
            const bool lost_break =
                scores[m].intended - intended_before != scores[m].kept - kept_before;
            if (m == 1 && (lost || lost_break) && !dump.empty()) {
                write_whole(dump + "/text" + std::to_string(&t - texts.data()) + ".txt", t.input);
            }
        }
        write_whole(in_path, t.unwrapped);
        run_smart(in_path.c_str(), out_path.c_str());
        unwrapped_same += read_whole(out_path) == t.unwrapped;
    }

    // Throughput on one large file made of all the texts.
    std::string big;
    while (big.size() < megabytes << 20) {
        for (const TestText& t : texts) big += t.input;
    }
    write_whole(in_path, big);
    for (std::size_t m = 0; m < std::size(methods); ++m) {
        double best = 1e30;
        for (int round = 0; round < 3; ++round) {
            const auto start = std::chrono::steady_clock::now();
            methods[m].run(in_path.c_str(), out_path.c_str());
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            best = std::min(best, took.count());
        }
        scores[m].seconds = best;
        scores[m].bytes = big.size();
    }
    fs::remove_all(dir);

    std::printf("| method | paragraphs recovered | intended breaks kept | wrap breaks kept "
                "| MB/s |\n|---|---|---|---|---|\n");
    for (std::size_t m = 0; m < std::size(methods); ++m) {
        const Score& s = scores[m];
        std::printf("| %s | %.2f%% | %.2f%% | %.2f%% | %.0f |\n", methods[m].name,
                    percent(s.recovered, s.paragraphs), percent(s.kept, s.intended),
                    percent(s.wraps_kept, s.wraps),
                    static_cast<double>(s.bytes) / (1 << 20) / s.seconds);
    }
    std::printf("\nintended breaks --smart lost: %zu of %zu\n", scores[1].intended - scores[1].kept,
                scores[1].intended);
    std::printf("\n--smart at x%.2f of the dialog rule's throughput (goal: at least x0.5)\n",
                scores[0].seconds / scores[1].seconds);
    std::printf("\nintended breaks kept, by kind:\n\n| method |");
    for (const char* name : kind_names) std::printf(" %s |", name);
    std::printf("\n|---|");
    for (int k = 0; k < kinds; ++k) std::printf("---|");
    std::printf("\n");
    for (std::size_t m = 0; m < std::size(methods); ++m) {
        std::printf("| %s |", methods[m].name);
        for (int k = 0; k < kinds; ++k)
            std::printf(" %.2f%% |", percent(scores[m].kept_by_kind[k], scores[m].by_kind[k]));
        std::printf("\n");
    }
    std::printf("\nunwrapped texts left unchanged by --smart: %zu of %zu\n", unwrapped_same,
                texts.size());
    return 0;
}
