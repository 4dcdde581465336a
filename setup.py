"""Builds the tesk_ae package through the project's CMake build, for pip:

    pip install --no-build-isolation .

The module is linked with the library's objects, so the package stands on its own. It is built
for the interpreter that runs pip, which needs NumPy and pybind11 (Debian: python3-numpy,
pybind11-dev) and the library's build dependencies (.ci/install-deps).
"""

import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        "-DTESK_BUILD_TESTS=OFF", "-DTESK_BUILD_BENCH=OFF",
                        "-DTESK_BUILD_TOOLS=OFF", "-DPython_EXECUTABLE=" + sys.executable],
                       check=True)
        jobs = os.environ.get("TESK_JOBS", str(os.cpu_count() or 2))
        subprocess.run(["cmake", "--build", str(build), "-j" + jobs, "--target", "tesk_ae_python"],
                       check=True)
        built = build / "python" / "tesk_ae"
        target = pathlib.Path(self.get_ext_fullpath(ext.name)).parent
        target.mkdir(parents=True, exist_ok=True)
        for item in built.iterdir():
            shutil.copy2(item, target / item.name)


setup(
    name="tesk_ae",
    version="0.1.0",
    description="TESK_Common_AE's OpenGL image operations on NumPy arrays",
    packages=["tesk_ae"],
    package_dir={"tesk_ae": "tools/python/tesk_ae"},
    package_data={"tesk_ae": ["__init__.pyi", "py.typed"]},
    ext_modules=[Extension("tesk_ae._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    install_requires=["numpy"],
    python_requires=">=3.7",
    zip_safe=False,
    # Beside the CMake build folders of the README, not in them.
    options={"build": {"build_base": "build-pip"}},
)
