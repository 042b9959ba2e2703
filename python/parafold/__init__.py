"""Unwrap hard-wrapped plain text.

The wrapped lines of each paragraph are joined into one line, while the
real line breaks (blank lines, short lines, headings, verse, lists) stay.
The results are byte for byte those of ``parafold-cli`` with the same
options::

    >>> import parafold
    >>> parafold.unwrap("The lamp is lit, the\\ntide is high.\\n", columns=20)
    'The lamp is lit, the tide is high.\\n'
    >>> parafold.unwrap_file("book.txt")  # writes book.ncr.txt  # doctest: +SKIP
    'book.ncr.txt'

``str`` texts are taken and given back as UTF-8; ``bytes`` are taken as
they are, like a file. Failures raise :class:`Error`: :class:`FileError`
(an ``OSError``) when a file cannot be read or written,
:class:`OptionError` (a ``ValueError``) for options that do not go
together. The long calls let other Python threads run meanwhile.
"""

from __future__ import annotations

import dataclasses
import enum
import operator
import os
import pathlib
import warnings
from typing import Literal, Optional, Union, overload

from parafold import _parafold

__all__ = [
    "unwrap",
    "unwrap_file",
    "layout",
    "explain",
    "Layout",
    "Explanation",
    "KeptBreak",
    "Block",
    "Failure",
    "Error",
    "FileError",
    "OptionError",
    "OutOfMemory",
    "NotWrappedWarning",
]

__version__: str = _parafold.__version__

Columns = Union[int, Literal["mean", "most-common"], None]
Text = Union[str, bytes, bytearray, memoryview]
PathArg = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

# The widest column a run takes: the engine counts in signed 32 bits.
_MOST_COLUMNS = 2**31 - 1


def _failure_reason(failure) -> str:
    """The text ``parafold-cli`` prints for this failure."""
    return _parafold.reason(_parafold.Failure.__members__[failure.value])


# Why a run failed, by the engine's names (Failure.cant_find_input, ...);
# Error.failure holds one, and its `reason` is the text parafold-cli prints.
Failure = enum.Enum("Failure", [(name, name) for name in _parafold.Failure.__members__
                                if name != "none"], module=__name__, qualname="Failure")
Failure.__doc__ = "Why a run failed; :attr:`Error.failure` holds one."
Failure.reason = property(_failure_reason)


class Error(Exception):
    """A call failed; the message says why.

    :attr:`failure` is the :class:`Failure` of a run that failed, None for
    options that do not go together.
    """

    failure: Optional[Failure] = None


class FileError(Error, OSError):
    """A file could not be opened, read or written; nothing was lost.

    ``filename`` is the path it happened to, the message the reason
    ``parafold-cli`` prints.
    """

    def __init__(self, failure: Failure, filename: Optional[PathArg] = None) -> None:
        OSError.__init__(self, None, failure.reason, filename)
        self.failure = failure

    def __str__(self) -> str:
        return self.strerror

    def __reduce__(self):  # pickled as made, e.g. from a Dask worker
        return (type(self), (self.failure, self.filename))


class OptionError(Error, ValueError):
    """The options of a call do not go together or are out of range."""

    def __init__(self, message: str) -> None:
        ValueError.__init__(self, message)


class OutOfMemory(Error, MemoryError):
    """The memory for a stretch of text or a vocabulary ran out."""

    def __init__(self, failure: Failure = Failure.out_of_memory) -> None:
        MemoryError.__init__(self, failure.reason)
        self.failure = failure

    def __reduce__(self):
        return (type(self), (self.failure,))


class NotWrappedWarning(UserWarning):
    """``smart=True`` found no dominant wrap width: the line breaks were kept."""


# ----------------------------------------------------------------- options


