#include "frame/channel_discovery.h"

#include <algorithm>
#include <set>

#include "base/list_text.h"
#include "base/tool_error.h"
#include "base/utf8_text.h"

namespace deepglass {

namespace {

// One layer's names for each role; `depths` in order of preference when looked for by name.
struct LayerNames {
    std::array<std::string, 4> colour;
    std::vector<std::string> depths;
    std::string material;
    std::string object;
};

constexpr const char* MULTILAYER_COLOUR[] = {".Combined.R", ".Combined.G", ".Combined.B", ".Combined.A"};
constexpr const char* MULTILAYER_DEPTH = ".Depth.Z";
constexpr const char* MULTILAYER_MATERIAL = ".IndexMA.X";
constexpr const char* MULTILAYER_OBJECT = ".IndexOB.X";

LayerNames NamesOf(const std::string& layer)
{
    if (layer.empty()) return {{"R", "G", "B", "A"}, {"Z", "depth.Z"}, "materialID", "objectID"};
    LayerNames names;
    for (int c = 0; c < 4; ++c) names.colour[c] = layer + MULTILAYER_COLOUR[c];
    names.depths = {layer + MULTILAYER_DEPTH};
    names.material = layer + MULTILAYER_MATERIAL;
    names.object = layer + MULTILAYER_OBJECT;
    return names;
}

// Luminance and the two chroma channels, as OpenEXR's RGBA interface stores colour in its
// luminance-chroma mode.
const char* const LUMINANCE[3] = {"Y", "RY", "BY"};

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() > end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The multilayer render layer a channel name belongs to, if it is one of its role channels.
std::optional<std::string> MultilayerOf(const std::string& name)
{
    std::vector<std::string> ends(std::begin(MULTILAYER_COLOUR), std::end(MULTILAYER_COLOUR));
    ends.insert(ends.end(), {MULTILAYER_DEPTH, MULTILAYER_MATERIAL, MULTILAYER_OBJECT});
    for (const std::string& end : ends)
        if (EndsWith(name, end)) return name.substr(0, name.size() - end.size());
    return std::nullopt;
}

std::string LayerText(const std::string& layer) { return layer.empty() ? "\"\" (plain channels)" : layer; }

} // namespace

std::array<std::string, 4> ChannelChoice::PresentColour() const
{
    std::array<std::string, 4> names;
    for (int c = 0; c < 4; ++c)
        if (hasColour[c]) names[c] = colour[c];
    return names;
}

std::string ChannelChoice::Text() const
{
    std::vector<std::string> present;
    for (const std::string& name : PresentColour())
        if (!name.empty()) present.push_back(NameText(name));
    auto role = [](bool has, const std::string& name) {
        return has ? NameText(name) : "none (no " + NameText(name) + ")";
    };
    return "colour " + (present.empty() ? std::string("none") : ListText(present)) +
           (lumaChroma ? " (luminance-chroma)" : "") + "; depth " + role(hasDepth, depth) +
           "; material-effects ID " + role(hasMaterial, material) + "; object ID " + role(hasObject, object);
}

ChannelChoice ChooseChannels(const std::vector<ViewChannel>& channels, const ChannelNames& asked)
{
    std::set<std::string> present;
    std::vector<std::string> layers;
    auto addLayer = [&](const std::string& layer) {
        if (std::find(layers.begin(), layers.end(), layer) == layers.end()) layers.push_back(layer);
    };
    const LayerNames plain = NamesOf("");
    for (const ViewChannel& channel : channels) {
        present.insert(channel.name);
        if (const std::optional<std::string> layer = MultilayerOf(channel.name)) addLayer(*layer);
        const bool plainName = std::count(plain.colour.begin(), plain.colour.end(), channel.name) > 0 ||
                               std::count(plain.depths.begin(), plain.depths.end(), channel.name) > 0 ||
                               channel.name == plain.material || channel.name == plain.object;
        if (plainName) addLayer("");
    }
    std::sort(layers.begin(), layers.end());
    if (asked.layer && std::find(layers.begin(), layers.end(), *asked.layer) == layers.end()) {
        std::vector<std::string> texts;
        for (const std::string& layer : layers) texts.push_back(LayerText(layer));
        throw ToolError("no layer " + LayerText(*asked.layer) +
                        (texts.empty() ? std::string(" (the view has no layer of known names)")
                                       : " (the view has " + ListText(texts) + ")"));
    }

    ChannelChoice choice;
    choice.layer = asked.layer.value_or("");
    if (!asked.depth.empty()) {
        choice.depth = asked.depth;
        if (!asked.layer) choice.layer = MultilayerOf(asked.depth).value_or("");
    } else {
        std::vector<std::string> candidates;
        for (const std::string& layer : layers) {
            if (asked.layer && layer != *asked.layer) continue;
            for (const std::string& name : NamesOf(layer).depths)
                if (present.count(name) != 0) candidates.push_back(name);
        }
        if (candidates.size() > 1)
            throw ToolError("several depth channels: " + ListText(candidates) +
                            "; pick a render layer with --layer or a channel with --depth");
        if (candidates.size() == 1 && !asked.layer) choice.layer = MultilayerOf(candidates[0]).value_or("");
        choice.depth = candidates.empty() ? NamesOf(choice.layer).depths.front() : candidates[0];
    }
    const LayerNames names = NamesOf(choice.layer);
    choice.colour = names.colour;
    for (int c = 0; c < 4; ++c) choice.hasColour[c] = present.count(names.colour[c]) != 0;
    const bool rgb = choice.hasColour[0] || choice.hasColour[1] || choice.hasColour[2];
    if (choice.layer.empty() && !rgb && present.count(LUMINANCE[0]) != 0) {
        choice.lumaChroma = true;
        for (int c = 0; c < 3; ++c) {
            choice.colour[c] = LUMINANCE[c];
            choice.hasColour[c] = present.count(LUMINANCE[c]) != 0;
        }
    }
    choice.material = asked.material.empty() ? names.material : asked.material;
    choice.object = asked.object.empty() ? names.object : asked.object;
    choice.hasDepth = present.count(choice.depth) != 0;
    choice.hasMaterial = present.count(choice.material) != 0;
    choice.hasObject = present.count(choice.object) != 0;
    return choice;
}

} // namespace deepglass
