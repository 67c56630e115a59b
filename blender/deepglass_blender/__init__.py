# Deepglass for Blender: every frame Blender renders also gets its grey depth picture, made by the
# Deepglass filter module from the frame's own passes, as `deepglass apply` makes it from the
# frame written as a multilayer EXR.
bl_info = {
    "name": "Deepglass",
    "author": "Deepglass developers",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "Properties > Render > Deepglass",
    "description": "Grey depth pictures of rendered frames, through the Deepglass filter module",
    "category": "Render",
}

if "bpy" in locals():
    import importlib

    for loaded in (main_thread, settings, frames, panel):  # noqa: F821 (reloaded by Blender's add-on reload)
        importlib.reload(loaded)
else:
    from . import frames, main_thread, panel, settings

import bpy


def register():
    main_thread.register()
    settings.register()
    panel.register()
    frames.register()


def unregister():
    frames.unregister()
    panel.unregister()
    settings.unregister()
    main_thread.unregister()
