# Type stubs of the deepglass package: every option of the command by its keyword, for editors.
import os
from typing import Any, Literal, Sequence

import numpy
import numpy.typing

Path = str | os.PathLike[str]
Pair = tuple[float, float] | str
Frames = str | Sequence[int] | range
Memory = int | str

class Error(ValueError):
    report: dict[str, Any] | None

class DeepglassWarning(UserWarning): ...

class Picture:
    png: bytes
    levels: numpy.ndarray
    mapping: dict[str, Any]
    def __init__(self, png: bytes, levels: numpy.ndarray, mapping: dict[str, Any]) -> None: ...
    def save(self, path: Path) -> None: ...

def apply(
    inputs: Path | Sequence[Path],
    output: Path | None = None,
    *,
    ocio: Path | None = None,
    format: Literal["png", "exr"] | None = None,
    png: Literal["grey", "rgba"] | None = None,
    bits: Literal[8, 16] | None = None,
    png_compression: Literal["fast", "default", "small"] | None = None,
    fps: float | str | None = None,
    video_quality: int | None = None,
    opaque: bool = False,
    colour: str | None = None,
    mode: Literal["whole", "material", "object"] | None = None,
    id: int | None = None,
    matte: str | Sequence[str] | None = None,
    cryptomatte: str | None = None,
    config: Path | None = None,
    save_config: Path | None = None,
    view: str | None = None,
    layer: str | None = None,
    depth: str | None = None,
    material: str | None = None,
    object: str | None = None,
    background: str | None = None,
    range: Pair | Literal["frame", "shot"] | None = None,
    range_over: Literal["frame", "selection"] | None = None,
    clip: Pair | None = None,
    curve: Literal["linear", "inverse"] | None = None,
    frames: Frames | None = None,
    jobs: int | None = None,
    skip_existing: bool = False,
    report: Path | None = None,
    max_memory: Memory | None = None,
    module: Path | None = None,
) -> dict[str, Any] | None: ...

def filter(
    depth: numpy.typing.ArrayLike,
    colour: numpy.typing.ArrayLike | None = None,
    material_ids: numpy.typing.ArrayLike | None = None,
    object_ids: numpy.typing.ArrayLike | None = None,
    *,
    ocio: Path | None = None,
    png: Literal["grey", "rgba"] | None = None,
    bits: Literal[8, 16] | None = None,
    png_compression: Literal["fast", "default", "small"] | None = None,
    opaque: bool = False,
    colour_transform: str | None = None,
    mode: Literal["whole", "material", "object"] | None = None,
    id: int | None = None,
    config: Path | None = None,
    background: str | None = None,
    range: Pair | Literal["frame", "shot"] | None = None,
    range_over: Literal["frame", "selection"] | None = None,
    clip: Pair | None = None,
    curve: Literal["linear", "inverse"] | None = None,
    max_memory: Memory | None = None,
    module: Path | None = None,
) -> Picture: ...

def read(
    path: Path,
    *,
    level_zero: Literal["far", "empty"] | None = None,
    range: Pair | None = None,
    curve: Literal["linear", "inverse"] | None = None,
    max_memory: Memory | None = None,
) -> tuple[numpy.ndarray, dict[str, Any]]: ...

def info(
    path: Path,
    *,
    ocio: Path | None = None,
    background: str | None = None,
    range: Pair | Literal["shot"] | None = None,
    clip: Pair | None = None,
    curve: Literal["linear", "inverse"] | None = None,
    colour: str | None = None,
    view: str | None = None,
    layer: str | None = None,
    depth: str | None = None,
    material: str | None = None,
    object: str | None = None,
    max_memory: Memory | None = None,
) -> dict[str, Any]: ...

def channels_required(
    *,
    mode: Literal["whole", "material", "object"] | None = None,
    id: int | None = None,
    config: Path | None = None,
    module: Path | None = None,
) -> set[str]: ...
