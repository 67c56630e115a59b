#include "image/deep_flatten.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <map>

#include "base/exr_read_failure.h"

namespace deepglass {

namespace {

const std::uint32_t NO_SURFACE_DEPTH = std::bit_cast<std::uint32_t>(std::numeric_limits<float>::infinity());

std::string LayerOf(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(0, dot + 1);
}

std::string BaseOf(const std::string& name) { return name.substr(LayerOf(name).size()); }

float FloatOf(std::uint32_t bits) { return std::bit_cast<float>(bits); }

// Depth order with every NaN after every number, so that the order is a strict weak one whatever
// the file holds.
bool Before(float a, float b)
{
    if (std::isnan(a) || std::isnan(b)) return !std::isnan(a) && std::isnan(b);
    return a < b;
}

bool Same(float a, float b) { return !Before(a, b) && !Before(b, a); }

} // namespace

DeepPlan::DeepPlan(const std::vector<FrameChannel>& channels)
{
    std::map<std::string, int> index;
    for (std::size_t i = 0; i < channels.size(); ++i) index[channels[i].name] = static_cast<int>(i);
    auto find = [&](const std::string& layer, const char* base) {
        const auto own = index.find(layer + base);
        if (own != index.end()) return own->second;
        const auto part = index.find(base);
        return part != index.end() ? part->second : -1;
    };
    auto refuseUint = [&](int channel, const char* what) {
        if (channel >= 0 && channels[channel].type == SampleType::UINT)
            throw ExrReadFailure("the deep " + std::string(what) + " channel " + channels[channel].name +
                                 " holds UINT samples");
    };
    std::map<std::string, int> layerIndex;
    for (const FrameChannel& channel : channels) {
        const std::string layer = LayerOf(channel.name);
        auto known = layerIndex.find(layer);
        if (known == layerIndex.end()) {
            Layer made;
            made.depth = find(layer, "Z");
            if (made.depth < 0)
                throw ExrReadFailure("deep channel " + channel.name +
                                     " has no Z channel to order its samples by");
            // ZBack only where it belongs to the same depth.
            made.back = find(LayerOf(channels[made.depth].name), "ZBack");
            made.alpha = find(layer, "A");
            refuseUint(made.depth, "depth");
            refuseUint(made.back, "depth");
            refuseUint(made.alpha, "alpha");
            known = layerIndex.emplace(layer, static_cast<int>(layers.size())).first;
            layers.push_back(made);
        }
        const std::string base = BaseOf(channel.name);
        ChannelPlan& plan = plans.emplace_back();
        plan.layer = known->second;
        plan.uint = channel.type == SampleType::UINT;
        plan.rule = plan.uint || base == "Z" || base == "ZBack" ? Rule::NEAREST : Rule::OVER;
    }
}

std::vector<int> DeepPlan::Needed(const std::vector<int>& wanted) const
{
    std::vector<int> needed;
    for (int channel : wanted) {
        const Layer& layer = layers[plans[channel].layer];
        for (int c : {channel, layer.depth, layer.back, layer.alpha})
            if (c >= 0) needed.push_back(c);
    }
    std::sort(needed.begin(), needed.end());
    needed.erase(std::unique(needed.begin(), needed.end()), needed.end());
    return needed;
}

std::size_t DeepPlan::Order(const Layer& layer, std::size_t count, const std::uint32_t* const* samples,
                            std::vector<std::uint32_t>& order) const
{
    order.resize(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = static_cast<std::uint32_t>(i);
    const std::uint32_t* depth = samples[layer.depth];
    const std::uint32_t* back = layer.back >= 0 ? samples[layer.back] : depth;
    // Nearest first; equal depths by their back, then by their place in the pixel.
    auto before = [&](std::uint32_t a, std::uint32_t b) {
        if (!Same(FloatOf(depth[a]), FloatOf(depth[b]))) return Before(FloatOf(depth[a]), FloatOf(depth[b]));
        if (!Same(FloatOf(back[a]), FloatOf(back[b]))) return Before(FloatOf(back[a]), FloatOf(back[b]));
        return a < b;
    };
    // Renderers mostly write samples in order already.
    if (!std::is_sorted(order.begin(), order.end(), before)) std::sort(order.begin(), order.end(), before);
    if (layer.alpha < 0) return 0;
    const std::uint32_t* alpha = samples[layer.alpha];
    for (std::size_t i = 0; i < count; ++i)
        if (FloatOf(alpha[order[i]]) > 0.0f) return i;
    return count;
}

void DeepPlan::Flatten(std::size_t count, const std::uint32_t* const* samples, const std::vector<int>& wanted,
                       std::uint32_t* out, std::size_t stride, Scratch& scratch) const
{
    int ordered = -1; // the layer `scratch` holds the order of
    std::size_t nearest = 0;
    std::size_t weighted = 0; // samples that take part in the composite
    for (std::size_t k = 0; k < wanted.size(); ++k) {
        const ChannelPlan& plan = plans[wanted[k]];
        const Layer& layer = layers[plan.layer];
        if (count == 0) {
            out[k * stride] = plan.rule == Rule::NEAREST && !plan.uint ? NO_SURFACE_DEPTH : 0;
            continue;
        }
        if (ordered != plan.layer) {
            ordered = plan.layer;
            nearest = Order(layer, count, samples, scratch.order);
            // Front to back, each sample weighted by what the ones before it left uncovered,
            // until alpha reaches 1; in float, as OpenEXR's compositing does, so that the results
            // agree with it bit for bit.
            scratch.weights.clear();
            float alpha = 0.0f;
            for (std::size_t i = 0; i < count && alpha < 1.0f; ++i) {
                const float weight = 1.0f - alpha;
                scratch.weights.push_back(weight);
                alpha += layer.alpha < 0 ? weight : weight * FloatOf(samples[layer.alpha][scratch.order[i]]);
            }
            weighted = scratch.weights.size();
        }
        const std::uint32_t* values = samples[wanted[k]];
        if (plan.rule == Rule::NEAREST) {
            out[k * stride] = nearest < count ? values[scratch.order[nearest]]
                              : plan.uint     ? 0
                                              : NO_SURFACE_DEPTH;
            continue;
        }
        float sum = 0.0f;
        for (std::size_t i = 0; i < weighted; ++i)
            sum += scratch.weights[i] * FloatOf(values[scratch.order[i]]);
        out[k * stride] = std::bit_cast<std::uint32_t>(sum);
    }
}

} // namespace deepglass
