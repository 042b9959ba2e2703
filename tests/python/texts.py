"""Hard-wrapped texts for the module's tests: a short story with the parts
real books have (headings, contents, verse, a letter, lists, a quote),
wrapped in the ways real files are, and generated prose long enough that
what is learnt from a text's first 8 MiB differs from what its whole says."""

import random
import textwrap

STORY = [
    ("heading", "CHAPTER I.\nThe Keeper's Book"),
    ("contents", "I. The Keeper's Book\nII. A Letter from Harwick\nIII. The Storm\nIV. Morning"),
    ("prose", "The lighthouse at Carrow Point had been kept by the same family for four "
              "generations, and Elin Marsh, who had it now, liked to say that the lamp "
              "knew her footsteps better than her own mother had. She climbed the "
              "hundred and twelve steps each evening at dusk, trimmed the wick, wound "
              "the clockwork that turned the great lens, and wrote the hour in the "
              "keeper's book in a small, upright hand."),
    ("prose", "Nothing much was ever written there. Wind from the south-west, moderate. "
              "Two colliers passed northward. Fog at four, cleared by six. The book had "
              "grown thick with such entries, and Elin sometimes read the older pages "
              "aloud to the gulls, who seemed to her the only creatures on the coast "
              "with any patience for history."),
    ("verse", "The lamp is lit, the tide is high,\nThe ships go out beneath the sky;\n"
              "And those who watch the water know\nHow far the little lights can go."),
    ("prose", "In the spring a letter came from the mainland office at Harwick. It was "
              "typed, which was unusual, and it was long, which was worse."),
    ("letter", "Harbour Office\n14 Quay Street\nHarwick"),
    ("prose", "Dear Mrs. Marsh, the Board has considered the matter of the automatic "
              "apparatus and has decided that Carrow Point will be among the first "
              "stations to receive it. You will understand that this is no reflection "
              "on your service, which has been exemplary in every respect, but a "
              "question of economy and of the times."),
    ("list", "1. The apparatus will be installed in June.\n"
             "2. A mechanic will call twice a year.\n"
             "3. The cottage may be kept until Michaelmas."),
    ("prose", "She read it twice at the kitchen table and then put it under the tea "
              "caddy, where it stayed for a week while she went on exactly as before, "
              "climbing, trimming, winding and writing, as if the letter were a squall "
              "that might blow itself out if she paid it no attention."),
    ("quote", "    \"A light that keeps itself,\" her father had said once, \"is a\n"
              "    light nobody is keeping. Remember that when they come with\n"
              "    their clockwork.\""),
    ("heading", "CHAPTER II.\nThe Storm"),
    ("prose", "The storm came in on the ninth of May, a week before the mechanic was "
              "due. It came without much warning, the glass falling fast through the "
              "afternoon, and by nightfall the sea was breaking over the lower rocks "
              "with a noise like furniture being thrown down a stair. Elin lit the lamp "
              "early and did not go back down."),
    ("bullets", "- oil for the night\n- a second wick\n- bread, cheese, the kettle"),
    ("prose", "At two in the morning she saw the light of a small boat, low in the "
              "water and far too close to the point, and she understood that whoever "
              "was in it could see nothing at all except her lamp, turning, turning, "
              "and that they were steering by it as men had steered by it for a "
              "hundred years."),
]

# Words for generated prose; some come hyphenated at line ends.
WORDS = ("the of and a to in was he it that his her with as for had you not be on at "
         "by which but have from they this she or an were all would one are their "
         "there been when who will more if out so said what up its about into than "
         "them can only other new some could time these two may then do first any my "
         "now such like our over man me even most made after also did many before "
         "must through back years where much your way well down should because each "
         "just those people how too little state good very make world still own see "
         "men work long get here between both life being under never day same "
         "another know while last might us great old year off come since against go "
         "came right used take three lighthouse keeper steamboat harbour northward "
         "clockwork apparatus mechanic").split()


def wrap(paragraph, width, indent=""):
    return textwrap.fill(paragraph, width, initial_indent=indent, break_long_words=False,
                         break_on_hyphens=False)


def story_text(width, *, print_style=False, two_spaces=False, accents=False):
    """The story wrapped greedily at `width`, as str with LF line ends."""
    parts = []
    for kind, body in STORY:
        if accents:
            body = body.replace("Elin", "Élin").replace("Harwick", "Härwick")
        if two_spaces:
            body = body.replace(". ", ".  ")
        if kind == "prose":
            parts.append(wrap(body, width, "   " if print_style else ""))
        else:
            parts.append(body)
    return ("\n" if print_style else "\n\n").join(parts) + "\n"


def hyphenated(width):
    """Prose whose words are split by a hyphen at some line ends."""
    rng = random.Random(7)
    words = [rng.choice(WORDS) for _ in range(600)] + ["steamboat", "clockwork"] * 3
    lines, line = [], ""
    for word in words:
        if line and len(line) + 1 + len(word) > width:
            room = width - len(line) - 2
            if len(word) > 6 and room >= 3:
                lines.append(line + " " + word[:room] + "-")
                line = word[room:]
                continue
            lines.append(line)
            line = word
        else:
            line = f"{line} {word}" if line else word
    return "\n".join(lines + [line]) + "\n"


def generated(megabytes, width, seed):
    """Paragraphs of random words wrapped at `width`, about `megabytes` long."""
    rng = random.Random(seed)
    out, size = [], 0
    while size < megabytes * 2**20:
        words = [rng.choice(WORDS) for _ in range(rng.randint(30, 140))]
        words[0] = words[0].capitalize()
        paragraph = wrap(" ".join(words) + ".", width)
        out.append(paragraph)
        size += len(paragraph) + 2
    return "\n\n".join(out) + "\n"


def past_the_sample():
    """Over 8 MiB whose end is wrapped wider than its start and holds the
    only whole spelling of a word hyphenated near the start."""
    start = "The steam-\nboat came in.\n\n" + generated(8.2, 60, 1)
    end = generated(1, 110, 2) + "\nA steamboat.\n"
    return start + "\n" + end


def texts():
    """Name -> bytes of every test text."""
    story = story_text(64)
    made = {
        "story-lf-64": story.encode(),
        "story-crlf-72": story_text(72).replace("\n", "\r\n").encode(),
        "story-print-style-60": story_text(60, print_style=True).encode(),
        "story-two-spaces-70": story_text(70, two_spaces=True).encode(),
        "story-utf8-56": story_text(56, accents=True).encode(),
        "story-lone-cr-64": story.replace("\n", "\r").encode(),
        # A page break before a chapter, and an address whose lines hold bars.
        "story-bars-form-feed-64": story.replace("CHAPTER II.", "\fCHAPTER II.")
        .replace("Harbour Office\n14 Quay", "Harbour |\n14 | Quay").encode(),
        "story-utf16le-bom-66": b"\xff\xfe" + story_text(66).replace("\n", "\r\n").encode("utf-16-le"),
        "hyphenated-58": hyphenated(58).encode(),
        "not-wrapped": ("One long line per paragraph. " * 12 + "\n\nShort.\n") .encode() * 8,
        "nul-and-no-final-break": b"a line\x00 with a NUL\nand a last line",
        "empty": b"",
        # Each line grows sevenfold under "Kindle Indent".
        "one-letter-lines": b"I\n\n" * 40000,
        "generated-1m-75": generated(1, 75, 3).encode(),
        "past-the-sample": past_the_sample().encode(),
    }
    return made
