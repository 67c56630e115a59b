// A clipped grey scale: its ends are two percentiles of the depth magnitudes taking part rather
// than the nearest and farthest, so that a few stray pixels do not squeeze the rest of the frame
// into a few greys. The percentiles are found exactly, over one frame or over a whole shot, without
// holding the depths: a non-negative float's bit pattern orders as its value, so two sweeps of
// counts by 16 bits of the pattern (the upper half of every magnitude, then the lower half of those
// in the two buckets the ends fell in) pin each end to one float.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "depth/depth_scale.h"

namespace deepglass {

// --clip LOW:HIGH, in per cent: 0 <= low < high <= 100.
struct DepthClip {
    double low = 0.0;
    double high = 100.0;
    bool operator==(const DepthClip&) const = default;
    std::string Text() const; // "LOW:HIGH"
};

// The rank, from 0, of the magnitude at `percent` among `count` in rising order: the nearest whole
// number to percent / 100 x (count - 1), so that 0 is the nearest and 100 the farthest.
std::uint64_t PercentileRank(double percent, std::uint64_t count);

// The two ends of a clip over depths handed over in sweeps, in parallel when there are several
// tallies (one a thread, each counted into by one thread at a time).
class PercentileSweeps {
public:
    explicit PercentileSweeps(const DepthClip& clip, std::size_t tallies = 1);

    // Counts the magnitudes of `depth` taking part (below the depth limit) into a tally; nothing
    // once the last sweep has ended.
    void Count(std::span<const float> depth, std::size_t tally = 0);
    // Ends the sweep; true when the same depths are to be counted again in another.
    bool EndSweep();
    // The ends, once the last sweep has ended; none when no depth took part.
    std::optional<DepthScale> Ends() const { return ends; }

private:
    using Counts = std::vector<std::uint64_t>; // one a value of 16 bits
    struct End {
        std::uint64_t rank = 0;  // among the magnitudes in `upper`, in the second sweep
        std::uint32_t upper = 0; // the upper 16 bits of its pattern, found by the first sweep
    };

    DepthClip clip;
    int sweep = 0;
    std::vector<Counts> tallies; // first sweep: by upper bits; second: by lower bits, two a tally
    std::array<End, 2> nearAndFar{};
    std::optional<DepthScale> ends;
};

// The clip's ends over one frame's depths; none when no depth takes part.
std::optional<DepthScale> ClippedScaleOf(std::span<const float> depth, const DepthClip& clip);

} // namespace deepglass
