"""parafold.unwrap and parafold.unwrap_file against parafold-cli's bytes,
their types, their failures and the interpreter they leave free."""

import doctest
import fcntl
import os
import pathlib
import pickle
import subprocess
import sys
import textwrap
import warnings

import pytest

import parafold
from conftest import run_cli
from texts import story_text, texts

TEXTS = texts()

# Keyword arguments of the module and the command line's options for them.
OPTIONS = [
    ({}, []),
    ({"columns": 70}, ["-c", "70"]),
    ({"columns": 0}, ["-c", "0"]),
    ({"columns": "mean"}, ["-c", "-1"]),
    ({"two_lines": True}, ["-2"]),
    ({"indent": True}, ["-i"]),
    ({"two_lines": True, "indent": True, "columns": 60}, ["-2", "-i", "-c", "60"]),
    ({"columns": "mean", "indent": True}, ["-c", "-1", "-i"]),
    ({"columns": "most-common", "two_lines": True}, ["-a", "-2"]),
    ({"columns": "most-common", "indent": True}, ["-a", "-i"]),
    ({"smart": True}, ["-s"]),
    ({"smart": True, "columns": 72}, ["-s", "-c", "72"]),
    ({"smart": True, "dehyphenate": True}, ["-s", "--dehyphenate"]),
    ({"smart": True, "two_lines": True, "indent": True}, ["-s", "-2", "-i"]),
    ({"smart": True, "dehyphenate": True, "indent": True}, ["-s", "--dehyphenate", "-i"]),
]


def option_id(row):
    return ",".join(f"{k}={v}" for k, v in row[0].items()) or "defaults"


@pytest.mark.parametrize("name", sorted(TEXTS))
@pytest.mark.parametrize("kwargs,args", OPTIONS, ids=[option_id(row) for row in OPTIONS])
def test_same_bytes_as_the_command_line(tmp_path, monkeypatch, cli, name, kwargs, args):
    # The e-reader road's temporary files go to the current folder.
    monkeypatch.chdir(tmp_path)
    text = TEXTS[name]
    (tmp_path / "in.txt").write_bytes(text)
    ran = run_cli(cli, [*args, "-o", "cli.txt", "in.txt"], tmp_path)
    assert ran.returncode == 0, ran.stderr
    expected = (tmp_path / "cli.txt").read_bytes()

    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        assert parafold.unwrap(text, **kwargs) == expected
        assert parafold.unwrap_file(tmp_path / "in.txt", tmp_path / "py.txt", **kwargs) == \
            tmp_path / "py.txt"
    assert (tmp_path / "py.txt").read_bytes() == expected
    # A note on standard error is a warning here, for both calls.
    assert len(caught) == (2 if ran.stderr else 0)
    assert all(issubclass(w.category, parafold.NotWrappedWarning) for w in caught)

    try:
        as_str = text.decode("utf-8")
    except UnicodeDecodeError:
        return
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        assert parafold.unwrap(as_str, **kwargs) == expected.decode("utf-8")


