"""Builds the etalon module with the project's own CMake build, module only.

The version is the one project() in CMakeLists.txt carries. The CMake build
lands in build-pip/ beside the Release build, so a second install reuses it.
"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    found = re.search(r"^project\(\s*\w+\s+VERSION\s+([0-9][0-9.]*)", text, re.MULTILINE)
    if not found:
        raise RuntimeError("CMakeLists.txt: no project(... VERSION x.y.z)")
    return found.group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = ROOT / "build-pip" / "cmake"
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
            f"-DPython3_EXECUTABLE={sys.executable}",
            "-DETALON_BUILD_GUI=OFF", "-DETALON_BUILD_TESTS=OFF", "-DETALON_BUILD_BENCH=OFF",
        ]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        if not (build / "CMakeCache.txt").exists():
            subprocess.run(configure, check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(["cmake", "--build", str(build), "--target", "etalon_python", "-j", jobs],
                       check=True)
        built = list((build / "python").glob("etalon*.so"))
        if len(built) != 1:
            raise RuntimeError(f"the CMake build left {len(built)} modules in {build / 'python'}")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built[0], target)


(ROOT / "build-pip").mkdir(exist_ok=True)
setup(
    version=project_version(),
    ext_modules=[Extension("etalon", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": "build-pip"}, "egg_info": {"egg_base": "build-pip"}},
)
