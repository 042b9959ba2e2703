"""examples/dask_unwrap.py on a local cluster of two workers gives, for every
file, the command line's bytes, and reports a failing file with the
command line's reason while the others go on."""

import pathlib
import shutil
import subprocess
import sys

import pytest

from conftest import ROOT, run_cli
from texts import story_text, texts

EXAMPLE = ROOT / "examples" / "dask_unwrap.py"


def make_library(folder):
    """About fifty texts in nested folders, one of them a dangling link."""
    made = texts()
    small = [name for name, text in sorted(made.items()) if len(text) < 2**20]
    paths = []
    for n in range(48):
        path = folder / f"shelf{n % 3}" / ("deep" if n % 2 else "") / f"{n:02}-{small[n % len(small)]}.txt"
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(made[small[n % len(small)]] if n % 4 else story_text(50 + n).encode())
        paths.append(path.relative_to(folder))
    (folder / "UPPER.TXT").write_bytes(made["story-lf-64"])
    # A name near the system's limit of 255 bytes, its output's no longer.
    long_name = pathlib.Path("long-" + "x" * 235 + ".txt")
    (folder / long_name).write_bytes(made["story-lf-64"])
    (folder / "notes.md").write_bytes(b"not a text to unwrap\n")
    (folder / "gone.txt").symlink_to("nowhere.txt")
    return sorted(paths + [long_name]) + [pathlib.Path("UPPER.TXT")]


@pytest.mark.parametrize("options", [["--smart", "--dehyphenate"], ["-2", "-i", "-c", "60"]],
                         ids=" ".join)
def test_two_workers_give_the_command_line_bytes(tmp_path, cli, options):
    library, out, by_cli = tmp_path / "library", tmp_path / "out", tmp_path / "cli"
    library.mkdir()
    paths = make_library(library)
    shutil.copytree(library, by_cli, symlinks=True)

    ran = subprocess.run([sys.executable, str(EXAMPLE), str(library), str(out), "--workers", "2",
                          *options], capture_output=True, timeout=300, check=False)
    assert ran.returncode == 1, ran.stderr  # the dangling link failed
    expected = run_cli(cli, [*options, *map(str, paths), "gone.txt"], by_cli)
    assert expected.returncode == 1

    for path in paths:
        derived = by_cli / path.with_suffix(".ncr.txt")
        assert (out / path).read_bytes() == derived.read_bytes(), path
    # Only the outputs: no temporary file left, nothing for the failed one.
    assert sorted(p.relative_to(out) for p in out.rglob("*") if p.is_file()) == sorted(paths)

    # The table's failure row holds the reason the command line gives.
    reason = expected.stderr.decode().splitlines()[-1].split("gone.txt: ", 1)[1]
    failures = ran.stdout.decode().split("\n\n", 1)[1].splitlines()[1:]
    assert failures == [f"gone.txt  {reason}"]
