"""Builds the Python module with the project's CMake build, from its one
list of sources: `pip install --no-build-isolation .` (see README.md).

The extension is built in build/python-module (PARAFOLD_MODULE_BUILD
elsewhere), where later installs only rebuild what changed;
PARAFOLD_CMAKE_ARGS adds arguments to its configuration."""

import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys
import sysconfig

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


def project_version():
    found = re.search(r"project\(parafold VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())
    return found.group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(os.environ.get("PARAFOLD_MODULE_BUILD", ROOT / "build" / "python-module"))
        configure = ["cmake", "-S", str(ROOT), "-B", str(build),
                     "-DCMAKE_BUILD_TYPE=Release", "-DPARAFOLD_PYTHON=ON",
                     "-DPARAFOLD_TESTS=OFF", "-DPARAFOLD_BENCH=OFF",
                     f"-DPython_EXECUTABLE={sys.executable}"]
        try:
            import pybind11
            configure.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass  # CMake looks in its own places
        configure += shlex.split(os.environ.get("PARAFOLD_CMAKE_ARGS", ""))
        subprocess.run(configure, check=True)
        jobs = str(os.cpu_count() or 2)
        subprocess.run(["cmake", "--build", str(build), "--target", "_parafold", "-j", jobs],
                       check=True)
        built = build / "python" / "parafold" / ("_parafold" + sysconfig.get_config_var("EXT_SUFFIX"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(
    version=project_version(),
    packages=["parafold"],
    package_dir={"": "python"},
    package_data={"parafold": ["_parafold.pyi", "py.typed"]},
    ext_modules=[Extension("parafold._parafold", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
