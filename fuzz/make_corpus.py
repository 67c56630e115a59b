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


def write(target, seeds):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.iterdir():
        old.unlink()
    for name, data in seeds:
        (folder / name).write_bytes(data)


write("fuzz_config", config_seeds())
write("fuzz_render", render_seeds())
