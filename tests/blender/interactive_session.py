# Run by Blender with its window (under Xvfb), the add-on enabled: renders started as the window
# starts them (F12, Ctrl+F12: their handlers run on Blender's render thread), one step after the
# other from a timer, each noted in RESULT.json for interactive_test.py to check. Blender quits at
# the end, from the last step.
#   blender SCENE.blend --python interactive_session.py -- RESULT.json
import ctypes
import json
import sys
import time
import traceback

import bpy
from bpy.app.handlers import persistent

result_path = sys.argv[sys.argv.index("--") + 1]
scene_path = bpy.data.filepath
main_thread = sys.modules["deepglass_blender.main_thread"]
result = {}
seen = {"posts": 0, "writes": 0, "end": None}


@persistent
def count(scene, *_):
    seen["posts"] += 1


@persistent
def count_write(scene, *_):
    seen["writes"] += 1


def end(name):
    return persistent(lambda scene, *_: seen.update(end=name))


bpy.app.handlers.render_post.append(count)
bpy.app.handlers.render_write.append(count_write)
bpy.app.handlers.render_complete.append(end("complete"))
bpy.app.handlers.render_cancel.append(end("cancel"))


def press_escape():
    """Escape as the keyboard gives it, through the X server (Blender cancels on the key itself)."""
    x11, xtest = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XFlush.argtypes = x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    xtest.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
    xtest.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    display = x11.XOpenDisplay(None)
    key = x11.XKeysymToKeycode(display, 0xFF1B)
    xtest.XTestFakeMotionEvent(display, -1, 400, 300, 0)
    xtest.XTestFakeKeyEvent(display, key, True, 0)
    xtest.XTestFakeKeyEvent(display, key, False, 0)
    x11.XFlush(display)
    x11.XCloseDisplay(display)


def configure(name, filepath):
    scene = bpy.context.scene
    chosen = scene.deepglass
    chosen.use, chosen.mode, chosen.id, chosen.filepath = True, 'OBJECT', 2, filepath
    scene.render.filepath = f"//{name}/beauty."
    return scene


def render(animation):
    seen.update(posts=0, writes=0, end=None)
    bpy.ops.render.render('INVOKE_DEFAULT', animation=animation)


def rendered():
    return seen["end"] is not None and not bpy.app.is_job_running('RENDER')


def hold_main_thread_work():
    """The add-on's main-thread turn stopped, as when the main thread is busy."""
    bpy.app.timers.unregister(main_thread._turn)


def write_from_draw(header, context):
    """In a header's draw, where Blender refuses Python's writes: one refused, one handed over."""
    if "draw" in result:
        return
    scene = context.scene
    try:
        scene.frame_current = scene.frame_current
        refused = False
    except AttributeError:
        refused = True
    result["draw"] = {"refused": refused, "handed_over": "refused"}

    def write():
        scene.frame_current = scene.frame_current
        result["draw"]["handed_over"] = "written"

    main_thread.post(write)


def steps():
    """Each step a generator: what it yields is how long to wait before it goes on."""
    # Work handed to the main thread where Blender refuses Python's writes.
    bpy.types.VIEW3D_HT_header.append(write_from_draw)
    for area in bpy.context.screen.areas:
        area.tag_redraw()
    while "draw" not in result:
        yield 0.05
    bpy.types.VIEW3D_HT_header.remove(write_from_draw)

    # F12 with the interface locked: the image "Deepglass", written nowhere.
    configure("still", "//still/").render.use_lock_interface = True
    render(animation=False)
    while not rendered():
        yield 0.05
    image = bpy.data.images.get("Deepglass")
    if image is not None and image.packed_file is not None:
        with open(bpy.path.abspath("//still.png"), "wb") as file:
            file.write(image.packed_file.data)
    result["still"] = {"end": seen["end"], "size": image and tuple(image.size)}

    # Ctrl+F12 into slot 2 of Render Result, slot 1 (the still) shown from the first frame on; a
    # file name keeping a run of # besides the frame's.
    configure("anim", "//anim/v##_####").render.use_lock_interface = False
    bpy.data.images["Render Result"].render_slots.active_index = 1
    render(animation=True)
    while seen["posts"] < 1:
        yield 0.01
    bpy.data.images["Render Result"].render_slots.active_index = 0
    while not rendered():
        yield 0.05
    result["anim"] = {"end": seen["end"]}

    # Escape pressed once a frame is written, again until the render stops.
    scene = configure("esc", "//esc/")
    scene.frame_end, scene.cycles.samples, scene.render.resolution_percentage = 40, 64, 400
    render(animation=True)
    while seen["writes"] < 1:
        yield 0.01
    while not rendered():
        press_escape()
        yield 0.3
    result["esc"] = {"end": seen["end"], "frames": seen["writes"]}

    # A file loaded while the render thread waits for the main thread: it waits no more. Files are
    # loaded keeping Blender's window manager, whose property runs the steps.
    bpy.ops.wm.open_mainfile(filepath=scene_path, load_ui=False)
    yield 0.5
    configure("load", "//load/")
    hold_main_thread_work()
    main_thread.STALL_SECONDS = 60.0
    render(animation=True)
    while not main_thread._queue:
        yield 0.01
    started = time.monotonic()
    bpy.ops.wm.read_homefile(load_ui=False)
    result["load"] = {"seconds": time.monotonic() - started}
    bpy.app.timers.register(main_thread._turn, persistent=True)

    # Quitting while the render thread waits for a main thread that does not turn: Blender waits
    # for the render to stop, the render thread gives up on the main thread.
    bpy.ops.wm.open_mainfile(filepath=scene_path, load_ui=False)
    yield 0.5
    configure("quit", "//quit/")
    hold_main_thread_work()
    main_thread.STALL_SECONDS = 1.0
    render(animation=True)
    while not main_thread._queue:
        yield 0.01
    result["quit"] = {"at": time.time()}
    with open(result_path, "w") as file:
        json.dump(result, file)
    bpy.ops.wm.quit_blender()


plan = steps()
deadline = time.monotonic() + 100
pace = {"next": 1.0}


# Blender can leave Python's writes and operator calls refused once a render has run (main_thread.py
# says why): each step runs from a window manager property's update, where they are allowed.
def advance(window_manager, context):
    try:
        if time.monotonic() > deadline:
            raise TimeoutError(f"out of time: {result}, {seen}")
        pace["next"] = next(plan)
    except StopIteration:
        pace["next"] = None
    except Exception:
        traceback.print_exc()
        pace["next"] = None
        bpy.ops.wm.quit_blender()


bpy.types.WindowManager.interactive_session_step = bpy.props.BoolProperty(update=advance)


def turn():
    window_manager = bpy.context.window_manager
    window_manager.interactive_session_step = not window_manager.interactive_session_step
    return pace["next"]


bpy.app.timers.register(turn, first_interval=1.0, persistent=True)
