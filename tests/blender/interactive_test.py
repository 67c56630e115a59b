#!/usr/bin/env python3
"""The Blender add-on in Blender's window (under Xvfb), installed from its zip into a fresh user
folder, with renders started as the window starts them, whose handlers run on Blender's render
thread (interactive_session.py): work handed to the main thread writes where Blender refuses
Python's writes; an F12 render makes the image "Deepglass"; an animation render
writes pictures equal byte for byte to those of `deepglass apply` on the frames written as
multilayer EXR, while the user shows another slot of Render Result; Escape stops a render and leaves
a picture for each frame written and nothing else; loading a file or quitting while the render
thread waits for the main thread does not hang Blender; no temporary file is left behind.
    interactive_test.py BUILD_DIR"""
import filecmp
import json
import os
import pathlib
import signal
import subprocess
import sys
import tempfile
import time

build = pathlib.Path(sys.argv[1]).resolve()
here = pathlib.Path(__file__).resolve().parent
tool = build / "bin" / "deepglass"
work = pathlib.Path(tempfile.mkdtemp(prefix="deepglass-blender-window-test-"))
temporary = work / "tmp"  # Blender's and the add-on's temporary files
temporary.mkdir()
env = {k: v for k, v in os.environ.items() if k not in ("DEEPGLASS_MODULE", "OCIO", "PYTHONPATH")}
env.update(BLENDER_USER_CONFIG=str(work / "user/config"), BLENDER_USER_SCRIPTS=str(work / "user/scripts"),
           TMPDIR=str(temporary))
faults = []
SCRIPT_FAILED = 3  # Blender's exit status when the session's script raises


def blender_background(*arguments):
    subprocess.run(["blender", "-b", *arguments], cwd=work, env=env, check=True, capture_output=True)


def apply(pattern, frames, output):
    subprocess.run([str(tool), "apply", "--frames", frames, "--mode", "object", "--id", "2", "--colour", "sRGB/Filmic",
                    pattern, "-o", output], cwd=work, check=True, capture_output=True,
                   env={**env, "OCIO": "/usr/share/blender/datafiles/colormanagement/config.ocio"})


def same(left, right, what):
    if not (left.is_file() and right.is_file() and filecmp.cmp(left, right, shallow=False)):
        faults.append(f"{what}: {left.relative_to(work)} is not {right.relative_to(work)}")


blender_background("--python-expr", "import bpy; bpy.ops.preferences.addon_install(filepath=%r); "
                   "bpy.ops.preferences.addon_enable(module='deepglass_blender'); "
                   "bpy.context.preferences.view.show_splash = False; bpy.ops.wm.save_userpref()"
                   % str(build / "deepglass_blender.zip"))
blender_background("--factory-startup", "--python", str(here / "make_scene.py"), "--", str(work / "scene.blend"))

# -noreset: an X server that resets when its last client leaves signals xvfb-run when it is ready
# again; landing while xvfb-run waits for its clean-up, /bin/sh (dash) takes the clean-up for a
# failure and xvfb-run exits 5 in place of Blender's status.
started = time.monotonic()
session = subprocess.Popen(["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24 -noreset", "blender",
                            "--window-geometry", "0", "0", "1280", "1024", "--python-exit-code", str(SCRIPT_FAILED),
                            str(work / "scene.blend"), "--python", str(here / "interactive_session.py"), "--",
                            str(work / "result.json")],
                           cwd=work, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                           start_new_session=True)
try:
    log, _ = session.communicate(timeout=150)
except subprocess.TimeoutExpired:
    os.killpg(session.pid, signal.SIGKILL)
    log, _ = session.communicate()
    sys.exit(f"Blender hung ({work}):\n{log}")
ended = time.time()
# Blender's exit status is 1 when it quits with a render stopped on its way, as the last step
# does; a failure of the session's script is told apart by its own status.
if session.returncode not in (0, 1) or not (work / "result.json").is_file():
    sys.exit(f"Blender exited {session.returncode} without finishing the session ({work}):\n{log}")
result = json.loads((work / "result.json").read_text())

if result["draw"] != {"refused": True, "handed_over": "written"}:
    faults.append(f"work handed to the main thread where Blender refuses writes: {result['draw']}")

# The pictures, against the tool's from the frames Blender wrote as multilayer EXR.
apply("anim/beauty.%04d.exr", "1-3", "reference/%04d.png")
same(work / "still.png", work / "reference/0001.png", "F12 render")
if result["still"] != {"end": "complete", "size": [40, 30]} or (work / "still").exists():
    faults.append(f"F12 render: {result['still']}, not an image of 40 x 30 only")
for frame in (1, 2, 3):
    same(work / f"anim/v##_{frame:04d}.png", work / f"reference/{frame:04d}.png", f"animation, frame {frame}")

# Escape: each frame written has its picture, and nothing else is left.
written = sorted(int(p.name.split(".")[1]) for p in (work / "esc").glob("beauty.*.exr"))
if result["esc"]["end"] != "cancel" or not 1 <= len(written) < 40:
    faults.append(f"Escape did not stop the render: {result['esc']}, frames {written}")
apply("esc/beauty.%04d.exr", ",".join(map(str, written)), "reference/esc/%04d.png")
for frame in written:
    same(work / f"esc/{frame:04d}.png", work / f"reference/esc/{frame:04d}.png", f"Escape, frame {frame}")
if len(list((work / "esc").iterdir())) != 2 * len(written):
    faults.append(f"Escape left other files: {sorted(p.name for p in (work / 'esc').iterdir())}")

# The main thread gone from the render thread's hand-off: said so, and Blender went on. Had the
# render thread waited, the load would take the 60 s the session allows, the quit for ever.
quit_seconds = ended - result["quit"]["at"]
if result["load"]["seconds"] > 20 or "frame 1 has no depth picture: Blender is loading another file" not in log:
    faults.append(f"loading a file while the render thread waits took {result['load']['seconds']:.1f} s")
if quit_seconds > 30 or "frame 1 has no depth picture: Blender's main thread has been busy" not in log:
    faults.append(f"quitting while the render thread waits took {quit_seconds:.1f} s")
left = [p.name for p in temporary.iterdir() if p.name.startswith(("deepglass", ".deepglass"))]
left += [str(p.relative_to(work)) for p in work.rglob(".deepglass*")]
if left:
    faults.append(f"temporary files left: {left}")

print("\n".join(faults) or f"F12, animation, Escape ({len(written)} frames), load ({result['load']['seconds']:.1f} s) "
      f"and quit ({quit_seconds:.1f} s) as expected in {time.monotonic() - started:.0f} s ({work})")
if faults:
    print(log)
else:
    subprocess.run(["rm", "-rf", str(work)], check=True)
sys.exit(1 if faults else 0)
