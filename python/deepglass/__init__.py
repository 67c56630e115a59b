"""Grey depth pictures from rendered frames, through the Deepglass filter module.

The functions run what the ``deepglass`` command runs, with the same defaults, checks and
messages: ``apply`` on EXR files, ``filter`` on numpy arrays, ``read`` a picture back into depth,
``info`` on a frame or a picture. Every option of the command goes by its long name in snake case
(``--range-over`` is ``range_over=``), with Python values: True for a switch, a tuple for a pair
(``clip=(1, 99)``), a list for a repeated option (``matte=["box", "sphere*"]``), a list or a
``range`` for ``frames``. ``ocio=`` names the OpenColorIO config that ``--colour`` reads in place
of ``$OCIO``.

A failed frame or a refused file raises ``deepglass.Error`` (a ``ValueError``) with the tool's own
message; an option or an array it cannot take raises ``TypeError`` or ``ValueError`` naming the
argument. Warnings come as ``deepglass.DeepglassWarning``, and the tool's notes and progress as
records of the ``deepglass`` logger. Work runs without the GIL, on threads as the tool's does.
"""

from __future__ import annotations

import json
import logging
import numbers
import os
import tempfile
import warnings

from . import _deepglass

__all__ = ["Error", "DeepglassWarning", "Picture", "apply", "filter", "read", "info", "channels_required"]

Error = _deepglass.Error
Error.__module__ = __name__


class DeepglassWarning(UserWarning):
    """What the tool says of a frame with a ``warning:`` or ``hint:``."""


_log = logging.getLogger(__name__)

# How Python values become option words, beyond one value a word.
_PAIRS = {"range", "clip"}  # two numbers: NEAR:FAR, LOW:HIGH
_REPEATED = {"matte"}  # a list: the option once for each item
_FRAME_LISTS = {"frames"}  # a list or a range of frame numbers

# Options that address files or channels, which a frame made of arrays has no use for.
_FILTER_REFUSED = {"output", "format", "frames", "jobs", "skip_existing", "report", "view", "layer", "depth",
                   "material", "object", "matte", "cryptomatte", "save_config", "fps", "video_quality"}
_READ_REFUSED = {"output", "frames"}
_INFO_REFUSED = {"frames", "plot"}
_CHANNELS_TAKEN = {"mode", "id", "config", "module"}
# Keywords that stand for an option whose own name an argument of the function has.
_RENAMED = {"filter": {"colour_transform": "colour"}}

_option_rows: dict[str, dict[str, tuple[bool, str, str]]] = {}


def _options_of(command: str) -> dict[str, tuple[bool, str, str]]:
    """Each option of the command by keyword: (takes a value, the value's name, help)."""
    if command not in _option_rows:
        _option_rows[command] = {name.replace("-", "_"): (takes, value, help_text)
                                 for name, takes, value, help_text in _deepglass.option_rows(command)}
    return _option_rows[command]


def _number(keyword: str, value) -> str:
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{keyword} takes numbers, not {value!r}")
    # A float's repr reads back as the same float, a float32's included.
    return str(int(value)) if isinstance(value, numbers.Integral) else repr(float(value))


def _word(keyword: str, value, value_name: str) -> str:
    """One option's value as the command line would take it."""
    if isinstance(value, (str, os.PathLike)):
        return os.fspath(value)
    if keyword in _FRAME_LISTS and isinstance(value, range) and len(value) > 0 and value.step > 0:
        return f"{value.start}-{value[-1]}" + (f"x{value.step}" if value.step != 1 else "")
    if keyword in _FRAME_LISTS and isinstance(value, (list, tuple, range)):
        for frame in value:
            if isinstance(frame, bool) or not isinstance(frame, numbers.Integral):
                raise TypeError(f"{keyword} takes frame numbers, not {frame!r}")
        return ",".join(str(int(frame)) for frame in value)
    if keyword in _PAIRS and isinstance(value, (tuple, list)):
        if len(value) != 2:
            raise ValueError(f"{keyword}={value!r}: give two numbers, such as {keyword}=(1, 99)")
        return f"{_number(keyword, value[0])}:{_number(keyword, value[1])}"
    if isinstance(value, numbers.Real) and not isinstance(value, bool):
        return _number(keyword, value)
    raise TypeError(f"{keyword} takes {value_name}, not {value!r}")


