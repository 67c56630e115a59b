// The grey scale a frame is handed to the filter with. The filter maps each frame from its own
// nearest to its own farthest depth magnitude (those below the depth limit). To give it another
// scale the tool changes only the frame it hands over, as a host may: every depth taking part is
// clamped into the scale, keeping its sign, and rows below the frame hold the scale's two ends,
// so that the filter's own range is exactly the scale; those rows are left out of every output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace deepglass {

// How the filter's greys stand for depths between a scale's two ends: linear in depth, or linear in
// 1/depth (inverse depth, disparity); near white either way.
enum class DepthCurve { LINEAR, INVERSE };

struct DepthScale {
    float nearest = 0.0f; // magnitudes
    float farthest = 0.0f;
    bool operator==(const DepthScale&) const = default;
};

// The rows below a frame `width` pixels wide that hold a scale's two ends.
int ScaleRows(int width);

// The nearest and farthest magnitude taking part among `depth`; none when no depth does.
std::optional<DepthScale> ScaleOf(std::span<const float> depth);
// Two scales as one that holds both.
DepthScale Widened(const DepthScale& a, const DepthScale& b);

// The one scale of a shot: its frames' own scales (none for a frame where no depth takes part)
// widened into one, and how many frames took part; no scale when none did. With a clip, the ends
// it gives over the shot too, which are then the scale's ends.
struct ShotRange {
    std::optional<DepthScale> scale;
    std::size_t frames = 0;
    std::optional<DepthScale> clipped;
    std::optional<DepthScale> Ends() const { return clipped ? clipped : scale; }
};
ShotRange ShotRangeOf(const std::vector<std::optional<DepthScale>>& frameScales);

// Whether the curve can map depths on `scale`: the inverse curve needs a nearest magnitude above 0.
bool CurveTakes(DepthCurve curve, const DepthScale& scale);

// Fixes the filter's scale and curve: the frame's `depth` (its first `framePixels` values) clamped
// into `scale`, and the rest of the array, the rows below the frame, holding its two ends; none:
// no depth takes part, and the rows hold nothing rendered. The filter maps linearly, so for the
// inverse curve each magnitude a is handed over as t = (1/near - 1/a) / (1/near - 1/far), worked
// out in double precision as (a - near) far / (a (far - near)), with the ends planted at 0 and 1:
// the filter's 1 - t is then (1/a - 1/far) / (1/near - 1/far). Signs, NaN and nothing rendered are
// kept. The curve must take the scale (CurveTakes).
void FixScale(const std::optional<DepthScale>& scale, DepthCurve curve, std::span<float> depth,
              std::size_t framePixels);

// Hands the pixels whose ID is not `id` over as "nothing rendered", so that the filter's scale is
// taken over the selected pixels alone; they are not selected, so they keep their colour. `ids`
// null: no pixel is selected.
template <typename Id>
void KeepSelected(std::span<float> depth, const Id* ids, std::uint32_t id);

} // namespace deepglass
