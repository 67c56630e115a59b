# The build the tests run against: its tool, and its Python module on sys.path.
import os
import pathlib
import subprocess
import sys

import pytest

BUILD = pathlib.Path(os.environ.get("DEEPGLASS_BUILD", pathlib.Path(__file__).parents[2] / "build/native"))
sys.path.insert(0, str(BUILD / "python"))


@pytest.fixture(scope="session")
def tool():
    """Runs the command-line tool of the build; a CalledProcessError when it fails."""
    def run(*arguments, cwd):
        return subprocess.run([str(BUILD / "bin/deepglass"), *map(str, arguments)], cwd=cwd, check=True,
                              capture_output=True, text=True)
    return run


@pytest.fixture(scope="session")
def sample(tmp_path_factory, tool):
    """The tool's sample frame, with Cryptomatte layers."""
    folder = tmp_path_factory.mktemp("sample")
    tool("sample", "--width", 96, "--height", 64, "sample.exr", cwd=folder)
    return folder / "sample.exr"