def _words(command: str, function: str, options: dict, refused: set[str] = frozenset(),
           taken: set[str] | None = None) -> list[tuple[str, str | None]]:
    """The options as (long name, value word) pairs, None for a switch; a TypeError for a keyword
    the function does not take, or a value of the wrong kind."""
    known = dict(_options_of(command))
    for keyword, option in _RENAMED.get(function, {}).items():
        known[keyword] = known.pop(option)
    pairs: list[tuple[str, str | None]] = []
    for keyword, value in options.items():
        if keyword not in known or keyword in refused or (taken is not None and keyword not in taken):
            accepted = sorted(k for k in known if k not in refused and (taken is None or k in taken))
            raise TypeError(f"{function}() got an unexpected keyword argument {keyword!r}; "
                            f"it takes {', '.join(accepted)}")
        if value is None:
            continue
        takes_value, value_name, _ = known[keyword]
        option = _RENAMED.get(function, {}).get(keyword, keyword).replace("_", "-")
        if not takes_value:
            if not isinstance(value, bool):
                raise TypeError(f"{keyword} takes True or False, not {value!r}")
            if value:
                pairs.append((option, None))
        elif isinstance(value, bool):
            raise TypeError(f"{keyword} takes {value_name}, not {value!r}")
        elif keyword in _REPEATED and isinstance(value, (list, tuple)):
            pairs += [(option, _word(keyword, item, value_name)) for item in value]
        else:
            pairs.append((option, _word(keyword, value, value_name)))
    return pairs


def _calling(function: str, options: dict, call, *arguments):
    """The library's call; a usage error becomes a ValueError naming the argument."""
    try:
        return call(*arguments)
    except _deepglass.UsageError as refused:
        message, option = refused.args
        renamed = _RENAMED.get(function, {})
        # The option refused, or where the options together are, the one the message begins with.
        for keyword in options:
            spelled = renamed.get(keyword, keyword).replace("_", "-")
            if spelled == option or (not option and message.startswith(f"--{spelled} ")):
                # "--clip 1:200: 200 lies outside 0 to 100" names the option as typed; the argument
                # is named instead.
                if message.startswith(f"--{spelled} ") and ": " in message:
                    message = message[message.index(": ") + 2:]
                raise ValueError(f"{keyword}={options[keyword]!r}: {message}") from None
        raise ValueError(message) from None


def _colour_config(ocio) -> str:
    return os.fspath(ocio) if ocio is not None else os.environ.get("OCIO", "")


def _shown(out: str, errors: str, stand_ins: dict[str, str] | None = None) -> list[str]:
    """What a run printed, handed on: warnings as DeepglassWarning, notes and progress to the
    logger; answers its errors. Temporary files are named by what they stand for."""
    failures = []
    for line in (out + errors).splitlines():
        for path, name in (stand_ins or {}).items():
            line = line.replace(path, name)
        for prefix in ("warning: ", "hint: "):
            if line.startswith(prefix):
                warnings.warn(line[len(prefix):], DeepglassWarning, stacklevel=3)
                break
        else:
            if line.startswith("error: "):
                failures.append(line[len("error: "):])
            else:
                _log.info("%s", line)
    return failures


def _stamp(path: str):
    try:
        status = os.stat(path)
        return status.st_ino, status.st_mtime_ns
    except OSError:
        return None


