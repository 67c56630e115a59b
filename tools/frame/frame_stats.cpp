#include "frame/frame_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/number_text.h"
#include "depth/filter_range.h"

namespace deepglass {

namespace {

// A share of the frame at one end of the depth range, all transparent, that is taken as empty
// background stored with a depth rather than a real surface.
constexpr double HINT_SHARE = 0.10;

std::string EndHint(const char* end, float depth, std::size_t count, std::size_t pixels, const char* effect)
{
    const std::string value = NumberText(depth == 0.0f ? 0.0f : depth); // no "-0"
    return ShareText(count, pixels) + " of the frame lies at the " + end + " depth (" + value +
           ") with alpha 0: this looks like empty background, which the filter maps to " + effect +
           ". Try --background alpha (or --background depth:" + value + ").";
}

} // namespace

void DepthStatsSweep::Take(std::span<const float> depth, std::span<const BMM_Color_64> colour)
{
    const MagnitudeEnds ends = MagnitudeEndsOf(depth);
    stats.pixels += depth.size();
    stats.notANumber += ends.notANumber;
    stats.background += depth.size() - ends.notANumber - ends.takingPart;
    if (ends.takingPart == 0) return;
    // An end the depths reach moves to them, or gains their pixels with alpha 0 where they tie.
    const bool first = stats.takingPart == 0;
    stats.takingPart += ends.takingPart;
    auto reach = [&](float end, bool moves, float& magnitude, float& stored, std::size_t& transparent) {
        if (moves) transparent = 0;
        bool found = !moves;
        for (std::size_t i = 0; i < depth.size(); ++i) {
            if (std::fabs(depth[i]) != end) continue;
            if (!found) stored = depth[i]; // the first depth at the new end
            found = true;
            if (colour[i].a == 0) ++transparent;
        }
        magnitude = end;
    };
    if (first || ends.nearest <= stats.minMagnitude)
        reach(ends.nearest, first || ends.nearest < stats.minMagnitude, stats.minMagnitude,
              stats.nearestDepth, stats.nearestTransparent);
    if (first || ends.farthest >= stats.maxMagnitude)
        reach(ends.farthest, first || ends.farthest > stats.maxMagnitude, stats.maxMagnitude,
              stats.farthestDepth, stats.farthestTransparent);
}

DepthStats DepthStatsOf(std::span<const float> depth, std::span<const BMM_Color_64> colour)
{
    DepthStatsSweep sweep;
    sweep.Take(depth, colour);
    return sweep.stats;
}

std::optional<DepthScale> OwnScaleOf(const DepthStats& stats)
{
    if (stats.takingPart == 0) return std::nullopt;
    return DepthScale{stats.minMagnitude, stats.maxMagnitude};
}

std::string BackgroundHint(const DepthStats& stats)
{
    if (stats.takingPart == 0 || stats.minMagnitude == stats.maxMagnitude) return {};
    const double least = HINT_SHARE * static_cast<double>(stats.pixels);
    if (static_cast<double>(stats.nearestTransparent) >= least)
        return EndHint("nearest", stats.nearestDepth, stats.nearestTransparent, stats.pixels,
                       "opaque white, leaving the rest of the frame in darker greys");
    if (static_cast<double>(stats.farthestTransparent) >= least)
        return EndHint("farthest", stats.farthestDepth, stats.farthestTransparent, stats.pixels,
                       "black, leaving the rest of the frame in lighter greys");
    return {};
}

IdCounts IdCountsOf(const FrameChannel& channel)
{
    // The IDs sorted and counted in runs: memory by the pixels, however many IDs there are.
    IdCounts ids;
    std::vector<std::uint32_t> whole;
    whole.reserve(channel.samples.size());
    for (std::size_t i = 0; i < channel.samples.size(); ++i) {
        if (channel.type == SampleType::UINT) {
            whole.push_back(channel.samples[i]);
            continue;
        }
        const double value = channel.FloatAt(i);
        if (value >= 0.0 && value <= 4294967295.0 && std::trunc(value) == value)
            whole.push_back(static_cast<std::uint32_t>(value));
        else
            ++ids.notWhole;
    }
    std::sort(whole.begin(), whole.end());
    for (std::size_t i = 0; i < whole.size();) {
        const std::size_t run =
            static_cast<std::size_t>(
                std::upper_bound(whole.begin() + static_cast<std::ptrdiff_t>(i), whole.end(), whole[i]) -
                whole.begin()) -
            i;
        ids.counts.emplace_back(whole[i], run);
        i += run;
    }
    return ids;
}

std::string IdCountsText(const IdCounts& ids, std::size_t shown)
{
    std::string text;
    std::size_t listed = 0;
    for (const auto& [id, count] : ids.counts) {
        if (listed == shown) {
            text += ", and " + std::to_string(ids.counts.size() - shown) + " more";
            break;
        }
        if (!text.empty()) text += ", ";
        text += std::to_string(id) + " (" + std::to_string(count) + " px)";
        ++listed;
    }
    if (ids.notWhole > 0)
        text += (text.empty() ? "" : ", ") + std::to_string(ids.notWhole) + " px not a whole number";
    return text.empty() ? "none" : text;
}

} // namespace deepglass