def _run_options(columns: Columns, smart: bool, dehyphenate: bool, two_lines: bool,
                 indent: bool) -> _parafold.UnwrapOptions:
    options = _parafold.UnwrapOptions()
    options.smart = bool(smart)
    options.dehyphenate = bool(dehyphenate)
    options.two_lines = bool(two_lines)
    options.indent = bool(indent)
    if options.dehyphenate and not options.smart:
        raise OptionError("dehyphenate=True goes with smart=True")
    if columns is None:
        options.width = (_parafold.Width(_parafold.WidthRule.learned) if options.smart
                         else _parafold.Width(_parafold.WidthRule.given, 56))
    elif isinstance(columns, str):
        if columns not in ("mean", "most-common"):
            raise OptionError(f"columns must be an int, 'mean' or 'most-common', not {columns!r}")
        if options.smart:
            raise OptionError("smart=True learns the width itself: give columns as an int or None")
        if columns == "most-common" and not (options.two_lines or options.indent):
            raise OptionError("columns='most-common' goes with two_lines=True or indent=True")
        options.width = _parafold.Width(_parafold.WidthRule.mean if columns == "mean"
                                        else _parafold.WidthRule.most_common_less_6)
    else:
        if isinstance(columns, bool):
            raise TypeError("columns must be an int, 'mean' or 'most-common', not bool")
        try:
            number = operator.index(columns)
        except TypeError:
            raise TypeError("columns must be an int, 'mean' or 'most-common', "
                            f"not {type(columns).__name__}") from None
        least = 1 if options.smart else 0
        if not least <= number <= _MOST_COLUMNS:
            raise OptionError(f"columns must be from {least} to {_MOST_COLUMNS}, not {number}")
        options.width = _parafold.Width(_parafold.WidthRule.given, number)
    return options


def _text_bytes(text: Text):
    if isinstance(text, str):
        return text.encode("utf-8")
    if isinstance(text, memoryview) and not text.c_contiguous:
        return text.tobytes()  # the engine reads bytes side by side
    if isinstance(text, (bytes, bytearray, memoryview)):
        return text
    raise TypeError(f"text must be str or bytes, not {type(text).__name__}")


def _path_bytes(path: PathArg, what: str) -> bytes:
    try:
        name = os.fsencode(path)
    except TypeError:
        raise TypeError(f"{what} must be a path (str, bytes or os.PathLike), "
                        f"not {type(path).__name__}") from None
    if b"\0" in name:
        raise OptionError(f"{what} holds a null byte")
    # The pipeline reads "-" as a standard stream; here it is a file's name.
    return b"./-" if name == b"-" else name


def _run_text(data, options):
    # Memory may also run out where the run's output is made or handed
    # over, outside the run itself: that is the same failure.
    try:
        return _parafold.run_text(data, options)
    except MemoryError as error:
        raise OutOfMemory() from error


def _raise_failure(raw, paths: dict) -> None:
    failure = Failure(raw.name)
    if failure is Failure.out_of_memory:
        raise OutOfMemory()
    raise FileError(failure, paths.get(failure))


def _warn_not_wrapped() -> None:
    warnings.warn(NotWrappedWarning(
        "The text has no dominant wrap width: its line breaks were kept."), stacklevel=3)


# --------------------------------------------------------------- unwrapping


@overload
def unwrap(text: str, *, columns: Columns = ..., smart: bool = ..., dehyphenate: bool = ...,
           two_lines: bool = ..., indent: bool = ...) -> str: ...
@overload
def unwrap(text: Union[bytes, bytearray, memoryview], *, columns: Columns = ...,
           smart: bool = ..., dehyphenate: bool = ..., two_lines: bool = ...,
           indent: bool = ...) -> bytes: ...