def apply(inputs, output=None, *, ocio=None, **options) -> dict | None:
    """Runs ``deepglass apply`` on EXR frames and answers its report: what ``--report`` writes.

    ``inputs`` is a path, or a list of paths (patterns with ``frames=``); ``output`` is ``-o``.
    Every option of ``deepglass apply`` goes by its long name in snake case (see below). A run in
    which a frame failed raises ``deepglass.Error`` once the others are written, with the report
    as its ``report`` attribute. With only ``save_config`` and no inputs, answers None.
    """
    paths = [os.fspath(inputs)] if isinstance(inputs, (str, os.PathLike)) else [os.fspath(p) for p in inputs]
    words = _words("apply", "apply", options, refused={"output"})
    if output is not None:
        words.insert(0, ("output", os.fspath(output)))
    with tempfile.TemporaryDirectory(prefix="deepglass-") as folder:
        report_path = os.fspath(options["report"]) if options.get("report") is not None else None
        if report_path is None:
            report_path = os.path.join(folder, "report.json")
            words.append(("report", report_path))
        before = _stamp(report_path)
        status, out, errors = _calling("apply", options, _deepglass.apply, words, paths, _colour_config(ocio))
        failures = _shown(out, errors)
        stamp = _stamp(report_path)
        report = None
        if stamp is not None and stamp != before:
            with open(report_path, encoding="utf-8") as file:
                report = json.load(file)
    if status != 0:
        error = Error("\n".join(failures) or "apply failed")
        error.report = report
        raise error
    return report


class Picture:
    """The picture ``deepglass apply`` writes for one frame, as ``filter`` makes it.

    ``levels``: uint16 (H, W), or (H, W, 4) where an ID mode keeps colour; uint8 with ``bits=8``.
    ``mapping``: what the picture's greys stand for (``near``, ``far``, ``curve``, ``bits``, ...).
    ``png``: the file's bytes, which ``save`` writes.
    """

    def __init__(self, png: bytes, levels, mapping: dict):
        self.png = png
        self.levels = levels
        self.mapping = mapping

    @classmethod
    def _read(cls, path: str) -> Picture:
        with open(path, "rb") as file:
            png = file.read()
        levels, mapping = _deepglass.read_picture(path)
        return cls(png, levels, mapping)

    def save(self, path) -> None:
        """Writes the picture, mapping included, as ``apply`` would have: whole or not at all."""
        _deepglass.write_whole(os.fspath(path), self.png)

    def __repr__(self) -> str:
        return f"<deepglass.Picture {self.levels.shape} {self.levels.dtype} mapping={self.mapping!r}>"


def _checked(name: str, value, kinds: str, what: str, shape: tuple | None, last: tuple[int, ...] = ()):
    """The array the frame takes for an argument: of a kind it can write, native byte order,
    strides the writer can follow; copied only where one of these needs it."""
    import numpy as np

    array = np.asarray(value)
    if array.dtype.kind not in kinds:
        raise TypeError(f"{name} takes {what}, not {array.dtype}")
    wanted = "(H, W)" if not last else f"(H, W, {' or '.join(map(str, last))})"
    if array.ndim != (3 if last else 2) or (last and array.shape[2] not in last) or \
            (shape is not None and array.shape[:2] != shape) or 0 in array.shape:
        also = "" if shape is None else f" with depth's (H, W) = {shape}"
        raise ValueError(f"{name} takes an array of shape {wanted}{also}, not {array.shape}")
    if array.dtype.kind == "f" and array.dtype.itemsize not in (2, 4):
        array = array.astype(np.float32)
    if array.dtype.kind in "iu" and array.dtype != np.uint32:
        if array.size and (array.min() < 0 or array.max() > 0xFFFFFFFF):
            raise ValueError(f"{name} takes IDs from 0 to 4294967295, not {array.min()} to {array.max()}")
        array = array.astype(np.uint32)
    if not array.dtype.isnative:
        array = array.astype(array.dtype.newbyteorder("="))
    if any(stride < 0 for stride in array.strides):
        array = np.ascontiguousarray(array)
    return array


