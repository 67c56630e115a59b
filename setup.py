"""The deepglass package for pip: CMake builds the extension, the module KELDA.FLT, the video library and
the stand-in host libraries, and installs them as the Blender add-on's zip holds them, one folder found through
$ORIGIN run paths; that folder is the package. $CMAKE_ARGS adds to CMake's configuration."""
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent
VERSION = re.search(r'#define DEEPGLASS_VERSION_NUMBER "([^"]+)"',
                    (ROOT / "interface/deepglass_interface.h").read_text()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = ROOT / "build" / "pip"
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                        f"-DPython3_EXECUTABLE={sys.executable}", *shlex.split(os.environ.get("CMAKE_ARGS", ""))],
                       check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "deepglass_python", "deepglass_module",
                        "deepglass_video", "host_core"], check=True)
        package = pathlib.Path(self.get_ext_fullpath(ext.name)).parent
        with tempfile.TemporaryDirectory() as stage:
            subprocess.run(["cmake", "--install", str(build), "--component", "blender", "--prefix", stage, "--strip"],
                           check=True, stdout=subprocess.DEVNULL)
            shutil.copytree(pathlib.Path(stage) / "deepglass_blender" / "deepglass", package, dirs_exist_ok=True)


setup(version=VERSION, packages=["deepglass"], package_dir={"": "python"},
      package_data={"deepglass": ["*.pyi", "py.typed"]},
      ext_modules=[Extension("deepglass._deepglass", sources=[])], cmdclass={"build_ext": CMakeBuild})
