"""The deepglass Python module against the command-line tool: the same files byte for byte, arrays
in and pictures out, read-back within a step, and every kind of error."""
import ast
import json
import pathlib
import shutil
import threading

import numpy as np
import pytest

import deepglass

# Option sets as the command line and as Python give them.
OPTION_SETS = [
    ([], {}),
    (["--mode", "object", "--id", "3"], {"mode": "object", "id": 3}),
    (["--mode", "material", "--id", "2", "--colour", "linear", "--bits", "8"],
     {"mode": "material", "id": 2, "colour": "linear", "bits": 8}),
    (["--curve", "inverse", "--clip", "1:99", "--png", "rgba", "--opaque"],
     {"curve": "inverse", "clip": (1, 99), "png": "rgba", "opaque": True}),
    (["--background", "depth:0", "--range", "2:20", "--png-compression", "fast"],
     {"background": "depth:0", "range": (2, 20.0), "png_compression": "fast"}),
]


@pytest.mark.parametrize("typed, keywords", OPTION_SETS)
def test_apply_writes_the_tools_files_and_answers_its_report(tmp_path, tool, sample, typed, keywords):
    tool("apply", *typed, "--report", "tool.json", sample, "-o", "tool.png", cwd=tmp_path)
    report = deepglass.apply(sample, tmp_path / "python.png", **keywords)
    assert (tmp_path / "python.png").read_bytes() == (tmp_path / "tool.png").read_bytes()
    expected = json.loads((tmp_path / "tool.json").read_text())
    for entry in expected["frames"] + report["frames"]:
        entry.update(seconds=0, output="", outputs=[])
    assert {**report, "seconds": 0} == {**expected, "seconds": 0}


def sample_arrays(path):
    """The sample frame's channels as arrays, read by OpenImageIO."""
    oiio = pytest.importorskip("OpenImageIO")
    file = oiio.ImageInput.open(str(path))
    floats = file.read_image(0, 0, 0, 5, oiio.FLOAT)  # R, G, B, A (half), Z
    ids = file.read_image(0, 0, 5, 7, oiio.UINT)  # materialID, objectID
    file.close()
    return floats[..., 4], floats[..., :4], ids[..., 0], ids[..., 1]


def test_apply_writes_the_tools_video(tmp_path, tool, sample):
    # Through the video library, found from the extension as from the tool.
    tool("apply", "--bits", "8", sample, "-o", "tool.mkv", cwd=tmp_path)
    deepglass.apply(sample, tmp_path / "python.mkv", bits=8)
    assert (tmp_path / "python.mkv").read_bytes() == (tmp_path / "tool.mkv").read_bytes()


@pytest.mark.parametrize("typed, keywords", OPTION_SETS[:4])
def test_filter_gives_the_picture_apply_writes_for_the_same_channels(tmp_path, tool, sample, typed, keywords):
    tool("apply", *typed, sample, "-o", "tool.png", cwd=tmp_path)
    depth, colour, material, objects = sample_arrays(sample)
    keywords = {("colour_transform" if k == "colour" else k): v for k, v in keywords.items()}
    picture = deepglass.filter(depth, colour, material, objects, **keywords)
    assert picture.png == (tmp_path / "tool.png").read_bytes()
    levels, mapping = deepglass._deepglass.read_picture(str(tmp_path / "tool.png"))
    np.testing.assert_array_equal(picture.levels, levels)
    assert picture.levels.dtype == (np.uint8 if keywords.get("bits") == 8 else np.uint16)
    assert picture.mapping == mapping
    picture.save(tmp_path / "saved.png")
    assert (tmp_path / "saved.png").read_bytes() == picture.png


def test_filter_takes_arrays_of_any_layout(sample):
    depth, colour, material, objects = sample_arrays(sample)
    plain = deepglass.filter(depth, colour, material, objects, mode="object", id=3)
    wide = np.zeros(depth.shape[::-1] + (6,), np.float32)  # colour as a view, its pixels 24 bytes apart
    wide = wide.transpose(1, 0, 2)
    wide[..., 1:5] = colour
    reversed_rows = np.ascontiguousarray(depth[::-1])[::-1]  # negative strides, copied
    strided = deepglass.filter(reversed_rows, wide[..., 1:5], material.astype(np.int64), objects.astype(np.uint16),
                               mode="object", id=3)
    assert strided.png == plain.png
    assert deepglass.filter(depth.astype(np.float64)).png == deepglass.filter(depth).png


