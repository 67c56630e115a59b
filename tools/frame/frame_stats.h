// What `info` and the background hint tell about a frame's depth: which magnitudes take part in
// the filter's depth range (those below 1e20) and how the pixels at its two ends look.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "bitmap.h"
#include "depth/depth_scale.h"
#include "frame/background.h"
#include "image/frame_channel.h"

namespace deepglass {

struct DepthStats {
    std::size_t pixels = 0;
    std::size_t takingPart = 0; // magnitude below the depth limit
    std::size_t background = 0; // magnitude at or above it
    std::size_t notANumber = 0;
    float minMagnitude = 0.0f; // of the pixels taking part
    float maxMagnitude = 0.0f;
    float nearestDepth = 0.0f; // a stored depth at the smallest magnitude
    float farthestDepth = 0.0f;
    std::size_t nearestTransparent = 0; // pixels at that magnitude with alpha 0
    std::size_t farthestTransparent = 0;
};

// The stats of a frame taken a strip of rows at a time, in order, the same as of the frame whole.
struct DepthStatsSweep {
    DepthStats stats;
    void Take(std::span<const float> depth, std::span<const BMM_Color_64> colour);
};

DepthStats DepthStatsOf(std::span<const float> depth, std::span<const BMM_Color_64> colour);
// The scale the filter takes a frame of these depths by: from the nearest to the farthest
// magnitude taking part; none when none does.
std::optional<DepthScale> OwnScaleOf(const DepthStats& stats);

// A hint to show when a frame's empty background looks as if it were stored as the nearest or
// farthest depth (a large share of the frame there, all with alpha 0); empty otherwise.
std::string BackgroundHint(const DepthStats& stats);

// The IDs a channel holds and how many pixels hold each; samples that are no whole number from 0
// to 2^32-1 are only counted.
struct IdCounts {
    std::vector<std::pair<std::uint32_t, std::size_t>> counts; // each ID present and its pixels, rising
    std::size_t notWhole = 0;
};

IdCounts IdCountsOf(const FrameChannel& channel);
// "1 (1200 px), 2 (80 px), ..." with at most `shown` IDs listed.
std::string IdCountsText(const IdCounts& ids, std::size_t shown);

} // namespace deepglass