def unwrap(text, *, columns=None, smart=False, dehyphenate=False, two_lines=False,
           indent=False):
    """Return `text` with the wrapped lines of each paragraph joined.

    The result is byte for byte what ``parafold-cli`` writes for the same
    bytes and options. Line ends come out as a bare LF.

    text
        ``str`` (taken as UTF-8, and a ``str`` is returned) or ``bytes``
        (taken as they are, as from a file; ``bytes`` are returned).
    columns
        The wrap column: an int, ``"mean"`` (the mean line length of the
        text) or ``"most-common"`` (the most common line length less 6;
        with `two_lines` or `indent`). None: 56, or with `smart` the width
        the text shows.
    smart
        The reading-quality unwrap: joins every wrapped line and keeps
        only the breaks the text shows were meant (headings, verse, lists,
        quotes, paragraph ends). A text with no dominant wrap width is left
        as it is, with a :class:`NotWrappedWarning`.
    dehyphenate
        With `smart`: rejoin a word hyphenated at a line end spelt as the
        text spells it elsewhere, with its hyphen or without.
    two_lines
        "Kindle 2 Lines": collapse every run of line breaks into one first.
    indent
        "Kindle Indent": indent every joined line by five spaces and drop
        the empty lines.

    Raises :class:`OptionError` for options that do not go together,
    :class:`OutOfMemory` when the text's memory runs out.
    """
    options = _run_options(columns, smart, dehyphenate, two_lines, indent)
    data = _text_bytes(text)
    raw, joined, breaks_kept = _run_text(data, options)
    if raw != _parafold.Failure.none:
        _raise_failure(raw, {})
    if breaks_kept:
        _warn_not_wrapped()
    return joined.decode("utf-8") if isinstance(text, str) else joined


def unwrap_file(src: PathArg, dst: Optional[PathArg] = None, *, columns: Columns = None,
                smart: bool = False, dehyphenate: bool = False, two_lines: bool = False,
                indent: bool = False) -> PathArg:
    """Unwrap the file `src` into the file `dst` and return `dst`.

    The file is streamed, so memory stays small whatever its size, and
    other Python threads run meanwhile. The output is what ``parafold-cli``
    writes for the same file and options.

    src, dst
        Paths (``str``, ``bytes`` or ``os.PathLike`` such as
        ``pathlib.Path``). `dst` defaults to `src` with everything from its
        last ``.`` replaced by ``.ncr.txt`` (``book.txt`` gives
        ``book.ncr.txt``), returned as a ``pathlib.Path`` when `src` is one,
        else of `src`'s type. A given `dst` is returned as given.
    columns, smart, dehyphenate, two_lines, indent
        As for :func:`unwrap`.

    Raises :class:`FileError` (an ``OSError``; ``filename`` says which
    file) when the input cannot be read, the output cannot be written or
    is the input; the input is never changed and an existing output is
    left as it was unless writing it had begun. :class:`OptionError` for
    options that do not go together. Paths are files: ``"-"`` too.
    """
    options = _run_options(columns, smart, dehyphenate, two_lines, indent)
    src_name = _path_bytes(src, "src")
    if dst is None:
        dst_name = _parafold.derive_output_path(os.fsencode(src))
        if isinstance(src, (str, bytes)):
            result = dst_name if isinstance(src, bytes) else os.fsdecode(dst_name)
        else:
            result = pathlib.Path(os.fsdecode(dst_name))
    else:
        dst_name = _path_bytes(dst, "dst")
        result = dst
    raw, breaks_kept = _parafold.run_file(src_name, dst_name, options)
    if raw != _parafold.Failure.none:
        inputs = {Failure.cant_find_input: src, Failure.cant_read_input: src}
        output = dst if dst is not None else result
        outputs = {f: output for f in (Failure.output_is_input, Failure.cant_create_output,
                                       Failure.cant_write_output, Failure.reader_left,
                                       Failure.output_busy)}
        _raise_failure(raw, {**inputs, **outputs})
    if breaks_kept:
        _warn_not_wrapped()
    return result


# ------------------------------------------------------------ what it learns


