#!/usr/bin/env python3
"""Unwrap every .txt file under FOLDER on a Dask cluster.

    python3 examples/dask_unwrap.py FOLDER OUT [--scheduler ADDRESS] [--workers N]
                                    [--smart] [--dehyphenate] [--columns C]
                                    [--two-lines] [--indent]

Each FOLDER/PATH.txt is unwrapped with parafold.unwrap_file into OUT/PATH.txt
(the same relative path), written under a temporary name of its own beside
it and renamed once whole, so that OUT never holds half a file and runs on
many machines never share a name. A file that fails is reported and the
others go on; the run ends with a table of files, bytes, MB/s and the
failures with their reasons. Exit status: 0 when every file was unwrapped,
1 when any failed, 2 for a usage error.

Without --scheduler the files are shared among N worker processes on this
machine (--workers, default one per processor). With --scheduler ADDRESS
(for example tcp://10.0.0.1:8786, as printed by `dask scheduler`) they go
to that cluster's workers, which may run on other machines: each of them
needs parafold installed and must see FOLDER and OUT at the same paths as
this machine (a shared file system).
"""

import argparse
import os
import pathlib
import sys
import time
import uuid
import warnings

import distributed

import parafold

# One megabyte of the MB/s column, as disks and networks count them.
MEGABYTE = 1_000_000


def find_texts(folder, out):
    """The paths of the .txt files under `folder`, relative to it, in name
    order, leaving out what lies under `out`."""
    found = []
    for top, folders, files in os.walk(folder):
        here = pathlib.Path(top)
        folders[:] = sorted(f for f in folders if here / f != out)
        for name in sorted(files):
            if name.lower().endswith(".txt"):
                found.append((here / name).relative_to(folder))
    return found


def unwrap_one(src, dst, options):
    """Runs on a worker: unwraps `src` into `dst` through a temporary name
    in the same folder. Returns (bytes read, None) or (bytes, reason)."""
    # A text that is not hard-wrapped is copied; that is no failure.
    warnings.simplefilter("ignore", parafold.NotWrappedWarning)
    try:
        size = os.stat(src).st_size
    except OSError:
        size = 0  # unwrap_file says what is wrong
    temporary = None
    try:
        folder = os.path.dirname(dst)
        os.makedirs(folder, exist_ok=True)
        # Unique to this try on this machine, so that neither a second run
        # nor another worker can meet it, and no longer than a name the
        # folder already holds may be (the output's may use all 255 bytes).
        temporary = os.path.join(folder, f".{uuid.uuid4().hex}.part")
        parafold.unwrap_file(src, temporary, **options)
        os.replace(temporary, dst)
        return size, None
    except (parafold.Error, OSError) as error:
        if temporary:
            try:
                os.remove(temporary)
            except OSError:
                pass
        return size, str(error) or type(error).__name__


def column_option(text):
    return text if text in ("mean", "most-common") else int(text)


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        description="Unwrap every .txt file under FOLDER into OUT on a Dask cluster.")
    parser.add_argument("folder", metavar="FOLDER", type=pathlib.Path)
    parser.add_argument("out", metavar="OUT", type=pathlib.Path,
                        help="where the outputs go, under the same relative paths")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="a running scheduler, e.g. tcp://10.0.0.1:8786; "
                             "default: a cluster of processes on this machine")
    parser.add_argument("--workers", metavar="N", type=int, default=os.cpu_count() or 1,
                        help="worker processes of the local cluster (default: one per processor)")
    parser.add_argument("-c", "--columns", metavar="C", type=column_option,
                        help="the wrap column, 'mean' or 'most-common'")
    parser.add_argument("-s", "--smart", action="store_true", help="reading-quality unwrap")
    parser.add_argument("--dehyphenate", action="store_true",
                        help="with --smart: rejoin words hyphenated at a line end")
    parser.add_argument("-2", "--two-lines", action="store_true", help='"Kindle 2 Lines"')
    parser.add_argument("-i", "--indent", action="store_true", help='"Kindle Indent"')
    args = parser.parse_args(argv)
    args.options = {"columns": args.columns, "smart": args.smart,
                    "dehyphenate": args.dehyphenate, "two_lines": args.two_lines,
                    "indent": args.indent}
    try:  # options that do not go together fail here, not once per file
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", parafold.NotWrappedWarning)
            parafold.unwrap(b"", **args.options)
    except (parafold.OptionError, TypeError) as error:
        parser.error(str(error))
    if args.workers < 1:
        parser.error("--workers needs 1 or more")
    args.folder = args.folder.resolve()
    args.out = args.out.resolve()
    if not args.folder.is_dir():
        parser.error(f"{args.folder} is no folder")
    if args.out == args.folder or args.out in args.folder.parents:
        parser.error("OUT must be neither FOLDER nor a folder holding it: outputs could "
                     "replace inputs")
    return args