def test_types_in_and_out(tmp_path, monkeypatch, cli):
    monkeypatch.chdir(tmp_path)
    text = story_text(64)
    data = text.encode()
    joined = parafold.unwrap(data)
    assert parafold.unwrap(text) == joined.decode()
    every_other = memoryview(bytes(b for byte in data for b in (byte, 0)))[::2]
    for same in (bytearray(data), memoryview(data), every_other):
        assert parafold.unwrap(same) == joined
    try:  # a buffer in Fortran order, from CPython's own test module
        from _testbuffer import ND_FORTRAN, ndarray
    except ImportError:
        pass
    else:
        even = data[:len(data) // 2 * 2]
        fortran = memoryview(ndarray(list(even), shape=[2, len(even) // 2], format="B",
                                     flags=ND_FORTRAN))
        assert parafold.unwrap(fortran) == parafold.unwrap(fortran.tobytes())

    # The default output path is the command line's, in the type given.
    (tmp_path / "book.part2.txt").write_bytes(data)
    printed = run_cli(cli, ["book.part2.txt"], tmp_path).stdout.decode().strip()
    assert parafold.unwrap_file("book.part2.txt") == printed
    assert parafold.unwrap_file(b"book.part2.txt") == printed.encode()
    assert parafold.unwrap_file(pathlib.Path("book.part2.txt")) == pathlib.Path(printed)
    assert pathlib.Path(printed).read_bytes() == joined
    given = tmp_path / "given.txt"
    assert parafold.unwrap_file("book.part2.txt", given) is given
    assert given.read_bytes() == joined

    # "-" names a file, not standard input.
    (tmp_path / "-").write_bytes(data)
    assert parafold.unwrap_file("-") == "-.ncr.txt"
    assert (tmp_path / "-.ncr.txt").read_bytes() == joined


def test_the_documented_example():
    tried = doctest.testmod(parafold)
    assert tried.attempted > 0 and tried.failed == 0


# Calls refused before any file is touched.
def _src_missing(**kwargs):
    return parafold.unwrap_file("never-made.txt", **kwargs)


REFUSED = [
    (lambda: parafold.unwrap("a", dehyphenate=True), parafold.OptionError),
    (lambda: parafold.unwrap("a", columns="wide"), parafold.OptionError),
    (lambda: parafold.unwrap("a", columns=-1), parafold.OptionError),
    (lambda: parafold.unwrap("a", columns=2**31), parafold.OptionError),
    (lambda: parafold.unwrap("a", columns="most-common"), parafold.OptionError),
    (lambda: parafold.unwrap("a", smart=True, columns="mean"), parafold.OptionError),
    (lambda: parafold.unwrap("a", smart=True, columns=0), parafold.OptionError),
    (lambda: parafold.layout("a", columns=0), parafold.OptionError),
    (lambda: parafold.unwrap("a", columns=3.5), TypeError),
    (lambda: parafold.unwrap("a", columns=True), TypeError),
    (lambda: parafold.unwrap("a", 56), TypeError),
    (lambda: parafold.unwrap(56), TypeError),
    (lambda: parafold.explain(["a"]), TypeError),
    (lambda: _src_missing(dehyphenate=True), parafold.OptionError),
    (lambda: _src_missing(columns="most-common", smart=True), parafold.OptionError),
    (lambda: parafold.unwrap_file("a\0b.txt"), parafold.OptionError),
    (lambda: parafold.unwrap_file(56), TypeError),
]


@pytest.mark.parametrize("call,expected", REFUSED, ids=range(len(REFUSED)))
def test_refused_options(tmp_path, monkeypatch, call, expected):
    monkeypatch.chdir(tmp_path)
    with pytest.raises(expected) as raised:
        call()
    if expected is parafold.OptionError:
        assert isinstance(raised.value, ValueError) and raised.value.failure is None
    assert list(tmp_path.iterdir()) == []


def _snapshot(folder):
    return {p: (p.read_bytes() if p.is_file() else None) for p in sorted(folder.rglob("*"))}


# (name, src, dst, options, failure, path in the exception: "src" or "dst")
FAILING = [
    ("missing input", "missing.txt", "old.txt", {}, "cant_find_input", "src"),
    ("missing input, e-reader road", "missing.txt", "old.txt", {"indent": True},
     "cant_find_input", "src"),
    ("missing input, smart", "missing.txt", "old.txt", {"smart": True}, "cant_find_input", "src"),
    ("folder as input", "folder", "out.txt", {}, "cant_find_input", "src"),
    ("output is the input", "book.txt", "book.txt", {}, "output_is_input", "dst"),
    ("output is the input, e-reader road", "book.txt", "book.txt", {"two_lines": True},
     "output_is_input", "dst"),
    ("output is the input, smart", "book.txt", "book.txt", {"smart": True}, "output_is_input",
     "dst"),
    ("output is the input by another name", "book.txt", "folder/../book.txt", {},
     "output_is_input", "dst"),
    ("output is a hard link to the input", "book.txt", "hard.txt", {}, "output_is_input", "dst"),
    ("output is a symbolic link to the input", "book.txt", "soft.txt", {"smart": True},
     "output_is_input", "dst"),
    ("output in a missing folder", "book.txt", "nowhere/out.txt", {}, "cant_create_output", "dst"),
    ("output is a folder", "book.txt", "folder", {"smart": True}, "cant_create_output", "dst"),
    ("output on a full device", "book.txt", "/dev/full", {}, "cant_write_output", "dst"),
    ("output on a full device, e-reader road", "book.txt", "/dev/full", {"indent": True},
     "cant_write_output", "dst"),
    ("output another run is writing", "book.txt", "busy.txt", {"smart": True}, "output_busy",
     "dst"),
]


@pytest.mark.parametrize("name,src,dst,options,failure,which", FAILING,
                         ids=[row[0] for row in FAILING])
def test_failures_raise_and_keep_files(tmp_path, monkeypatch, cli, name, src, dst, options,
                                       failure, which):
    monkeypatch.chdir(tmp_path)
    (tmp_path / "book.txt").write_bytes(TEXTS["story-crlf-72"])
    (tmp_path / "old.txt").write_bytes(b"what was there before\n")
    (tmp_path / "folder").mkdir()
    os.link(tmp_path / "book.txt", tmp_path / "hard.txt")
    (tmp_path / "soft.txt").symlink_to("book.txt")
    (tmp_path / "busy.txt").write_bytes(b"another run's text\n")
    busy = open(tmp_path / "busy.txt", "ab")  # held as a run that writes it holds it
    fcntl.flock(busy, fcntl.LOCK_EX)
    before = _snapshot(tmp_path)

    with pytest.raises(parafold.FileError) as raised:
        parafold.unwrap_file(pathlib.Path(src), dst, **options)
    error = raised.value
    assert isinstance(error, OSError) and isinstance(error, parafold.Error)
    assert error.failure == parafold.Failure[failure]
    assert error.filename == (pathlib.Path(src) if which == "src" else dst)
    assert _snapshot(tmp_path) == before

    # The message is the reason the command line gives for the same run.
    args = [OPTIONS_OF[key] for key in options]
    ran = run_cli(cli, [*args, "-o", dst, src], tmp_path)
    assert ran.returncode == 1
    assert ran.stderr.decode().endswith(f": {error}\n")
    # It survives the trip from a worker process.
    again = pickle.loads(pickle.dumps(error))
    assert (type(again), again.failure, again.filename, str(again)) == \
        (type(error), error.failure, error.filename, str(error))


OPTIONS_OF = {"indent": "-i", "two_lines": "-2", "smart": "-s"}

# Run in a process of its own: a worker thread unwraps a FIFO that only
# the main thread fills. Were the interpreter held while the file is
# unwrapped, the main thread could not write, and neither would end.
GIL_SCRIPT = textwrap.dedent("""
    import sys, threading, parafold
    fifo, out, smart = sys.argv[1], sys.argv[2], sys.argv[3] == "smart"
    done = []
    worker = threading.Thread(target=lambda: done.append(
        parafold.unwrap_file(fifo, out, smart=smart)))
    worker.start()
    with open(fifo, "wb") as pipe:
        for n in range(20000):  # far more than a pipe holds
            pipe.write(b"a line of words that were wrapped at a width\\n")
    worker.join()
    print(done[0])
""")


@pytest.mark.parametrize("road", ["plain", "smart"])
def test_interpreter_runs_while_a_file_is_unwrapped(tmp_path, road):
    fifo = tmp_path / "fifo.txt"
    os.mkfifo(fifo)
    out = tmp_path / "out.txt"
    try:
        ran = subprocess.run([sys.executable, "-c", GIL_SCRIPT, str(fifo), str(out), road],
                             capture_output=True, timeout=60, check=False)
    except subprocess.TimeoutExpired:
        pytest.fail("unwrap_file kept the interpreter while it waited for its input")
    assert ran.returncode == 0, ran.stderr
    assert ran.stdout.decode().strip() == str(out)
    assert out.stat().st_size > 20000 * 40


@pytest.mark.parametrize("name", ["story-lf-64", "story-print-style-60", "story-utf16le-bom-66",
                                  "story-lone-cr-64", "story-bars-form-feed-64",
                                  "past-the-sample", "not-wrapped"])
def test_explain_and_layout_say_what_the_command_line_says(tmp_path, cli, name):
    (tmp_path / "in.txt").write_bytes(TEXTS[name])
    report = run_cli(cli, ["--smart", "--explain", "in.txt"], tmp_path).stdout.decode()
    explained = parafold.explain(TEXTS[name])
    told = [f"block {b.first}-{b.last}: {b.kind}" for b in explained.blocks] + \
        [f"kept {k.line}: {k.reason} | {k.line_start} | {k.next_start}" for k in explained.breaks]
    assert sorted(told) == sorted(line for line in report.split("\n")
                                  if line.startswith(("kept ", "block ")))
    # The fields part where the report meant them: a break's next line is
    # the line of the break kept after it.
    starts = {k.line: k.line_start for k in explained.breaks}
    assert [k.next_start for k in explained.breaks if k.line + 1 in starts] == \
        [starts[k.line + 1] for k in explained.breaks if k.line + 1 in starts]
    found = parafold.layout(TEXTS[name])
    assert explained.layout == found
    width = f"layout: width {found.width} " if found.wrapped else "layout: not hard-wrapped"
    assert width in report


# Run in a process of its own, its address space capped a little above what
# it holds once the text is made: memory runs out while the output is made.
MEMORY_SCRIPT = textwrap.dedent("""
    import resource, sys, parafold
    text = bytes.fromhex(sys.argv[1]) * int(sys.argv[2])
    indent, spare = sys.argv[3] == "indent", int(sys.argv[4]) << 20
    with open("/proc/self/status") as status:
        in_use = next(int(line.split()[1]) << 10 for line in status
                      if line.startswith("VmSize:"))
    resource.setrlimit(resource.RLIMIT_AS, (in_use + spare, in_use + spare))
    try:
        parafold.unwrap(text, indent=indent)
        print("unwrapped")
    except parafold.OutOfMemory:
        print("OutOfMemory")
""")


@pytest.mark.parametrize("name,line,times,indent,spare", [
    # The output outgrows the room made for it, on the thread that writes it.
    ("output grows on its thread", "610a", 50_000_000, "indent", 200),
    # No room for the output at all.
    ("no room for the output", "776f726420", 60_000_000, "plain", 60),
], ids=lambda value: value if isinstance(value, str) and " " in value else "")
def test_memory_running_out_raises_out_of_memory(name, line, times, indent, spare):
    ran = subprocess.run([sys.executable, "-c", MEMORY_SCRIPT, line, str(times), indent,
                          str(spare)], capture_output=True, check=False)
    assert (ran.returncode, ran.stdout.decode().strip()) == (0, "OutOfMemory"), ran.stderr


# Run in a process of its own, which handles a timer's signal every 10 ms
# as Python programs with a profiler or an alarm do: a read, write or open
# of a pipe that waits is cut short by it, and must go on; unless the
# handler raises (as Ctrl-C's does), whose exception then ends the call.
SIGNAL_SCRIPT = textwrap.dedent("""
    import os, signal, subprocess, sys, parafold
    folder, side = sys.argv[1], sys.argv[2]
    fifo, plain = os.path.join(folder, "fifo"), os.path.join(folder, "plain.txt")
    os.mkfifo(fifo)
    lines = b"a line of words that were wrapped at a width\\n" * 200
    # The other end of the pipe, slow: it writes or reads a piece every 20 ms.
    slowly = ("import sys, time\\n"
              "with open(sys.argv[1], sys.argv[2]) as pipe:\\n"
              "    for _ in range(20):\\n"
              "        time.sleep(0.02)\\n"
              "        pipe.write(%r) if sys.argv[2] == 'wb' else pipe.read(16384)\\n"
              "    pipe.read() if sys.argv[2] == 'rb' else None\\n" % lines)
    with open(plain, "wb") as text:
        text.write(lines * 20)
    source, target = (plain, fifo) if side == "output" else (fifo, plain)
    if side == "no writer":
        def alarm(*_):
            raise TimeoutError()
        signal.signal(signal.SIGALRM, alarm)
        signal.setitimer(signal.ITIMER_REAL, 0.3)
        other = subprocess.Popen([sys.executable, "-c", "pass"])
    else:
        signal.signal(signal.SIGALRM, lambda *_: None)
        signal.setitimer(signal.ITIMER_REAL, 0.01, 0.01)
        other = subprocess.Popen([sys.executable, "-c", slowly, fifo,
                                  "wb" if side == "input" else "rb"])
    try:
        parafold.unwrap_file(source, target)
        print("unwrapped")
    except parafold.Error as error:
        print(error.failure.name)
    except TimeoutError:
        print("timed out")
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        other.kill()
        other.wait()
""")


@pytest.mark.parametrize("side,said", [("input", "unwrapped"), ("output", "unwrapped"),
                                       ("no writer", "timed out")])
def test_signals_do_not_cut_a_pipe_short(tmp_path, side, said):
    ran = subprocess.run([sys.executable, "-c", SIGNAL_SCRIPT, str(tmp_path), side],
                         capture_output=True, check=False, timeout=60)
    assert (ran.returncode, ran.stdout.decode().strip()) == (0, said), ran.stderr
