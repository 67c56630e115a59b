# The frames Blender renders, each given its picture as it finishes: its passes saved when the
# render is done with it (render_post), then the picture written where the frame is written
# (render_write), or for a still nobody writes shown as the image "Deepglass" (render_complete).
# The handlers do no image work of their own: `deepglass.apply` makes every picture. Those of a
# render started from the window run on its render thread: the passes are saved and the image shown
# on the main thread (main_thread.py).
import contextlib
import os
import re
import shutil
import tempfile
import warnings

import bpy
from bpy.app.handlers import persistent

from . import main_thread, passes, settings
from .library import deepglass

IMAGE_NAME = "Deepglass"

_pending = {}  # scene name: the frame whose passes are saved and whose picture is still to make
_slots = {}  # scene name: the slot of Render Result its render draws into


class Pending:
    """A frame whose passes are saved, in a folder of its own, and how its picture is to be made."""

    def __init__(self, frame, layer, options):
        self.frame = frame
        self.layer = layer
        self.options = options
        self.folder = tempfile.mkdtemp(prefix="deepglass-blender-")
        # Named with the frame's number, which apply puts in the picture's mapping.
        self.passes_path = os.path.join(self.folder, "passes.%04d.exr")

    def discard(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def report(level, message):
    """Says it Blender's way: an operator's report in the window (which Blender also prints), the
    console in background mode."""
    line = f"Deepglass: {level.lower()}: {message}"
    if bpy.app.background:
        print(line)
    else:
        main_thread.post(lambda: _report_in_window(level, message), drop=lambda: print(line))


def _report_in_window(level, message):
    try:
        bpy.ops.deepglass.report(level=level, message=message)
    except RuntimeError:  # Blender raises an operator's error report too, once it has shown it
        pass


def picture_path(filepath, frame):
    """Frame N's picture: the path with N in place of its last run of #, padded to its length, or
    N in four digits after it; .png after that unless it ends so."""
    path = bpy.path.abspath(filepath)
    found = re.search(r"#+(?!.*#)", path)
    if found:
        path = path[:found.start()] + "%.*d" % (len(found.group()), frame) + path[found.end():]
    else:
        path += "%.*d" % (4, frame)
    return path if path.lower().endswith(".png") else path + ".png"


def _make_picture(pending, output):
    """Runs apply on the saved passes; what it warns of is reported. apply reads a # or %d left in
    the file name (Blender's names keep all but their last run of #) as the frame's number: it
    writes under a name of the add-on's, in the same folder, which then becomes the picture's."""
    written = os.path.join(os.path.dirname(output) or ".", "." + os.path.basename(pending.folder) + ".png")
    try:
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always", deepglass.DeepglassWarning)
            deepglass.apply([pending.passes_path], written, frames=[pending.frame], layer=pending.layer,
                            **pending.options)
        os.replace(written, output)
    finally:
        with contextlib.suppress(FileNotFoundError):
            os.remove(written)
    for warning in caught:
        if issubclass(warning.category, deepglass.DeepglassWarning):
            report('WARNING', f"frame {pending.frame}: {warning.message}")


@persistent
def _render_init(scene, *_):
    # Render Result shows the slot a render draws into as the render starts; the user may show
    # another before a frame is done.
    _slots[scene.name] = passes.shown_slot()


@persistent
def _render_post(scene, *_):
    _render_cancel(scene)
    chosen = scene.deepglass
    if not chosen.use:
        return
    frame = scene.frame_current
    pending = None
    try:
        missing = passes.missing_passes(scene, settings.required_passes(chosen))
        if missing:
            report('ERROR', f"frame {frame} has no depth picture: " + "; ".join(missing))
            return
        pending = Pending(frame, passes.render_layer(scene).name, settings.apply_options(chosen, scene))
        slot = _slots.get(scene.name)
        main_thread.call(lambda: passes.save_passes(scene, pending.passes_path % frame, slot))
        _pending[scene.name] = pending
    except Exception as error:
        if pending is not None:
            pending.discard()
        report('ERROR', f"frame {frame} has no depth picture: {error}")


@persistent
def _render_write(scene, *_):
    pending = _pending.pop(scene.name, None)
    if pending is None:
        return
    try:
        output = picture_path(scene.deepglass.filepath, pending.frame)
        os.makedirs(os.path.dirname(output) or ".", exist_ok=True)
        _make_picture(pending, output)
    except Exception as error:
        report('ERROR', f"frame {pending.frame} has no depth picture: {error}")
    finally:
        pending.discard()


def _show_picture(path):
    """The picture as the image "Deepglass", held in the .blend file until the user saves it."""
    image = bpy.data.images.get(IMAGE_NAME)
    if image is None:
        image = bpy.data.images.load(path, check_existing=False)
        image.name = IMAGE_NAME
    else:
        if image.packed_file is not None:
            image.unpack(method='REMOVE')
        image.filepath = path
        image.reload()
    image.colorspace_settings.name = 'Non-Color'
    image.pack()
    image.filepath = "//" + IMAGE_NAME + ".png"


def _show(pending, path):
    try:
        _show_picture(path)
    except Exception as error:
        report('ERROR', f"frame {pending.frame} has no depth picture: {error}")
    finally:
        pending.discard()


@persistent
def _render_complete(scene, *_):
    # A frame no one wrote: a still render, whose picture is shown rather than written. The render
    # thread does not wait for the main thread to show it.
    pending = _pending.pop(scene.name, None)
    if pending is None:
        return
    output = os.path.join(pending.folder, IMAGE_NAME + ".png")
    try:
        _make_picture(pending, output)
    except Exception as error:
        pending.discard()
        report('ERROR', f"frame {pending.frame} has no depth picture: {error}")
        return
    main_thread.post(lambda: _show(pending, output), drop=pending.discard)


@persistent
def _render_cancel(scene, *_):
    pending = _pending.pop(scene.name, None)
    if pending is not None:
        pending.discard()


@persistent
def _load_post(*_):
    if any(scene.deepglass.use for scene in bpy.data.scenes):
        passes.ensure_render_result()


_HANDLERS = [
    (bpy.app.handlers.render_init, _render_init),
    (bpy.app.handlers.render_post, _render_post),
    (bpy.app.handlers.render_write, _render_write),
    (bpy.app.handlers.render_complete, _render_complete),
    (bpy.app.handlers.render_cancel, _render_cancel),
    (bpy.app.handlers.load_post, _load_post),
]


def register():
    for handlers, handler in _HANDLERS:
        handlers.append(handler)


def unregister():
    for handlers, handler in _HANDLERS:
        if handler in handlers:
            handlers.remove(handler)