def connect(args):
    if args.scheduler:
        return distributed.Client(args.scheduler)
    cluster = distributed.LocalCluster(n_workers=args.workers, threads_per_worker=1,
                                       processes=True, dashboard_address=None)
    return distributed.Client(cluster)


def show_progress(done, total, megabytes):
    """On a terminal, one line that counts up; elsewhere a line every tenth."""
    if sys.stderr.isatty():
        print(f"\r{done}/{total} files, {megabytes:.1f} MB", end="", file=sys.stderr, flush=True)
    elif done == total or done * 10 // total != (done + 1) * 10 // total:
        print(f"{done}/{total} files, {megabytes:.1f} MB", file=sys.stderr, flush=True)


def print_table(results, seconds, workers):
    failed = [(path, reason) for path, (size, reason) in results.items() if reason]
    read = sum(size for size, reason in results.values() if not reason)
    rate = read / MEGABYTE / seconds if seconds > 0 else 0.0
    rows = [("files", "unwrapped", "failed", "bytes", "seconds", "workers", "MB/s"),
            (len(results), len(results) - len(failed), len(failed), read, f"{seconds:.2f}",
             workers, f"{rate:.1f}")]
    widths = [max(len(str(row[k])) for row in rows) for k in range(len(rows[0]))]
    for row in rows:
        print("  ".join(str(cell).rjust(width) for cell, width in zip(row, widths)))
    if failed:
        print()
        width = max(len("failed"), *(len(str(path)) for path, _ in failed))
        print(f"{'failed'.ljust(width)}  reason")
        for path, reason in sorted(failed):
            print(f"{str(path).ljust(width)}  {reason}")


def main(argv=None):
    args = parse_arguments(argv)
    texts = find_texts(args.folder, args.out)
    with connect(args) as client:
        if not client.scheduler_info()["workers"]:
            print("waiting for a worker to join the scheduler", file=sys.stderr, flush=True)
            client.wait_for_workers(1)
        workers = len(client.scheduler_info()["workers"])
        started = time.perf_counter()
        futures = client.map(unwrap_one, [str(args.folder / path) for path in texts],
                             [str(args.out / path) for path in texts],
                             options=args.options, pure=False)
        path_of = {future.key: path for future, path in zip(futures, texts)}
        results = {}
        megabytes = 0.0
        show_progress(0, len(texts), 0)
        for future in distributed.as_completed(futures):
            path = path_of[future.key]
            try:
                results[path] = future.result()
            except Exception as error:  # the worker itself failed
                results[path] = (0, f"{type(error).__name__}: {error}")
            megabytes += results[path][0] / MEGABYTE
            show_progress(len(results), len(texts), megabytes)
        seconds = time.perf_counter() - started
    if sys.stderr.isatty():
        print(file=sys.stderr)
    print_table(results, seconds, workers)
    return 1 if any(reason for _, reason in results.values()) else 0


if __name__ == "__main__":
    sys.exit(main())
