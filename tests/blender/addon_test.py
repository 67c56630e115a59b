#!/usr/bin/env python3
"""The Blender add-on, headless, installed from its zip into a fresh user folder: three frames
rendered in each mode (blender -b -a) give pictures equal byte for byte to those of `deepglass
apply` on the same frames written as multilayer EXR; a render written as PNG gives the same
pictures; an F12 render makes the image "Deepglass"; a missing pass is reported and writes nothing.
    addon_test.py BUILD_DIR"""
import filecmp
import os
import pathlib
import subprocess
import sys
import tempfile

build = pathlib.Path(sys.argv[1]).resolve()
here = pathlib.Path(__file__).resolve().parent
tool = build / "bin" / "deepglass"
zip_path = build / "deepglass_blender.zip"
blender_config = "/usr/share/blender/datafiles/colormanagement/config.ocio"
work = pathlib.Path(tempfile.mkdtemp(prefix="deepglass-blender-test-"))
env = {k: v for k, v in os.environ.items() if k not in ("DEEPGLASS_MODULE", "OCIO", "PYTHONPATH")}
env.update(BLENDER_USER_CONFIG=str(work / "user/config"), BLENDER_USER_SCRIPTS=str(work / "user/scripts"))
faults = []


def blender(*arguments, expect=0):
    run = subprocess.run(["blender", "-b", *arguments], cwd=work, env=env, capture_output=True, text=True)
    if run.returncode != expect:
        sys.exit(f"blender {' '.join(arguments)} exited {run.returncode}:\n{run.stdout}\n{run.stderr}")
    return run.stdout


def settings(**values):
    """A --python-expr setting the scene's Deepglass settings (and its render settings)."""
    lines = ["import bpy", "s = bpy.context.scene"]
    lines += [f"s.{name} = {value!r}" for name, value in values.items()]
    return "; ".join(lines)


def same(left, right, what):
    if not (left.is_file() and right.is_file() and filecmp.cmp(left, right, shallow=False)):
        faults.append(f"{what}: {left.relative_to(work)} differs from {right.relative_to(work)}")


blender("--python-expr", "import bpy; bpy.ops.preferences.addon_install(filepath=%r); "
        "bpy.ops.preferences.addon_enable(module='deepglass_blender'); bpy.ops.wm.save_userpref()" % str(zip_path))
blender("--factory-startup", "--python", str(here / "make_scene.py"), "--", str(work / "scene.blend"))

# Each mode, its kept colour through another of Blender's view transforms, with the tool's options.
modes = {
    "whole": ({"deepglass.mode": "WHOLE", "deepglass.curve": "INVERSE", "deepglass.bits": "8"},
              ["--curve", "inverse", "--bits", "8"]),
    "material": ({"deepglass.mode": "MATERIAL", "deepglass.id": 3, "view_settings.view_transform": "Standard",
                  "deepglass.use_clip": True, "deepglass.clip_low": 5.0, "deepglass.clip_high": 95.0},
                 ["--mode", "material", "--id", "3", "--colour", "srgb", "--clip", "5.0:95.0"]),
    "object": ({"deepglass.mode": "OBJECT", "deepglass.id": 2},
               ["--mode", "object", "--id", "2", "--colour", "sRGB/Filmic"]),
}
for mode, (values, options) in modes.items():
    blender(str(work / "scene.blend"), "--python-expr", settings(**{"deepglass.use": True, "deepglass.filepath": f"//{mode}/",
                                                        "render.filepath": f"//exr/{mode}.", **values}), "-a")
    subprocess.run([str(tool), "apply", "--frames", "1-3", *options, f"exr/{mode}.%04d.exr", "-o",
                    f"reference/{mode}/%04d.png"], cwd=work, env={**env, "OCIO": blender_config},
                   check=True, capture_output=True)
    for frame in (1, 2, 3):
        same(work / f"{mode}/{frame:04d}.png", work / f"reference/{mode}/{frame:04d}.png", f"{mode} frame {frame}")

# The same frames written as PNG, named by a # pattern: the same pictures.
values, _ = modes["object"]
blender(str(work / "scene.blend"), "--python-expr", settings(**{"deepglass.use": True, "deepglass.filepath": "//png/grey.##",
                                                    "render.filepath": "//png/beauty.",
                                                    "render.image_settings.file_format": "PNG", **values}), "-a")
for frame in (1, 2, 3):
    same(work / f"png/grey.{frame:02d}.png", work / f"object/{frame:04d}.png", f"PNG output, frame {frame}")
    if not (work / f"png/beauty.{frame:04d}.png").is_file():
        faults.append(f"Blender wrote no png/beauty.{frame:04d}.png")

# A still: the image "Deepglass", frame 1's picture, written nowhere.
still = blender(str(work / "scene.blend"), "--python-expr", settings(**{"deepglass.use": True, "deepglass.filepath": "//still/",
                                                            **values}) +
                "; bpy.ops.render.render(); image = bpy.data.images['Deepglass']; "
                "open('still.png', 'wb').write(image.packed_file.data); print('still', tuple(image.size))")
same(work / "still.png", work / "reference/object/0001.png", "F12 render")
if "still (40, 30)" not in still or (work / "still").exists():
    faults.append(f"F12 render: no image of 40 x 30 only:\n{still}")

# A pass turned off after the settings: reported, no picture, Blender's own frame written.
missing = blender(str(work / "scene.blend"), "--python-expr",
                  settings(**{"deepglass.use": True, "deepglass.filepath": "//missing/", **values,
                              "render.filepath": "//missing/beauty."}) +
                  "; bpy.context.scene.view_layers[0].use_pass_object_index = False", "-f", "1")
if "Deepglass: error: frame 1 has no depth picture: view layer \"ViewLayer\" has no Object Index pass" not in missing \
        or (work / "missing/0001.png").exists() or not (work / "missing/beauty.0001.exr").is_file():
    faults.append(f"a missing pass: not reported as it should be:\n{missing}")

print("\n".join(faults) or f"3 modes x 3 frames, PNG output, F12 and a missing pass as expected ({work})")
if not faults:
    subprocess.run(["rm", "-rf", str(work)], check=True)
sys.exit(1 if faults else 0)
