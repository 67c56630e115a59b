#include "scene/sample_cryptomatte.h"

#include <ImfHeader.h>
#include <ImfStringAttribute.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <bit>
#include <string>
#include <vector>

#include "cryptomatte/name_hash.h"

namespace deepglass {

namespace {

const std::vector<std::string> OBJECT_NAMES = {"floor", "sphere.large", "box", "sphere.small"};
const std::vector<std::string> MATERIAL_NAMES = {"floor_tiles", "glass", "wood"};

// Layer `layer` from the ID channel `ids`, whose ID n stands for names[n - 1] (0: nothing).
void AddLayer(ExrFrame& frame, Imf::Header& header, const std::string& layer, const std::string& ids,
              const std::vector<std::string>& names)
{
    std::vector<std::uint32_t> rankZero = frame.Find(ids)->samples;
    std::vector<std::uint32_t> coverage(rankZero.size(), 0);
    for (std::size_t i = 0; i < rankZero.size(); ++i) {
        if (rankZero[i] == 0 || rankZero[i] > names.size()) continue;
        rankZero[i] = IdBitsOfName(names[rankZero[i] - 1]);
        coverage[i] = std::bit_cast<std::uint32_t>(1.0f);
    }
    const std::vector<std::uint32_t> empty(rankZero.size(), 0);
    frame.channels.push_back({layer + "00.R", SampleType::FLOAT, std::move(rankZero)});
    frame.channels.push_back({layer + "00.G", SampleType::FLOAT, std::move(coverage)});
    frame.channels.push_back({layer + "00.B", SampleType::FLOAT, empty});
    frame.channels.push_back({layer + "00.A", SampleType::FLOAT, empty});

    nlohmann::json manifest = nlohmann::json::object();
    for (const std::string& name : names) manifest[name] = IdHex(IdBitsOfName(name));
    // The key names the layer's attributes: the first 7 hex digits of its name's ID.
    const std::string prefix = "cryptomatte/" + IdHex(IdBitsOfName(layer)).substr(0, 7) + "/";
    header.insert(prefix + "name", Imf::StringAttribute(layer));
    header.insert(prefix + "hash", Imf::StringAttribute("MurmurHash3_32"));
    header.insert(prefix + "conversion", Imf::StringAttribute("uint32_to_float32"));
    header.insert(prefix + "manifest", Imf::StringAttribute(manifest.dump()));
}

} // namespace

void AddSampleCryptomatte(ExrFrame& frame)
{
    auto header = std::make_shared<Imf::Header>();
    if (frame.header) *header = *frame.header;
    header->compression() = Imf::ZIP_COMPRESSION;
    AddLayer(frame, *header, "CryptoObject", "objectID", OBJECT_NAMES);
    AddLayer(frame, *header, "CryptoMaterial", "materialID", MATERIAL_NAMES);
    std::sort(frame.channels.begin(), frame.channels.end(),
              [](const FrameChannel& a, const FrameChannel& b) { return a.name < b.name; });
    frame.header = std::move(header);
}

} // namespace deepglass