def filter(depth, colour=None, material_ids=None, object_ids=None, *, ocio=None, **options) -> Picture:
    """Filters one frame made of arrays, through the module, as ``apply`` filters an EXR frame
    holding the same channels, and answers its picture.

    ``depth``: float (H, W). ``colour``: float (H, W, 3) or (H, W, 4), scene-linear (alpha as
    opaque where it has none). ``material_ids``, ``object_ids``: integer (H, W). The options are
    those of ``deepglass apply`` that concern the filter and the picture (see below), with
    ``colour_transform=`` for ``--colour``, whose name the colour array has.
    """
    words = _words("apply", "filter", options, refused=_FILTER_REFUSED)
    depth = _checked("depth", depth, "f", "floats", None)
    shape = depth.shape
    colour = None if colour is None else _checked("colour", colour, "f", "floats", shape, (3, 4))
    material_ids = None if material_ids is None else _checked("material_ids", material_ids, "iu", "integers", shape)
    object_ids = None if object_ids is None else _checked("object_ids", object_ids, "iu", "integers", shape)
    with tempfile.TemporaryDirectory(prefix="deepglass-") as folder:
        frame = os.path.join(folder, "arrays.exr")
        picture = os.path.join(folder, "arrays.png")
        _deepglass.write_frame(frame, depth, colour, material_ids, object_ids)
        status, out, errors = _calling("filter", options, _deepglass.apply, words + [("output", picture)], [frame],
                                       _colour_config(ocio))
        failures = _shown(out, errors, {frame: "the arrays", picture: "their picture"})
        if status != 0:
            raise Error("\n".join(failures) or "the frame was not filtered")
        return Picture._read(picture)


def read(path, **options):
    """Reads a picture back into depth as ``deepglass depth`` does: answers (depth, mapping).

    ``depth`` is float32 (H, W): for every pixel that took part a depth within one level's step
    of the one it was made from, NaN where nothing was rendered (with ``level_zero="empty"``, at
    level 0 too). ``mapping`` is what the depths were read through.
    """
    words = _words("depth", "read", options, refused=_READ_REFUSED)
    return _calling("read", options, _deepglass.read, os.fspath(path), words)


def info(path, *, ocio=None, **options) -> dict:
    """What ``deepglass info`` tells of one file, as a dict: of an EXR frame its size, windows,
    channels, the channels the filter would take, the depth range, background and IDs; of a
    picture its size and depth mapping (``mapping``, None without one)."""
    words = _words("info", "info", options, refused=_INFO_REFUSED)
    return _calling("info", options, _deepglass.info, os.fspath(path), words, _colour_config(ocio))


def channels_required(**options) -> set[str]:
    """The channels the filter, configured by these options of ``apply`` (``mode``, ``id``,
    ``config``, ``module``), asks a host for: ``depth``, ``material_id``, ``object_id``."""
    words = _words("apply", "channels_required", options, taken=_CHANNELS_TAKEN)
    return set(_calling("channels_required", options, _deepglass.channels_required, words, ""))


def _describe(function, command: str, refused: set[str]) -> None:
    """Adds the command's options, as its help gives them, to the function's help."""
    rows = []
    keywords = {o: k for k, o in _RENAMED.get(function.__name__, {}).items()}
    for option, (takes, value, help_text) in _options_of(command).items():
        keyword = keywords.get(option, option)
        if keyword in refused:
            continue
        spelled = f"{keyword}={value}" if takes else f"{keyword}=True"
        rows.append(f"    {spelled}\n        " + help_text.replace("\n", "\n        "))
    function.__doc__ += f"\n    Options (those of deepglass {command}):\n\n" + "\n".join(rows) + "\n"


_describe(apply, "apply", {"output"})
_describe(filter, "apply", _FILTER_REFUSED)
_describe(read, "depth", _READ_REFUSED)
_describe(info, "info", _INFO_REFUSED)
