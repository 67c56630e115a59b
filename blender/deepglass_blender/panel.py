# The panel in the render properties, and the operator that shows a report in Blender's window.
import bpy


class DEEPGLASS_PT_settings(bpy.types.Panel):
    bl_label = "Deepglass"
    bl_space_type = 'PROPERTIES'
    bl_region_type = 'WINDOW'
    bl_context = "render"

    def draw_header(self, context):
        self.layout.prop(context.scene.deepglass, "use", text="")

    def draw(self, context):
        chosen = context.scene.deepglass
        layout = self.layout
        layout.use_property_split = True
        layout.use_property_decorate = False
        layout.active = chosen.use
        layout.prop(chosen, "mode")
        row = layout.row()
        row.active = chosen.mode != 'WHOLE'
        row.prop(chosen, "id")
        layout.prop(chosen, "curve")
        row = layout.row(heading="Clip")
        row.prop(chosen, "use_clip", text="")
        ends = row.row(align=True)
        ends.active = chosen.use_clip
        ends.prop(chosen, "clip_low", text="")
        ends.prop(chosen, "clip_high", text="")
        layout.prop(chosen, "bits", expand=True)
        layout.prop(chosen, "filepath")


class DEEPGLASS_OT_report(bpy.types.Operator):
    """Shows what became of a frame's depth picture"""
    bl_idname = "deepglass.report"
    bl_label = "Deepglass Report"
    bl_options = {'INTERNAL'}

    level: bpy.props.EnumProperty(items=[('ERROR', "Error", ""), ('WARNING', "Warning", ""),
                                         ('INFO', "Info", "")])
    message: bpy.props.StringProperty()

    def execute(self, context):
        self.report({self.level}, "Deepglass: " + self.message)
        return {'FINISHED'}


_CLASSES = (DEEPGLASS_PT_settings, DEEPGLASS_OT_report)


def register():
    for cls in _CLASSES:
        bpy.utils.register_class(cls)


def unregister():
    for cls in reversed(_CLASSES):
        bpy.utils.unregister_class(cls)
