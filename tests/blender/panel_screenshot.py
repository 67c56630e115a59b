# Run by Blender with its window (under Xvfb): the render properties with the Deepglass panel,
# saved as a PNG, then Blender quits.
#   blender --python panel_screenshot.py -- OUTPUT.png   (the add-on enabled in the user's preferences)
import sys

import bpy

output = sys.argv[sys.argv.index("--") + 1]


def largest_area(window):
    return max(window.screen.areas, key=lambda a: a.width * a.height)


def shoot():
    # The largest area (the 3-D view) made a properties editor showing the render properties.
    window = bpy.context.window_manager.windows[0]
    area = largest_area(window)
    area.type = 'PROPERTIES'
    bpy.app.timers.register(lambda: show_render(window), first_interval=1.0)


def show_render(window):
    largest_area(window).spaces[0].context = 'RENDER'
    bpy.app.timers.register(lambda: finish(window), first_interval=1.0)


def finish(window):
    with bpy.context.temp_override(window=window, area=largest_area(window)):
        bpy.ops.screen.screenshot_area(filepath=output)
    bpy.ops.wm.quit_blender()


scene = bpy.context.scene
scene.render.engine = 'CYCLES'
settings = scene.deepglass
settings.use = True
settings.mode = 'OBJECT'
settings.id = 2
settings.curve = 'INVERSE'
settings.use_clip = True
bpy.app.timers.register(shoot, first_interval=2.0)
