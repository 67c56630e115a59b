#include "frame/view_frame.h"

#include "base/tool_error.h"

namespace deepglass {

ViewFrame ViewLayoutOf(const ExrFile& file, const std::string& view, const ChannelNames& names)
{
    ViewFrame made;
    made.view = view;
    made.channels = file.ChannelsOfView(view);
    made.choice = ChooseChannels(made.channels, names);
    made.frame = GatherFrame(file, made.channels, {}, made.choice.depth);
    return made;
}

void RequireDepth(const ViewFrame& made)
{
    if (!made.choice.hasDepth)
        throw ToolError("no depth channel " + made.choice.depth +
                        (made.view.empty() ? "" : " in view " + made.view) + " (the frame has " +
                        ViewChannelListText(made.channels) + "; name another with --depth)");
}

int PartOf(const ViewFrame& made, const std::string& name)
{
    for (const ViewChannel& channel : made.channels)
        if (channel.name == name) return channel.part;
    return 0;
}

} // namespace deepglass
