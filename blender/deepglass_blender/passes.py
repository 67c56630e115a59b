# A finished frame's passes as the filter is handed them: the render result saved as a multilayer
# EXR of full floats, whatever format the user writes frames in, so that the picture is the one
# `deepglass apply` makes from the frame written as a multilayer EXR.
import contextlib
import os
import sys

import bpy

# Each channel the filter may ask for: the view layer's switch of its pass, and its name.
PASS_OF_CHANNEL = {
    "depth": ("use_pass_z", "Z"),
    "material_id": ("use_pass_material_index", "Material Index"),
    "object_id": ("use_pass_object_index", "Object Index"),
}


def render_layer(scene):
    """The view layer whose passes the picture is made from: the first that renders."""
    return next((layer for layer in scene.view_layers if layer.use), None)


def missing_passes(scene, required):
    """What Blender does not give of the passes the filter asks for, as a user would fix it."""
    layer = render_layer(scene)
    if layer is None:
        return ["no view layer renders"]
    return [f"view layer \"{layer.name}\" has no {name} pass (View Layer Properties > Passes)"
            for attribute, name in required if not getattr(layer, attribute)]


def render_result():
    return next((image for image in bpy.data.images if image.type == 'RENDER_RESULT'), None)


def shown_slot():
    """The slot Render Result shows, None without the image."""
    image = render_result()
    return None if image is None else image.render_slots.active_index


@contextlib.contextmanager
def _quiet_stdout():
    sys.stdout.flush()
    kept = os.dup(1)
    try:
        with open(os.devnull, "w") as devnull:
            os.dup2(devnull.fileno(), 1)
        yield
    finally:
        os.dup2(kept, 1)
        os.close(kept)


def ensure_render_result():
    """Makes the Render Result image where Blender has not: a render from the command line
    (blender -b -a) makes none, and without it the passes cannot be saved. The image editor's
    Open Cached Render makes it, in an area made an image editor for the moment."""
    if not bpy.app.background or render_result() is not None:
        return
    windows = bpy.context.window_manager.windows
    if not windows or not windows[0].screen.areas:
        return
    window = windows[0]
    area = window.screen.areas[0]
    kept = area.type
    try:
        area.type = 'IMAGE_EDITOR'
        # It also looks for a cached render, which a render about to start has none of, and says so.
        with bpy.context.temp_override(window=window, area=area), _quiet_stdout():
            bpy.ops.image.read_viewlayers()
    finally:
        area.type = kept


def _format_settings(settings):
    """The image format's settings that can be set back, the file format first, as setting it
    changes the others."""
    names = [p.identifier for p in settings.bl_rna.properties
             if not p.is_readonly and p.type in {"ENUM", "INT", "BOOLEAN", "FLOAT"}
             and not getattr(p, "is_array", False)]
    names.sort(key=lambda name: name != "file_format")
    return {name: getattr(settings, name) for name in names}


def save_passes(scene, path, slot):
    """Saves the render result in Render Result's `slot`, every view layer and pass, to `path` as a
    multilayer EXR of full floats. Blender saves the slot shown, with the scene's image format: both
    are set back at once."""
    image = render_result()
    if image is None:
        raise RuntimeError("Blender made no Render Result image to take the passes from")
    slots = image.render_slots
    shown = slots.active_index
    settings = scene.render.image_settings
    kept = _format_settings(settings)
    try:
        if slot is not None and slot < len(slots):
            slots.active_index = slot
        settings.file_format = 'OPEN_EXR_MULTILAYER'
        settings.color_depth = '32'
        settings.exr_codec = 'NONE'
        image.save_render(path, scene=scene)
    finally:
        for name, value in kept.items():
            with contextlib.suppress(AttributeError, TypeError, ValueError):
                setattr(settings, name, value)
        slots.active_index = shown
