# The add-on's settings on every scene (bpy.types.Scene.deepglass), as scripts and farm jobs set
# them, and the options of `deepglass apply` they stand for.
import os

import bpy

from . import passes
from .library import deepglass


def filter_options(settings):
    """The options of apply that configure the filter itself."""
    options = {"mode": settings.mode.lower()}
    if settings.mode != 'WHOLE':
        options["id"] = settings.id
    return options


def colour_options(scene):
    """Kept colour as the scene's view transform shows it: Raw as stored, Standard through the sRGB
    curve, any other view as that display and view of Blender's own OpenColorIO config."""
    view = scene.view_settings.view_transform
    display = scene.display_settings.display_device
    if view == 'Raw':
        return {"colour": "linear"}
    if view == 'Standard' and display == 'sRGB':
        return {"colour": "srgb"}
    # Blender reads $OCIO at start-up, as the tool does; without it, its own config.
    config = os.environ.get("OCIO") or os.path.join(bpy.utils.system_resource('DATAFILES'), "colormanagement",
                                                     "config.ocio")
    return {"colour": f"{display}/{view}", "ocio": config}


def apply_options(settings, scene):
    """Every option of apply the settings stand for."""
    options = filter_options(settings)
    options["curve"] = settings.curve.lower()
    options["bits"] = int(settings.bits)
    if settings.use_clip:
        options["clip"] = (settings.clip_low, settings.clip_high)
    if settings.mode != 'WHOLE':
        options.update(colour_options(scene))
    return options


def required_passes(settings):
    """The passes the filter asks for, as the module answers for the chosen mode."""
    channels = deepglass.channels_required(**filter_options(settings))
    return [passes.PASS_OF_CHANNEL[channel] for channel in sorted(channels)]


def settings_changed(settings, context):
    """Turns on, in every view layer that renders, the passes the filter asks for."""
    if not settings.use:
        return
    scene = settings.id_data
    try:
        for layer in scene.view_layers:
            if layer.use:
                for attribute, _ in required_passes(settings):
                    setattr(layer, attribute, True)
    except (ValueError, deepglass.Error) as error:
        print(f"Deepglass: {error}")
    passes.ensure_render_result()


class DeepglassSettings(bpy.types.PropertyGroup):
    use: bpy.props.BoolProperty(
        name="Deepglass", default=False, update=settings_changed,
        description="Write a grey depth picture of every frame rendered")
    mode: bpy.props.EnumProperty(
        name="Mode", default='WHOLE', update=settings_changed,
        items=[('WHOLE', "Whole Frame", "Every pixel grey, nearest white, farthest black"),
               ('MATERIAL', "Material Index", "Only the pixels of one material pass index; the others keep "
                                              "their colour"),
               ('OBJECT', "Object Index", "Only the pixels of one object pass index; the others keep their "
                                          "colour")])
    id: bpy.props.IntProperty(
        name="ID", default=1, min=1, max=65535,
        description="The pass index the mode selects (material 1 to 8, object 1 to 65535)")
    curve: bpy.props.EnumProperty(
        name="Curve", default='LINEAR',
        items=[('LINEAR', "Linear", "Greys linear in depth"),
               ('INVERSE', "Inverse", "Greys linear in 1/depth, as depth models for image generators read it")])
    use_clip: bpy.props.BoolProperty(
        name="Clip", default=False,
        description="Take the grey scale's ends at percentiles of the depths, so that a few stray pixels do "
                    "not squeeze the rest")
    clip_low: bpy.props.FloatProperty(name="Low", default=1.0, min=0.0, max=100.0,
                                      description="The percentile of the near end (white)")
    clip_high: bpy.props.FloatProperty(name="High", default=99.0, min=0.0, max=100.0,
                                       description="The percentile of the far end (black)")
    bits: bpy.props.EnumProperty(
        name="Bits", default='16',
        items=[('16', "16", "16 bits a sample"), ('8', "8", "8 bits a sample, each level rounded")])
    filepath: bpy.props.StringProperty(
        name="Output", default="//depth/", subtype='FILE_PATH',
        description="Where frame N's picture goes: this path, N in four digits (or in place of its #), .png")


def register():
    bpy.utils.register_class(DeepglassSettings)
    bpy.types.Scene.deepglass = bpy.props.PointerProperty(type=DeepglassSettings)


def unregister():
    del bpy.types.Scene.deepglass
    bpy.utils.unregister_class(DeepglassSettings)
