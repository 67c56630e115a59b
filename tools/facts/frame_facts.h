// What `info` tells about one view of a file: its size and windows, channels, the channels the
// filter would take, the depth range it would use (and the ends --clip gives), the background share and the
// IDs present.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "depth/depth_percentiles.h"
#include "exr/exr_file.h"
#include "frame/frame_stats.h"
#include "frame/storage_frame.h"
#include "frame/view_frame.h"
#include "settings/run_settings.h"

namespace deepglass {

struct FrameFacts {
    bool hasDepth = false;
    DepthStats stats;
    std::optional<DepthScale> clipped; // with --clip: the ends it gives; none: no depth takes part
    std::size_t transparent = 0;
    std::size_t taken = 0;               // pixels the background rule took
    std::vector<float> depth;            // as handed to the filter, for a chart
    std::optional<IdCounts> materialIds; // none: the view has no such channel
    std::optional<IdCounts> objectIds;
    std::optional<DeepCounts> deep; // the samples of the deep parts the view's channels are in
    std::string problem;            // what keeps the filter from taking the view; empty: nothing
};

// What the filter would be handed of the view, counted. `buffers` holds the frame's memory.
FrameFacts FactsOf(const ExrFile& file, const ViewFrame& made, const InfoOptions& options,
                   FrameBuffers& buffers);

// The file's views and parts with their channels, when it has more than one of either.
void PrintLayout(const ExrFile& file, std::FILE* out);
// Everything about one view, a field a line.
void PrintDetail(const std::string& path, const ViewFrame& made, const FrameFacts& facts,
                 const InfoOptions& options, std::FILE* out);
// One line: size, depth range (and the ends --clip gives), background and alpha shares, IDs.
void PrintLine(const std::string& label, const ViewFrame& made, const FrameFacts& facts,
               const InfoOptions& options, std::FILE* out);

} // namespace deepglass
