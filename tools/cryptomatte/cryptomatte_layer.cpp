#include "cryptomatte/cryptomatte_layer.h"

#include <ImfHeader.h>
#include <ImfStringAttribute.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>

#include "base/list_text.h"
#include "base/tool_error.h"

namespace deepglass {

namespace {

constexpr const char* ATTRIBUTE_PREFIX = "cryptomatte/";
constexpr const char* SUPPORTED_HASH = "MurmurHash3_32";
constexpr const char* SUPPORTED_CONVERSION = "uint32_to_float32";

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The rank-0 ID channel of layer `name`: NAME00 with a short or long red suffix, in any case.
std::string IdChannelOf(const std::string& name, const std::vector<ViewChannel>& channels)
{
    const std::string stem = name + "00.";
    for (const ViewChannel& channel : channels) {
        if (channel.name.size() <= stem.size() || channel.name.compare(0, stem.size(), stem) != 0) continue;
        const std::string suffix = Lower(channel.name.substr(stem.size()));
        if (suffix == "r" || suffix == "red") return channel.name;
    }
    return {};
}

std::string LayerList(const std::vector<CryptomatteLayer>& layers)
{
    if (layers.empty()) return "the frame has no Cryptomatte layer";
    std::vector<std::string> names;
    for (const CryptomatteLayer& layer : layers) names.push_back(layer.name);
    return "the frame has " + ListText(names);
}

} // namespace

std::vector<CryptomatteLayer> CryptomatteLayersOf(const ExrFile& file,
                                                  const std::vector<ViewChannel>& channels)
{
    std::map<std::string, CryptomatteLayer> byKey;
    for (const ExrPart& part : file.parts) {
        if (!part.frame.header) continue;
        std::map<std::string, CryptomatteLayer> found;
        for (auto it = part.frame.header->begin(); it != part.frame.header->end(); ++it) {
            const std::string attribute = it.name();
            const auto* text = dynamic_cast<const Imf::StringAttribute*>(&it.attribute());
            const std::size_t slash = attribute.rfind('/');
            if (text == nullptr || attribute.rfind(ATTRIBUTE_PREFIX, 0) != 0 ||
                slash < std::strlen(ATTRIBUTE_PREFIX))
                continue;
            CryptomatteLayer& layer =
                found[attribute.substr(std::strlen(ATTRIBUTE_PREFIX), slash - std::strlen(ATTRIBUTE_PREFIX))];
            const std::string field = attribute.substr(slash + 1);
            if (field == "name") layer.name = text->value();
            if (field == "hash") layer.hash = text->value();
            if (field == "conversion") layer.conversion = text->value();
            if (field == "manifest") layer.manifest = text->value();
            if (field == "manif_file") layer.manifestFile = text->value();
        }
        // Parts of one file often repeat the same attributes; the first part's description stands.
        for (auto& [key, layer] : found) byKey.emplace(key, std::move(layer));
    }
    std::vector<CryptomatteLayer> layers;
    for (auto& [key, layer] : byKey) {
        if (layer.name.empty()) continue; // no channels can be found without the layer's name
        layer.key = key;
        layer.idChannel = IdChannelOf(layer.name, channels);
        layers.push_back(std::move(layer));
    }
    std::sort(layers.begin(), layers.end(),
              [](const CryptomatteLayer& a, const CryptomatteLayer& b) { return a.name < b.name; });
    return layers;
}

const CryptomatteLayer& ChooseCryptomatte(const std::vector<CryptomatteLayer>& layers,
                                          const std::string& asked, const std::string& role)
{
    const CryptomatteLayer* chosen = nullptr;
    if (!asked.empty()) {
        for (const CryptomatteLayer& layer : layers)
            if (layer.name == asked) chosen = &layer;
        if (chosen == nullptr)
            throw ToolError("no Cryptomatte layer " + asked + " (" + LayerList(layers) + ")");
    } else {
        std::vector<CryptomatteLayer> candidates;
        for (const CryptomatteLayer& layer : layers)
            if (Lower(layer.name).find(role) != std::string::npos) {
                candidates.push_back(layer);
                chosen = &layer;
            }
        if (candidates.size() != 1)
            throw ToolError(std::string(candidates.empty() ? "no" : "several") +
                            " Cryptomatte layers named with \"" + role + "\" (" +
                            LayerList(candidates.empty() ? layers : candidates) +
                            "); pick one with --cryptomatte NAME");
    }
    if (chosen->idChannel.empty())
        throw ToolError("the Cryptomatte layer " + chosen->name + " has no channel " + chosen->name +
                        "00.R of rank-0 IDs in this view");
    return *chosen;
}

std::optional<Manifest> ManifestOf(const CryptomatteLayer& layer, const std::string& exrPath)
{
    if (!layer.hash.empty() && layer.hash != SUPPORTED_HASH)
        throw ToolError("the Cryptomatte layer " + layer.name + " names its IDs with the hash " + layer.hash +
                        "; only " + SUPPORTED_HASH + " is supported");
    if (!layer.conversion.empty() && layer.conversion != SUPPORTED_CONVERSION)
        throw ToolError("the Cryptomatte layer " + layer.name + " stores its IDs by the conversion " +
                        layer.conversion + "; only " + SUPPORTED_CONVERSION + " is supported");
    if (layer.manifest)
        return ParseManifest(*layer.manifest, "the manifest of Cryptomatte layer " + layer.name);
    if (layer.manifestFile.empty()) return std::nullopt;
    const std::filesystem::path sidecar(layer.manifestFile);
    const std::filesystem::path path =
        sidecar.is_absolute() ? sidecar : std::filesystem::path(exrPath).parent_path() / sidecar;
    return ReadManifestFile(path.lexically_normal().string());
}

} // namespace deepglass
