// A deep pixel made flat: its samples ordered front to back by depth, its colour and alpha
// composited with "over" on premultiplied values until the alpha reaches 1, its depth that of the
// nearest sample with alpha above 0 (the surface a viewer sees). A pixel with no such sample is
// "nothing rendered": its depth is infinite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/frame_channel.h"

namespace deepglass {

// How the channels of one deep part are flattened. Channels are grouped by layer (the name up to
// its last '.'; views of a single-part file are layers too): a layer's samples are ordered by its
// own Z (else the part's), then ZBack, then their place in the pixel; its alpha is its own A (else
// the part's; none: every sample is opaque). Z, ZBack and UINT channels (IDs) take the value of
// the nearest visible sample; every other channel is composited.
class DeepPlan {
public:
    // `channels` are the part's channels, names and types only. ExrReadFailure when a channel has
    // no depth to order it by, or a depth or alpha holds UINT samples.
    explicit DeepPlan(const std::vector<FrameChannel>& channels);

    // The channels (indices into the part's) to decode for `wanted`: them and the depths and
    // alphas they are ordered and composited by, in ascending order.
    std::vector<int> Needed(const std::vector<int>& wanted) const;

    // What a pixel's order and weights are worked out in; kept from pixel to pixel.
    struct Scratch {
        std::vector<std::uint32_t> order;
        std::vector<float> weights;
    };

    // Flattens one pixel of `count` samples. `samples[c]` holds the pixel's samples of the part's
    // channel c as FrameChannel holds them (UINT as it is, HALF and FLOAT as a float's bits); it
    // needs to be set only for the channels Needed(wanted) names. out[k * stride] gets channel
    // wanted[k].
    void Flatten(std::size_t count, const std::uint32_t* const* samples, const std::vector<int>& wanted,
                 std::uint32_t* out, std::size_t stride, Scratch& scratch) const;

private:
    struct Layer {
        int depth = -1;
        int back = -1;  // ZBack, or -1
        int alpha = -1; // A, or -1 for opaque samples
    };
    enum class Rule { OVER, NEAREST };
    struct ChannelPlan {
        int layer = 0;
        Rule rule = Rule::OVER;
        bool uint = false;
    };

    // Orders the pixel's samples of `layer` and answers its nearest visible sample (or count).
    std::size_t Order(const Layer& layer, std::size_t count, const std::uint32_t* const* samples,
                      std::vector<std::uint32_t>& order) const;

    std::vector<Layer> layers;
    std::vector<ChannelPlan> plans; // one a part channel
};

} // namespace deepglass
