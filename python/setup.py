"""Builds markeye's extension module with CMake: the C++ library alone
(MARKEYE_LIBRARY_ONLY, no picture files, tests or tools) and the module
_markeye, for the Python running the build. Needs CMake, a C++17 compiler and
pybind11 (Debian: cmake g++ python3-dev python3-pybind11 pybind11-dev).

MARKEYE_BUILD_BASE: where setuptools and CMake build (default: build/ here).
CMAKE_BUILD_PARALLEL_LEVEL: compile jobs, as for any CMake build.
"""

import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent
REPOSITORY = HERE.parent


class CMakeBuild(build_ext):
    """Configures the repository's CMake project and builds _markeye."""

    def build_extension(self, ext):
        if not (REPOSITORY / "CMakeLists.txt").is_file() or not (REPOSITORY / "include" / "markeye").is_dir():
            raise RuntimeError(f"markeye is built from a checkout of the Markeye repository; none around {HERE}")
        build_dir = Path(self.build_temp).resolve() / "cmake"
        build_dir.mkdir(parents=True, exist_ok=True)
        configure = [
            "cmake", "-S", str(REPOSITORY), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DMARKEYE_LIBRARY_ONLY=ON",
            "-DMARKEYE_BUILD_PYTHON=ON",
            f"-DPython_EXECUTABLE={sys.executable}",
        ]
        if shutil.which("ninja") and not (build_dir / "Makefile").exists():
            configure += ["-G", "Ninja"]
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "_markeye"], check=True)
        built = build_dir / "python" / "markeye" / Path(self.get_ext_filename(ext.name)).name
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


build_base = os.environ.get("MARKEYE_BUILD_BASE", "build")
os.makedirs(build_base, exist_ok=True)
setup(
    ext_modules=[Extension("markeye._markeye", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": build_base}, "egg_info": {"egg_base": build_base}},
)
