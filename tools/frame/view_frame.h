// One view of a file as the filter would get it: the view's channels, the ones chosen for colour,
// depth and IDs, and the frame they make (over the data window of the depth channel's part).
#pragma once

#include <string>
#include <vector>

#include "exr/exr_file.h"
#include "frame/channel_discovery.h"

namespace deepglass {

struct ViewFrame {
    std::string view;
    std::vector<ViewChannel> channels;
    ChannelChoice choice;
    ExrFrame frame; // without a depth channel, over the first part's data window
};

// The view's channels and the ones chosen; the frame holds the windows and header only, for a
// caller that reads the samples itself. `file` need not hold samples. A ToolError where the
// channels cannot be chosen (see ChooseChannels).
ViewFrame ViewLayoutOf(const ExrFile& file, const std::string& view, const ChannelNames& names);

// A ToolError naming the view's channels when it has no depth channel.
void RequireDepth(const ViewFrame& made);

// The part that holds channel `name` of the view (0 when none does).
int PartOf(const ViewFrame& made, const std::string& name);

} // namespace deepglass
