// What the tool knows of the filter's stored configuration record: four little-endian 32-bit
// words (tag, mode, object ID, material-effects ID). The tool never makes a record from nothing:
// it takes the filter's own record and changes the words it needs, so the tag is the module's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "deepglass_interface.h"

struct FilterSettings {
    std::uint32_t tag = 0;
    std::int32_t mode = 0;
    std::int32_t objectId = 0;
    std::int32_t materialId = 0;
};

// `record` holds at least CONFIG_RECORD_SIZE bytes.
FilterSettings SettingsOf(const std::vector<unsigned char>& record);
void PutRecordWord(std::vector<unsigned char>& record, std::size_t offset, std::uint32_t value);
// "whole", "material" or "object"; another value is named by its number.
std::string ModeName(std::int32_t mode);
