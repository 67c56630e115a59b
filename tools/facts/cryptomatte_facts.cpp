#include "facts/cryptomatte_facts.h"

#include <algorithm>
#include <map>
#include <optional>

#include "base/tool_error.h"
#include "cryptomatte/cryptomatte_layer.h"
#include "cryptomatte/matte_selection.h"
#include "cryptomatte/name_hash.h"

namespace deepglass {

namespace {

constexpr std::size_t NAMES_SHOWN = 40;
constexpr std::uint32_t NO_ID = 0; // what a pixel that no object covers stores

// Control characters of a name shown as \xNN, so that a name cannot drive the terminal.
std::string Shown(const std::string& name)
{
    std::string text;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        } else {
            text += static_cast<char>(c);
        }
    }
    return text;
}

struct Row {
    std::string label;
    std::size_t pixels = 0;
};

void PrintLayer(const ExrFile& file, const ViewFrame& made, const std::string& path,
                const CryptomatteLayer& layer, std::FILE* out)
{
    std::string heading = Shown(layer.name);
    if (layer.idChannel.empty()) {
        std::fprintf(out, "  %-14s %s: no channel %s00.R in this view\n", "cryptomatte:", heading.c_str(),
                     heading.c_str());
        return;
    }
    std::optional<Manifest> manifest;
    std::string problem;
    try {
        manifest = ManifestOf(layer, path);
    } catch (const ToolError& error) {
        problem = error.what();
    }
    std::map<std::uint32_t, std::size_t> counts;
    try {
        counts = RankZeroCounts(
            GatherFrame(file, made.channels, {layer.idChannel}, made.choice.depth).channels.at(0));
    } catch (const ToolError& error) {
        std::fprintf(out, "  %-14s %s: %s\n", "cryptomatte:", heading.c_str(), error.what());
        return;
    }
    heading += " (" + layer.idChannel + ", " +
               (manifest ? std::to_string(manifest->entries.size()) + " names" : std::string("no manifest")) +
               ")";
    std::fprintf(out, "  %-14s %s\n", "cryptomatte:", heading.c_str());
    if (!problem.empty()) std::fprintf(out, "    %s\n", problem.c_str());

    std::vector<Row> rows;
    const std::size_t empty = counts.count(NO_ID) != 0 ? counts[NO_ID] : 0;
    counts.erase(NO_ID);
    if (manifest)
        for (const ManifestEntry& entry : manifest->entries) {
            const auto found = counts.find(entry.id);
            rows.push_back({Shown(entry.name), found == counts.end() ? 0 : found->second});
            if (found != counts.end()) counts.erase(found);
        }
    for (const auto& [id, pixels] : counts)
        rows.push_back({"id " + IdHex(id) + (manifest ? " (not in the manifest)" : ""), pixels});
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row& a, const Row& b) { return a.pixels > b.pixels; });
    for (std::size_t i = 0; i < rows.size() && i < NAMES_SHOWN; ++i)
        std::fprintf(out, "    %9zu px  %s\n", rows[i].pixels, rows[i].label.c_str());
    if (rows.size() > NAMES_SHOWN) {
        std::size_t rest = 0;
        for (std::size_t i = NAMES_SHOWN; i < rows.size(); ++i) rest += rows[i].pixels;
        std::fprintf(out, "    %9zu px  in %zu more names and IDs\n", rest, rows.size() - NAMES_SHOWN);
    }
    if (empty > 0) std::fprintf(out, "    %9zu px  no ID\n", empty);
}

} // namespace

void PrintCryptomattes(const ExrFile& file, const ViewFrame& made, const std::string& path, std::FILE* out)
{
    for (const CryptomatteLayer& layer : CryptomatteLayersOf(file, made.channels))
        PrintLayer(file, made, path, layer, out);
}

} // namespace deepglass
