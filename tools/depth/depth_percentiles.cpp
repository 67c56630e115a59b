#include "depth/depth_percentiles.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "base/number_text.h"
#include "deepglass_interface.h"

namespace deepglass {

namespace {

constexpr std::size_t HALF_VALUES = std::size_t{1} << 16;

// Where `rank` falls among `counts` read in rising order: the index it falls in, and its rank
// among the values counted there. A rank beyond them all (the depths changed between two sweeps)
// falls on the last index counted.
std::pair<std::uint32_t, std::uint64_t> Locate(std::span<const std::uint64_t> counts, std::uint64_t rank)
{
    std::uint32_t last = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] == 0) continue;
        if (rank < counts[i]) return {static_cast<std::uint32_t>(i), rank};
        rank -= counts[i];
        last = static_cast<std::uint32_t>(i);
    }
    return {last, 0};
}

} // namespace

std::string DepthClip::Text() const
{
    return NumberText(static_cast<float>(low)) + ":" + NumberText(static_cast<float>(high));
}

std::uint64_t PercentileRank(double percent, std::uint64_t count)
{
    if (count == 0) return 0;
    const double place = std::floor(percent / 100.0 * static_cast<double>(count - 1) + 0.5);
    return std::min(static_cast<std::uint64_t>(std::max(place, 0.0)), count - 1);
}

PercentileSweeps::PercentileSweeps(const DepthClip& clip, std::size_t tallies)
    : clip(clip), tallies(std::max<std::size_t>(tallies, 1), Counts(HALF_VALUES, 0))
{
}

void PercentileSweeps::Count(std::span<const float> depth, std::size_t tally)
{
    // Once the sweeps are over (the first may end them, having counted nothing) nothing is
    // counted: the tallies are then sized for neither sweep.
    if (sweep == 2) return;
    Counts& counts = tallies[tally];
    for (float z : depth) {
        const float a = std::fabs(z);
        if (!(a < DEPTH_LIMIT)) continue; // NaN too
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(a);
        if (sweep == 0) {
            ++counts[bits >> 16];
            continue;
        }
        for (std::size_t end = 0; end < 2; ++end)
            if (bits >> 16 == nearAndFar[end].upper) ++counts[end * HALF_VALUES + (bits & 0xFFFFu)];
    }
}

bool PercentileSweeps::EndSweep()
{
    Counts total(tallies[0].size(), 0);
    for (const Counts& counts : tallies)
        for (std::size_t i = 0; i < counts.size(); ++i) total[i] += counts[i];
    if (sweep == 0) {
        std::uint64_t count = 0;
        for (std::uint64_t n : total) count += n;
        sweep = 2;
        if (count == 0) return false;
        const double percents[2] = {clip.low, clip.high};
        for (std::size_t end = 0; end < 2; ++end) {
            const auto [upper, rank] = Locate(total, PercentileRank(percents[end], count));
            nearAndFar[end] = {rank, upper};
        }
        for (Counts& counts : tallies) counts.assign(2 * HALF_VALUES, 0);
        sweep = 1;
        return true;
    }
    if (sweep == 1) {
        float found[2];
        for (std::size_t end = 0; end < 2; ++end) {
            const std::span<const std::uint64_t> lower(total.data() + end * HALF_VALUES, HALF_VALUES);
            const std::uint32_t bits =
                nearAndFar[end].upper << 16 | Locate(lower, nearAndFar[end].rank).first;
            found[end] = std::bit_cast<float>(bits);
        }
        ends = DepthScale{found[0], found[1]};
        sweep = 2;
    }
    return false;
}

std::optional<DepthScale> ClippedScaleOf(std::span<const float> depth, const DepthClip& clip)
{
    PercentileSweeps sweeps(clip);
    do sweeps.Count(depth);
    while (sweeps.EndSweep());
    return sweeps.Ends();
}

} // namespace deepglass