@pytest.mark.parametrize("curve, bits", [("linear", 16), ("inverse", 16), ("linear", 8), ("inverse", 8)])
def test_read_gives_back_each_depth_within_a_step(tmp_path, curve, bits):
    rows, columns = np.mgrid[0:48, 0:64]
    depth = (1.5 + rows * 0.37 + columns * 0.11).astype(np.float32)
    depth[:4] = 1e10  # nothing rendered
    deepglass.filter(depth, curve=curve, bits=bits).save(tmp_path / "grey.png")
    back, mapping = deepglass.read(tmp_path / "grey.png", level_zero="empty")
    assert back.dtype == np.float32 and back.shape == depth.shape
    assert (mapping["curve"], mapping["bits"]) == (curve, bits)
    near, far = mapping["near"], mapping["far"]
    assert np.all(np.isnan(back[:4]))
    back, depth = back[4:], depth[4:]
    # A step in depth, or for the inverse curve in 1/depth, with the tool's own tests' margins for
    # the float rounding of the depths read back and of 1/depth handed to the filter.
    if curve == "linear":
        error, step = np.abs(back - depth), (far - near) / (2 ** bits - 1) * 1.0001 + 1e-6
        from_far = far - depth
    else:
        error, step = np.abs(1 / back - 1 / depth), (1 / near - 1 / far) / (2 ** bits - 1) * 1.005
        from_far = 1 / depth - 1 / far
    level_zero = np.isnan(back)  # the far end, read as nothing rendered under level_zero="empty"
    assert np.all(error[~level_zero] <= step) and np.all(from_far[level_zero] <= step)


def test_info_tells_a_frame_and_a_picture(tmp_path, sample):
    facts = deepglass.info(sample)
    report = deepglass.apply(sample, tmp_path / "grey.png")
    assert facts["size"] == (96, 64) and facts["taken"]["depth"] == "Z"
    assert facts["depth_range"] == tuple(report["frames"][0]["depth_range"].values())
    assert set(facts["object_ids"]) >= {1, 2, 3}
    picture = deepglass.info(tmp_path / "grey.png")
    assert picture["mapping"]["near"] == facts["depth_range"][0] and picture["channels"] == "grey"
    assert deepglass.channels_required(mode="object") == {"depth", "object_id"}
    assert deepglass.channels_required() == {"depth"}
    # Channel names are bytes: one that is not UTF-8 comes back escaped as the tool shows it.
    latin = tmp_path / "latin.exr"
    data = sample.read_bytes()
    at = data.index(b"Z\x00\x02\x00\x00\x00")  # the FLOAT channel Z in the header's channel list
    latin.write_bytes(data[:at] + b"\xe9" + data[at + 1:])
    assert "\\xE9" in deepglass.info(latin)["channels"]
    assert "\\xE9 (FLOAT)" in str(failing(lambda: deepglass.apply(latin, tmp_path / "latin.png")))


def failing(call):
    try:
        call()
    except Exception as error:  # the test looks at which
        return error
    raise AssertionError("no exception")


