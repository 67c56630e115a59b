// The filter's stored configuration record as the tool reads and changes it: four little-endian
// 32-bit words (tag, mode, object ID, material-effects ID). Another filter may keep a shorter or
// longer record; the tool reads and writes its words all the same.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace deepglass {

struct FilterSettings {
    std::uint32_t tag = 0;
    std::int32_t mode = 0;
    std::uint32_t objectId = 0;
    std::uint32_t materialId = 0;

    // The ID the mode selects pixels by (the filter compares it with the mode's ID channel).
    std::uint32_t SelectionId() const;
};

// The ID channel `mode` selects pixels by: CHANNEL_MATERIAL_ID in the material-effects mode,
// CHANNEL_OBJECT_ID in the object mode, 0 in a mode that selects none.
std::uint32_t SelectionChannelOf(std::int32_t mode);

// `record` at least as long as the words the tool reads, missing bytes 0.
std::vector<unsigned char> PaddedRecord(std::vector<unsigned char> record);

FilterSettings SettingsOf(const std::vector<unsigned char>& record);

// `record` (padded) with its mode word set, and the ID word of that mode when `id` is given.
std::vector<unsigned char> RecordWith(std::vector<unsigned char> record, std::int32_t mode,
                                      std::optional<int> id);

} // namespace deepglass
