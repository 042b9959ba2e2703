# The extension under the package's Python layer; use `parafold` instead.
import enum
from typing import Any, Optional, Union

_Bytes = Union[bytes, bytearray, memoryview]

__version__: str

class Failure(enum.IntEnum):
    none: int
    cant_find_input: int
    cant_read_input: int
    output_is_input: int
    cant_create_output: int
    cant_write_output: int
    cant_write_report: int
    names_a_temp_file: int
    cant_write_first_temp: int
    cant_read_second_temp: int
    temp_files_changed: int
    out_of_memory: int
    reader_left: int
    too_many_open_files: int
    output_taken: int
    output_busy: int

class WidthRule(enum.IntEnum):
    given: int
    mean: int
    most_common_less_6: int
    learned: int

class Width:
    rule: WidthRule
    columns: int
    def __init__(self, rule: WidthRule, columns: int = 0) -> None: ...

class UnwrapOptions:
    width: Width
    two_lines: bool
    indent: bool
    smart: bool
    dehyphenate: bool
    explain: bool
    def __init__(self) -> None: ...

def reason(failure: Failure) -> str: ...
def derive_output_path(input: bytes) -> bytes: ...
def run_file(input: bytes, output: bytes, options: UnwrapOptions) -> tuple[Failure, bool]: ...
def run_text(text: _Bytes, options: UnwrapOptions) -> tuple[Failure, Optional[bytes], bool]: ...
def layout(text: _Bytes, columns: int) -> tuple[Failure, Optional[dict[str, Any]]]: ...
