// Charts of depth ranges as PNG pictures: for a sequence, each frame's nearest and farthest depth
// (the ends of its grey scale, where flicker comes from); for one frame, how its depths spread
// between those ends.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "depth/depth_scale.h"

namespace deepglass {

struct ChartFrame {
    double x = 0.0;               // the frame number, or its place in the sequence
    std::optional<float> nearest; // none: no pixel took part in the range
    std::optional<float> farthest;
};

// A line chart of the nearest and farthest depth over the frames, with the shot's one scale drawn
// across when given. `xLabel` names the x axis.
void DrawRangeChart(const std::string& path, const std::string& title, const std::string& xLabel,
                    const std::vector<ChartFrame>& frames,
                    const std::optional<DepthScale>& shot = std::nullopt);

// A histogram of the depth magnitudes that take part in the range, the range's ends marked.
// `background` counts the pixels left out of it, shown in the legend.
void DrawDepthHistogram(const std::string& path, const std::string& title,
                        const std::vector<float>& magnitudes, std::size_t background);

} // namespace deepglass
