# Run by Blender with its window (under Xvfb): the render properties with the Deepglass panel,
# saved as a PNG, then Blender quits.
#   blender --factory-startup --python panel_screenshot.py -- OUTPUT.png   (the add-on enabled)
import sys

import bpy

output = sys.argv[sys.argv.index("--") + 1]


def shoot():
    window = bpy.context.window_manager.windows[0]
    area = max((a for a in window.screen.areas if a.type == 'PROPERTIES'), key=lambda a: a.height)
    area.spaces[0].context = 'RENDER'
    with bpy.context.temp_override(window=window, area=area):
        bpy.ops.screen.screen_full_area()
    bpy.app.timers.register(lambda: save(window), first_interval=1.5)


def save(window):
    area = next(a for a in window.screen.areas if a.type == 'PROPERTIES')
    region = next(r for r in area.regions if r.type == 'WINDOW')
    with bpy.context.temp_override(window=window, area=area, region=region):
        # The add-on's panel comes after Blender's own: the view goes down to it.
        bpy.ops.view2d.scroll_down(deltay=4000)
    bpy.app.timers.register(lambda: finish(window), first_interval=1.0)


def finish(window):
    area = next(a for a in window.screen.areas if a.type == 'PROPERTIES')
    with bpy.context.temp_override(window=window, area=area):
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
