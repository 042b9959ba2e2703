// The --explain report of the reading-quality unwrap (engine/smart/explain.h).
#include "engine/smart/explain.h"

#include "engine/smart/tuning.h"

namespace parafold::smart {

namespace {

// Bytes of a line's start that the report shows.
constexpr std::size_t shown_bytes = 24;

// What parts the fields of a report's line.
constexpr std::string_view field_separator = " | ";

// The start of a line's body for the report, cut before a UTF-8
// character's continuation, and before a blank and a bar that the line
// holds, so that neither it nor its end with the separator after it looks
// like a separator: the fields of the report's line part at its first two.
std::string_view line_start(std::string_view text) {
    std::string_view body = trim_left(text);
    body = body.substr(0, body.find(" |"));
    if (body.size() <= shown_bytes) return body;
    std::size_t cut = shown_bytes;
    while (cut > 0 && (static_cast<unsigned char>(body[cut]) & 0xC0) == 0x80) --cut;
    return body.substr(0, cut);
}

const char* wrapping_said(Wrapping wrapping) {
    switch (wrapping) {
        case Wrapping::greedy: return "greedy wrapping, a fitting word marks a meant break";
        case Wrapping::nearly_greedy:
            return "wrapping not quite greedy, a fitting word alone proves nothing";
        case Wrapping::unfilled: return "lines not filled to a width, fitting words prove nothing";
    }
    return "";
}

}  // namespace

void describe_layout(const TextLayout& layout, std::string& report) {
    auto line = [&](const std::string& text) { report += "layout: " + text + "\n"; };
    if (!layout.wrapped) {
        line("not hard-wrapped: every line break kept");
        return;
    }
    line("width " + std::to_string(layout.width) +
         (layout.utf8 ? " characters (UTF-8)" : " bytes"));
    line("body indent " + std::to_string(layout.body_indent));
    if (layout.wrapped_lines < tuning.least_evidence) {
        line("plainly wrapped lines " + std::to_string(layout.wrapped_lines) +
             ", too few to measure: greedy wrapping assumed");
    } else {
        line("plainly wrapped lines " + std::to_string(layout.wrapped_lines) + ", " +
             std::to_string(100 - tuning.short_per_cent) + "% at least " +
             std::to_string(layout.wrap_floor) + " wide");
        const std::int32_t rate = layout.fit_per_mille;
        line("next word would fit after " + std::to_string(rate / 10) + "." +
             std::to_string(rate % 10) + "% of them: " + wrapping_said(layout.wrapping));
    }
    if (layout.print_style) line("print style: paragraphs start with an indented line");
    if (layout.two_spaces) line("two blanks after a sentence");
    if (layout.bound_numbers) line("a word and a number after it are kept together");
    if (layout.room_to_spare > 0) line("a word that would end at the width does not fit");
    if (layout.long_blocks) line("long blocks: paragraphs without blank lines between");
    if (layout.speakers) line("speakers' names in capitals");
}

void describe_block(std::int64_t first, std::int64_t last, const BlockSigns& signs,
                    std::string& report) {
    const char* kind = signs.short_lines    ? "short lines"
                       : signs.long_verse   ? "verse of long lines"
                       : signs.verse        ? "verse"
                       : signs.narrow_quote ? "quote set narrower"
                                            : nullptr;
    if (!kind) return;
    report += "block " + std::to_string(first) + "-" + std::to_string(last) + ": " + kind + "\n";
}

void describe_kept(std::int64_t line, Verdict verdict, std::string_view a, bool a_written,
                   std::string_view b, std::string& report) {
    report += "kept ";
    report += std::to_string(line);
    report += ": ";
    report += reason_of(verdict);
    report += field_separator;
    report += a_written ? std::string_view("(long line)") : line_start(a);
    report += field_separator;
    report += line_start(b);
    report += '\n';
}

}  // namespace parafold::smart
