"""The Python module against parafold-cli: unwrap() on a large bytes object
and unwrap_file() against the command line from file to file (the same
bytes asked of both), and examples/dask_unwrap.py with two local workers
against one.

Usage: python_bench.py CLI DIR [MIB [FILES]]   (the parafold-cli to compare
with, a scratch folder, the corpus size, the number of ~1 MB files for Dask)

Run with a Python that has parafold installed (scripts/bench.sh makes one).
Each figure is the best of a few rounds, the one least disturbed by the
rest of the machine; the cases compared take turns in each round."""

import os
import pathlib
import random
import shutil
import subprocess
import sys
import textwrap
import time

import parafold

ROUNDS = 3
ROOT = pathlib.Path(__file__).resolve().parents[1]
# Distinct text before the corpus repeats itself: far more than any
# cache, so repeating it measures the same as fresh text would.
CHUNK_BYTES = 4 << 20
WORDS = ("the of and a to in he was that it his her you had with for she not at but be my "
         "on have him is said me which by so this all from they no were if would or when what "
         "there been one could very an who them weather morning letter house garden window "
         "river silence quickly remember evening journey perhaps nothing Elizabeth Captain "
         "whatever understand").split()


def wrapped_chunk(size, width, line_end, seed):
    rng = random.Random(seed)
    parts, total = [], 0
    while total < size:
        sentences = [" ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 21))) +
                     rng.choice(".,!?\"") for _ in range(rng.randint(1, 6))]
        paragraph = textwrap.fill(" ".join(sentences), width).replace("\n", line_end)
        parts.append(paragraph + line_end + line_end)
        total += len(parts[-1])
    return "".join(parts).encode()


