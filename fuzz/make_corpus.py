#!/usr/bin/env python3
"""Writes the seed corpora of the configuration and render fuzz targets into fuzz/corpus/<target>/
(run from anywhere); the EXR target's seeds come from the fuzz build's fuzz_exr_seeds program.

Each seed is a small, valid example of its target's input layout, covering one situation the
target distinguishes, so that fuzzing starts from every branch rather than finding it by chance.
"""
import pathlib
import random
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"
TAG = 0x5E7601D7
NONE = 255


def record(tag, mode, object_id, material_id):
    return struct.pack("<Iiii", tag, mode, object_id, material_id)


def render_input(width, height, channels, mode, material_id=1, object_id=1, fail=(NONE, NONE, NONE),
                 depths=(), materials=(), objects=(), raw_mode=None):
    data = bytes([width, height, channels, mode])
    if raw_mode is not None:
        data += struct.pack("<i", raw_mode)
    data += struct.pack("<ii", material_id, object_id) + bytes(fail)
    count = width * height
    if channels & 8:
        data += bytes(depths[i % len(depths)] for i in range(count))
    else:
        data += b"".join(struct.pack("<f", depths[i % len(depths)]) for i in range(count))
    if channels & 2:
        data += bytes(materials[i % len(materials)] for i in range(count))
    if channels & 4:
        data += b"".join(struct.pack("<H", objects[i % len(objects)]) for i in range(count))
    return data


def config_seeds():
    yield "default", record(TAG, 1010, 1, 1)
    yield "object_mode", record(TAG, 1012, 7, 3)
    yield "material_mode", record(TAG, 1011, 1, 2)
    yield "unchecked_values", record(TAG, 0, 0, 200)
    yield "wrong_tag_then_right", bytes(16) + record(TAG, 1011, 5, 8) + record(TAG + 1, 1012, 1, 1)
    yield "short_tail", record(TAG, 1012, 300, 1) + struct.pack("<I", TAG)[:3]


def render_seeds():
    surfaces = [-10.0, -20.0, -30.0, -1e30, 10.0, -15.5]
    yield "whole_image", render_input(4, 3, 1, 0, depths=surfaces)
    yield "whole_image_palette", render_input(8, 8, 1 | 8, 0, depths=list(range(28)))
    yield "material", render_input(5, 2, 1 | 2, 1, material_id=2, depths=surfaces, materials=[0, 1, 2, 2, 255])
    yield "object", render_input(3, 3, 1 | 4, 2, object_id=300, depths=surfaces, objects=[300, 5, 65535])
    yield "both_ids_unknown_mode", render_input(3, 2, 1 | 2 | 4, 3, raw_mode=0, depths=surfaces,
                                                materials=[1], objects=[1])
    yield "row_not_delivered", render_input(2, 4, 1, 0, fail=(2, NONE, NONE), depths=surfaces)
    yield "row_not_stored", render_input(3, 3, 1 | 4, 2, object_id=5, fail=(NONE, 1, NONE), depths=surfaces,
                                         objects=[5, 7])
    yield "depth_query_fails", render_input(2, 2, 1, 0, fail=(NONE, NONE, 0), depths=surfaces)
    yield "id_query_fails", render_input(2, 2, 1 | 2, 1, fail=(NONE, NONE, 1), depths=surfaces, materials=[1])
    yield "no_depth", render_input(3, 1, 2, 1, depths=surfaces, materials=[1])
    yield "empty_rows", render_input(0, 5, 1, 0, depths=[0.0])
    rng = random.Random(9)
    yield "large_palette", render_input(64, 64, 1 | 2 | 8, 1, material_id=3,
                                        depths=[rng.randrange(28) for _ in range(97)],
                                        materials=[rng.randrange(5) for _ in range(89)])


def cryptomatte_seeds():
    manifest = b'{"floor": "3d6a2ba7", "sphere.large": "6a3a2a0b", "box": "0d6a1a44", "sphere.small": "1c1f3e0d"}'
    yield "exact_name", b"box\0" + manifest
    yield "wildcards", b"sphere.*\nb?x\0" + manifest
    yield "escaped", b"star\\*\0" + b'{"star*": "00000001", "star\\\\": "00000002"}'
    yield "no_manifest", b"box"
    yield "no_match", b"flor\0" + manifest
    yield "sidecar", b"s*.large\0" + manifest
    yield "utf8_names", "k\u00e4se?\n\u732b*\0".encode() + '{"k\u00e4sen": "00000abc", "\u732b": "ffffffff"}'.encode()
    yield "bad_id", b"box\0" + b'{"box": 12}'
    yield "not_an_object", b"*\0" + b'["box", "00000001"]'
    yield "malformed", b"*\0" + b'{"box": "0000'
    yield "lone_backslash", b"box\\\0" + manifest
    yield "empty_manifest", b"*\0{}"


def frames_seeds():
    yield "single", b"7"
    yield "range", b"1-100\0shot.%04d.exr"
    yield "step", b"1-100x2\0shot.####.exr"
    yield "list", b"1,5,9-12\0out/grey.%d.png"
    yield "duplicates", b"1-5,3-8,5\0f.%08d.v2.exr"
    yield "backwards", b"9-1\0dir.%04d/shot.exr"
    yield "zero_step", b"1-9x0\0a#b##.exr"
    yield "empty_part", b"1,,2\0shot.%4d.exr"
    yield "large", b"0-999999\0shot0%02d.exr"
    yield "too_many", b"0-2147483647\0" + b"shot.%09d.exr"


def command_line_seeds():
    def line(*words):
        return b"\0".join(word.encode() for word in words)

    yield "apply_one", line("apply", "-o", "out.png", "in.exr")
    yield "apply_folder", line("apply", "--mode", "object", "--id", "3", "-o", "grey/", "a.0001.exr", "a.0002.exr")
    yield "apply_shot", line("apply", "--frames", "1-100x2", "-o", "grey.%04d.png", "shot.####.exr")
    yield "apply_values", line("apply", "--max-memory", "800M", "--background", "depth:1e10", "--range", "2.5:40",
                               "--range-over", "selection", "--mode", "material", "-j", "2", "x.exr")
    yield "apply_matte", line("apply", "--mode", "object", "--matte", "sphere.*", "--cryptomatte", "CryptoObject",
                              "--format", "exr", "--view", "all", "--report", "r.json", "--skip-existing", "in.exr")
    yield "apply_config", line("apply", "--config", "k.cfg", "--save-config", "s.cfg", "--opaque", "--", "-in.exr")
    yield "info", line("info", "--frames", "1,5,9-12", "--plot", "c.png", "--range", "shot", "s.%04d.exr")
    yield "sample", line("sample", "--cryptomatte", "out/crypto.exr")
    yield "help", line("help", "apply")
    yield "version", line("--version")
    yield "bad_size", line("apply", "--max-memory", "12Q", "x.exr")


def write(target, seeds):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.iterdir():
        old.unlink()
    for name, data in seeds:
        (folder / name).write_bytes(data)


write("fuzz_config", config_seeds())
write("fuzz_render", render_seeds())
write("fuzz_cryptomatte", cryptomatte_seeds())
write("fuzz_frames", frames_seeds())
write("fuzz_command_line", command_line_seeds())
