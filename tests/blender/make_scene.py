# Run by Blender: builds the test's scene (no .blend is kept in the repository) and saves it.
#   blender -b --factory-startup --python make_scene.py -- SCENE.blend
import sys

import bpy

path = sys.argv[sys.argv.index("--") + 1]
bpy.ops.wm.read_homefile(use_empty=True)
scene = bpy.context.scene
scene.render.engine = 'CYCLES'
scene.cycles.device = 'CPU'
scene.cycles.samples = 2
scene.cycles.use_denoising = False
scene.cycles.seed = 7
scene.render.resolution_x, scene.render.resolution_y, scene.render.resolution_percentage = 40, 30, 100
scene.frame_start, scene.frame_end = 1, 3
world = bpy.data.worlds.new("world")
world.color = (0.05, 0.05, 0.08)
scene.world = world

# A floor, a cube and a sphere with pass indices of their own, each in a material of its own.
for name, make, location, index in (("floor", bpy.ops.mesh.primitive_plane_add, (0, 0, 0), 1),
                                    ("cube", bpy.ops.mesh.primitive_cube_add, (-1, 1, 1), 2),
                                    ("ball", bpy.ops.mesh.primitive_uv_sphere_add, (1.2, 0, 0.8), 3)):
    make(location=location)
    body = bpy.context.object
    body.name = name
    body.pass_index = index
    if name == "floor":
        body.scale = (6, 6, 1)
    material = bpy.data.materials.new(name)
    material.use_nodes = True
    material.pass_index = index
    material.node_tree.nodes["Principled BSDF"].inputs["Base Color"].default_value = (0.2 * index, 0.5, 0.9 - 0.2 * index, 1)
    body.data.materials.append(material)
bpy.ops.object.light_add(type='SUN', location=(0, 0, 5))

# A camera backing away over the three frames, so that each frame has its own depth range.
bpy.ops.object.camera_add(location=(0, -6, 2.5), rotation=(1.2, 0, 0))
camera = bpy.context.object
scene.camera = camera
for frame, y in ((1, -6), (3, -8)):
    camera.location.y = y
    camera.keyframe_insert("location", frame=frame)

scene.view_layers[0].use_pass_z = True
scene.render.image_settings.file_format = 'OPEN_EXR_MULTILAYER'
scene.render.image_settings.color_depth = '32'
bpy.ops.wm.save_as_mainfile(filepath=path)