@dataclasses.dataclass(frozen=True)
class Layout:
    """What the reading-quality unwrap (``smart=True``) learns of a text.

    width
        The wrap column, in characters for UTF-8 text, else in bytes.
    wrapped
        False when the text shows no dominant wrap width: every break is
        then kept.
    utf8
        Whether the text is UTF-8 (widths then count characters).
    body_indent
        Columns of indentation of the body text.
    wrapped_lines
        How many plainly wrapped lines (followed in their paragraph by a
        line starting with a small letter) the evidence comes from.
    wrap_floor
        All but 3% of the plainly wrapped lines are at least this wide.
    fit_per_mille
        After how many in 1000 plainly wrapped lines the next line's first
        word would have fitted: few in greedy wrapping, many in texts
        filled by hand or copied from a printed page.
    wrapping
        What that rate says: ``"greedy"`` (a word that would have fitted
        marks a meant break), ``"nearly greedy"`` (it proves nothing by
        itself) or ``"unfilled"`` (the lines were not filled to a width).
    print_style
        Paragraphs start with an indented line rather than after a blank one.
    two_spaces
        Sentences inside lines are followed by two blanks.
    bound_numbers
        A capitalised word and a number after it ("Section 4") are never
        parted by a line end.
    """

    width: int
    wrapped: bool
    utf8: bool
    body_indent: int
    wrapped_lines: int
    wrap_floor: int
    fit_per_mille: int
    wrapping: Literal["greedy", "nearly greedy", "unfilled"]
    print_style: bool
    two_spaces: bool
    bound_numbers: bool


@dataclasses.dataclass(frozen=True)
class KeptBreak:
    """A line break the reading-quality unwrap kept inside a block of text.

    `line` is the number of the line it ends (from 1), `reason` why it was
    kept, `line_start` and `next_start` the first characters of that line
    and of the next.
    """

    line: int
    reason: str
    line_start: str
    next_start: str


@dataclasses.dataclass(frozen=True)
class Block:
    """Lines `first` to `last` (from 1) read as `kind`: verse, short lines..."""

    first: int
    last: int
    kind: str


@dataclasses.dataclass(frozen=True)
class Explanation:
    """Why the reading-quality unwrap kept the breaks it kept in a text."""

    layout: Layout
    blocks: list
    breaks: list


def _smart_columns(columns: Optional[int]) -> int:
    options = _run_options(columns, True, False, False, False)
    return options.width.columns


def layout(text: Text, *, columns: Optional[int] = None) -> Layout:
    """Return what ``smart=True`` learns of `text`: its :class:`Layout`.

    `columns` gives the width instead of learning it, as for :func:`unwrap`.
    """
    raw, found = _parafold.layout(_text_bytes(text), _smart_columns(columns))
    if raw != _parafold.Failure.none:
        _raise_failure(raw, {})
    return Layout(**found)


def explain(text: Text, *, columns: Optional[int] = None) -> Explanation:
    """Return why ``smart=True`` keeps the breaks it keeps in `text`.

    The :class:`Explanation` holds the layout, the blocks read as more than
    paragraphs, and every break kept inside a block with its line number
    and reason, as ``parafold-cli --smart --explain`` prints them.
    """
    options = _run_options(columns, True, False, False, False)
    options.explain = True
    data = _text_bytes(text)
    raw, said, _ = _run_text(data, options)
    if raw != _parafold.Failure.none:
        _raise_failure(raw, {})
    report = said.decode("utf-8", "replace")
    blocks, breaks = [], []
    for line in report.split("\n"):
        if line.startswith("kept "):
            number, rest = line[5:].split(": ", 1)
            reason, line_start, next_start = rest.split(" | ", 2)
            breaks.append(KeptBreak(int(number), reason, line_start, next_start))
        elif line.startswith("block "):
            span, kind = line[6:].split(": ", 1)
            first, last = span.split("-")
            blocks.append(Block(int(first), int(last), kind))
    return Explanation(layout(data, columns=columns), blocks, breaks)
