"""What the module's tests share: the command line they compare against
and a way to run it. PARAFOLD_CLI names the program; by default the native
build's, build/release/cli/parafold-cli."""

import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def cli():
    default = ROOT / "build/release/cli/parafold-cli"
    program = pathlib.Path(os.environ.get("PARAFOLD_CLI", default)).resolve()
    if not program.is_file():
        pytest.fail(f"no parafold-cli at {program}: build it or set PARAFOLD_CLI")
    return program


def run_cli(cli, args, folder):
    """Runs the command line in `folder` (its e-reader road writes its
    temporary files there) and returns the completed process."""
    return subprocess.run([str(cli), *args], cwd=folder, capture_output=True, check=False)