def test_every_kind_of_error(tmp_path, sample):
    depth = np.ones((4, 5), np.float32)
    cases = [
        # A refused file or a failed frame: the tool's own message, nothing written.
        (lambda: deepglass.apply(tmp_path / "none.exr", tmp_path / "a.png"), deepglass.Error, "none.exr"),
        (lambda: deepglass.apply(pathlib.Path(__file__), tmp_path / "b.png"), deepglass.Error, "test_deepglass.py"),
        (lambda: deepglass.read(sample), deepglass.Error, "sample.exr"),
        (lambda: deepglass.filter(np.zeros((4, 5), np.float32), curve="inverse"), deepglass.Error, "1/depth"),
        # An option the tool refuses: ValueError naming the argument.
        (lambda: deepglass.apply(sample, tmp_path / "c.png", bits=12), ValueError, "bits=12: a PNG's samples"),
        (lambda: deepglass.filter(depth, clip=(1, 200)), ValueError, "clip=(1, 200): 200 lies outside 0 to 100"),
        (lambda: deepglass.filter(depth, clip=(1,)), ValueError, "clip=(1,)"),
        (lambda: deepglass.filter(depth, mode="object", png="grey"), ValueError, "--png grey writes one grey"),
        (lambda: deepglass.filter(depth, colour_transform="nowhere/none"), ValueError, "colour_transform="),
        # A keyword or a value of the wrong kind: TypeError naming it.
        (lambda: deepglass.apply(sample, tmp_path / "d.png", foo=1), TypeError, "'foo'"),
        (lambda: deepglass.filter(depth, output="x.png"), TypeError, "'output'"),
        (lambda: deepglass.filter(depth, opaque="yes"), TypeError, "opaque takes True or False"),
        (lambda: deepglass.read(sample, range=[1, 2, 3]), ValueError, "range=[1, 2, 3]"),
        # Arrays refused by name.
        (lambda: deepglass.filter(depth.astype(np.int32)), TypeError, "depth takes floats, not int32"),
        (lambda: deepglass.filter(np.ones(5, np.float32)), ValueError, "depth takes an array of shape (H, W)"),
        (lambda: deepglass.filter(depth, np.ones((4, 5, 2), np.float32)), ValueError,
         "colour takes an array of shape (H, W, 3 or 4) with depth's (H, W) = (4, 5), not (4, 5, 2)"),
        (lambda: deepglass.filter(depth, object_ids=np.ones((4, 5), np.float32)), TypeError,
         "object_ids takes integers, not float32"),
        (lambda: deepglass.filter(depth, material_ids=-np.ones((4, 5), np.int8)), ValueError,
         "material_ids takes IDs from 0"),
        (lambda: deepglass.filter(depth, object_ids=np.ones((4, 6), np.uint32)), ValueError, "object_ids takes"),
    ]
    for call, kind, words in cases:
        error = failing(call)
        assert type(error) is kind or (kind is ValueError and type(error) is ValueError), (words, error)
        assert words in str(error), (words, str(error))
    failed = failing(lambda: deepglass.apply([sample, tmp_path / "none.exr"], tmp_path / "out/"))
    assert [frame["status"] for frame in failed.report["frames"]] == ["written", "failed"]
    assert sorted(p.name for p in tmp_path.rglob("*.png")) == ["sample.png"]


@pytest.mark.parametrize("colour, material, objects", [
    (np.ones((4, 5, 4), np.float32), None, np.ones((2, 2), np.uint32)),
    (np.ones((4, 2, 4), np.float32), None, None),
    (np.ones((4, 5, 8), np.float32), None, None),
    (np.ones((4, 5), np.float32), None, None),
    (None, np.ones((5,), np.uint32), None),
])
def test_the_extension_refuses_arrays_it_would_read_past(tmp_path, colour, material, objects):
    # Called past the Python layer's checks: the writer reads each array over depth's (H, W).
    with pytest.raises(ValueError, match="depth's height and width"):
        deepglass._deepglass.write_frame(str(tmp_path / "f.exr"), np.ones((4, 5), np.float32), colour, material,
                                         objects)
    assert not (tmp_path / "f.exr").exists()


def test_work_runs_without_the_gil(tmp_path, sample):
    for index in range(8):
        shutil.copy(sample, tmp_path / f"frame.{index:04d}.exr")
    done = threading.Event()
    ticks = []

    def tick():
        while not done.is_set():
            ticks.append(1)
            done.wait(0.001)

    ticker = threading.Thread(target=tick)
    ticker.start()
    deepglass.apply(tmp_path / "frame.%04d.exr", tmp_path / "grey/", frames=range(0, 8), mode="object", id=3)
    done.set()
    ticker.join()
    assert len(ticks) > 3


def signature_keywords(function):
    stubs = ast.parse((pathlib.Path(deepglass.__file__).parent / "__init__.pyi").read_text())
    node = next(n for n in stubs.body if isinstance(n, ast.FunctionDef) and n.name == function)
    return {a.arg for a in node.args.kwonlyargs}


@pytest.mark.parametrize("function, command, refused, added", [
    ("apply", "apply", {"output"}, {"ocio"}),
    ("filter", "apply", deepglass._FILTER_REFUSED | {"colour"}, {"ocio", "colour_transform"}),
    ("read", "depth", deepglass._READ_REFUSED, set()),
    ("info", "info", deepglass._INFO_REFUSED, {"ocio"}),
])
def test_the_stubs_name_every_option_and_help_explains_them(function, command, refused, added):
    options = set(deepglass._options_of(command))
    assert signature_keywords(function) == (options - refused) | added
    help_text = getattr(deepglass, function).__doc__
    assert all(f"    {keyword}=" in help_text for keyword in options - refused - {"colour"})
