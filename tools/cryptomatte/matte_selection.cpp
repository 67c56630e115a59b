#include "cryptomatte/matte_selection.h"

#include "base/list_text.h"
#include "base/tool_error.h"
#include "cryptomatte/name_hash.h"
#include "cryptomatte/name_pattern.h"

namespace deepglass {

namespace {

constexpr std::size_t CLOSEST_SHOWN = 3;

void RequireFloat(const FrameChannel& channel)
{
    if (channel.type != SampleType::FLOAT)
        throw ToolError("the Cryptomatte channel " + channel.name + " holds " + SampleTypeName(channel.type) +
                        " samples; its IDs need the 32 bits of FLOAT samples");
}

} // namespace

MatteSelection SelectNames(const std::optional<Manifest>& manifest, const std::vector<NamePattern>& patterns,
                           const std::string& layerName)
{
    MatteSelection selection;
    const std::vector<std::string> names = manifest ? manifest->Names() : std::vector<std::string>{};
    for (const NamePattern& pattern : patterns) {
        const std::string& text = pattern.Text();
        if (!manifest) {
            if (pattern.HasWildcards())
                throw ToolError(
                    "the Cryptomatte layer " + layerName + " has no manifest, so --matte " + text +
                    " has no names to match; a whole name, without * or ?, is still matched by its hash");
            selection.ids.insert(IdBitsOfName(pattern.Literal()));
            selection.names.insert(pattern.Literal());
            selection.warnings.push_back("the Cryptomatte layer " + layerName +
                                         " has no manifest: " + pattern.Literal() +
                                         " is matched by its hash, which cannot tell a misspelt name");
            continue;
        }
        bool matched = false;
        for (const ManifestEntry& entry : manifest->entries)
            if (pattern.Matches(entry.name)) {
                matched = true;
                selection.ids.insert(entry.id);
                selection.names.insert(entry.name);
            }
        if (!matched)
            throw ToolError(
                "--matte " + text + " matches no name of the Cryptomatte layer " + layerName +
                (names.empty()
                     ? std::string(" (its manifest is empty)")
                     : " (closest: " + ListText(ClosestNames(pattern, names, CLOSEST_SHOWN)) + ")"));
    }
    return selection;
}

std::vector<std::uint16_t> MatteIdChannel(const FrameChannel& rankZero, const std::set<std::uint32_t>& ids,
                                          std::uint16_t id, std::size_t& selected)
{
    RequireFloat(rankZero);
    std::vector<std::uint16_t> channel(rankZero.samples.size(), 0);
    selected = 0;
    for (std::size_t i = 0; i < channel.size(); ++i)
        if (ids.count(rankZero.samples[i]) != 0) {
            channel[i] = id;
            ++selected;
        }
    return channel;
}

std::map<std::uint32_t, std::size_t> RankZeroCounts(const FrameChannel& rankZero)
{
    RequireFloat(rankZero);
    std::map<std::uint32_t, std::size_t> counts;
    for (std::uint32_t bits : rankZero.samples) ++counts[bits];
    return counts;
}

} // namespace deepglass
