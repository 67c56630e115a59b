#include "cryptomatte/matte_ids.h"

#include "base/tool_error.h"
#include "cryptomatte/cryptomatte_layer.h"
#include "cryptomatte/name_pattern.h"
#include "deepglass_interface.h"

namespace deepglass {

namespace {

constexpr std::size_t NAMES_SHOWN = 8;

std::string NamesText(const std::set<std::string>& names)
{
    std::string text;
    std::size_t shown = 0;
    for (const std::string& name : names) {
        if (shown++ == NAMES_SHOWN)
            return text + " and " + std::to_string(names.size() - NAMES_SHOWN) + " more";
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

// What the name of the layer holding a mode's IDs contains.
const char* RoleOf(std::int32_t mode) { return mode == MODE_MATERIAL_ID ? "material" : "object"; }

} // namespace

MattePlan PlanMatte(const ExrFile& layout, const std::vector<ViewChannel>& channels,
                    const std::string& exrPath, const MatteRequest& request, std::int32_t mode)
{
    const std::vector<CryptomatteLayer> layers = CryptomatteLayersOf(layout, channels);
    const CryptomatteLayer& layer = ChooseCryptomatte(layers, request.layer, RoleOf(mode));
    MattePlan plan;
    plan.mode = mode;
    for (const ViewChannel& channel : channels)
        if (channel.name == layer.idChannel) plan.idChannel = channel;
    plan.selection = SelectNames(ManifestOf(layer, exrPath), request.patterns, layer.name);
    return plan;
}

std::string MatteSourceText(const MattePlan& plan)
{
    return "Cryptomatte " + plan.idChannel.name + " (" + NamesText(plan.selection.names) + ")";
}

MatteChannel MatteChannelOf(const MattePlan& plan, const FrameChannel& rankZero, std::uint16_t id)
{
    MatteChannel matte;
    matte.ids = MatteIdChannel(rankZero, plan.selection.ids, id, matte.selected);
    matte.warnings = MatteWarnings(plan, matte.selected);
    return matte;
}

std::vector<std::string> MatteWarnings(const MattePlan& plan, std::size_t selected)
{
    std::vector<std::string> warnings = plan.selection.warnings;
    if (selected == 0)
        warnings.push_back("no pixel of the frame has " + NamesText(plan.selection.names) +
                           " as its rank-0 ID in " + plan.idChannel.name +
                           ": the filter leaves the frame unchanged");
    return warnings;
}

} // namespace deepglass