def write_corpus(path, mib):
    """About `mib` MiB of prose wrapped near 70 columns with CR LF."""
    chunk = wrapped_chunk(CHUNK_BYTES, 70, "\r\n", 42)
    with open(path, "wb") as out:
        for _ in range(max(1, -(-(mib << 20) // len(chunk)))):
            out.write(chunk)
    return path.stat().st_size


def timed(work):
    """The seconds `work` takes, and what it returned."""
    os.sync()  # no case pays for the writes of the one before it
    started = time.perf_counter()
    result = work()
    return time.perf_counter() - started, result


def run_cli(cli, args, folder):
    subprocess.run([str(cli), *args], cwd=folder, check=True, stdout=subprocess.DEVNULL)


def in_child(code, folder):
    """Runs `code`, which prints the seconds it measured, in a Python of its
    own; returns those seconds and the child's peak resident memory in MiB
    (its own high-water mark, which the parent's pages do not reach)."""
    os.sync()
    ran = subprocess.run([sys.executable, "-c", code + PEAK], cwd=folder, check=True,
                         capture_output=True, text=True)
    seconds, peak_kib = ran.stdout.split()
    return float(seconds), int(peak_kib) / 1024


PEAK = """
for line in open("/proc/self/status"):
    if line.startswith("VmHWM:"):
        print(line.split()[1])
"""


def mb_per_s(size, seconds):
    return size / 1e6 / seconds


def in_memory_and_files(cli, folder, mib):
    corpus = folder / "corpus.txt"
    size = write_corpus(corpus, mib)
    print(f"corpus: {corpus}, {size / 2**20:.1f} MiB, CR LF, wrapped near 70 columns")
    data = corpus.read_bytes()
    print()
    print(f"{'what':44} {'seconds':>8} {'MB/s':>8} {'ratio':>7}  same bytes  peak memory")
    for label, kwargs, args in (("plain", {}, []), ("--smart", {"smart": True}, ["-s"])):
        code = ("import time, parafold\nstarted = time.perf_counter()\n"
                f"parafold.unwrap_file('corpus.txt', 'py.txt', **{kwargs!r})\n"
                "print(time.perf_counter() - started)")
        # The three take turns, so that a change in the machine's load meets all.
        cli_times, memory_times, file_runs = [], [], []
        for _ in range(ROUNDS):
            # Each run writes a new file: truncating the last run's output
            # costs a run a good part of its time.
            (folder / "cli.txt").unlink(missing_ok=True)
            cli_times.append(timed(lambda: run_cli(cli, [*args, "-o", "cli.txt", "corpus.txt"],
                                                   folder))[0])
            seconds, joined = timed(lambda: parafold.unwrap(data, **kwargs))
            memory_times.append(seconds)
            (folder / "py.txt").unlink(missing_ok=True)
            file_runs.append(in_child(code, folder))
        cli_seconds, memory_seconds = min(cli_times), min(memory_times)
        file_seconds, file_peak = min(file_runs)
        expected = (folder / "cli.txt").read_bytes()
        same_file = (folder / "py.txt").read_bytes() == expected
        print(f"{'parafold-cli ' + label + ', file to file':44} {cli_seconds:8.3f} "
              f"{mb_per_s(size, cli_seconds):8.0f} {'1.00':>7}")
        print(f"{'unwrap() ' + label + ', bytes in memory':44} {memory_seconds:8.3f} "
              f"{mb_per_s(size, memory_seconds):8.0f} {cli_seconds / memory_seconds:6.2f}x"
              f"  {'yes' if joined == expected else 'NO':>10}"
              "   (throughput against the command line's; goal >= 0.8x)")
        print(f"{'unwrap_file() ' + label:44} {file_seconds:8.3f} "
              f"{mb_per_s(size, file_seconds):8.0f} {file_seconds / cli_seconds:6.2f}x"
              f"  {'yes' if same_file else 'NO':>10}  {file_peak:6.1f} MiB"
              "   (time against the command line's; goal <= 1.1x)")
        del joined, expected
    for name in ("corpus.txt", "cli.txt", "py.txt"):
        (folder / name).unlink()


def dask_workers(folder, files):
    library, out = folder / "library", folder / "out"
    for n in range(files):
        shelf = library / f"shelf{n % 10}"
        shelf.mkdir(parents=True, exist_ok=True)
        (shelf / f"{n:03}.txt").write_bytes(
            wrapped_chunk(1_000_000, 60 + n % 19, "\r\n" if n % 2 else "\n", n))
    options = ["--smart", "--dehyphenate"]
    print()
    print(f"examples/dask_unwrap.py {' '.join(options)} on {files} files of about 1 MB")
    print(f"{'workers':>8} {'seconds':>8} {'whole run':>10} {'ratio':>7}")
    # The rounds take turns, so that a change in the machine's load meets both.
    times = {1: [], 2: []}
    for _ in range(ROUNDS):
        for workers in times:
            shutil.rmtree(out, ignore_errors=True)
            started = time.perf_counter()
            ran = subprocess.run([sys.executable, str(ROOT / "examples/dask_unwrap.py"),
                                  str(library), str(out), "--workers", str(workers), *options],
                                 capture_output=True, text=True, check=True)
            whole = time.perf_counter() - started
            head, values = ran.stdout.splitlines()[:2]
            table = dict(zip(head.split(), values.split()))
            times[workers].append((float(table["seconds"]), whole))
    one = min(times[1])[0]
    for workers, runs in times.items():
        work, whole = min(runs)
        print(f"{workers:8} {work:8.2f} {whole:10.2f} {work / one:6.2f}x"
              + ("   (time of the work against one worker; goal <= 0.65x)" if workers == 2 else ""))
    shutil.rmtree(library)
    shutil.rmtree(out)


def main():
    cli = pathlib.Path(sys.argv[1]).resolve()
    folder = pathlib.Path(sys.argv[2]).resolve() / "python_bench"
    mib = int(sys.argv[3]) if len(sys.argv) > 3 else 256
    files = int(sys.argv[4]) if len(sys.argv) > 4 else 300
    folder.mkdir(parents=True, exist_ok=True)
    in_memory_and_files(cli, folder, mib)
    dask_workers(folder, files)
    folder.rmdir()


if __name__ == "__main__":
    main()
