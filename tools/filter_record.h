// What the tool knows of the filter's stored configuration record: four little-endian 32-bit
// words (tag, mode, object ID, material-effects ID). The tool never makes a record from nothing:
// it takes the filter's own record and changes the words it needs, so the tag is the module's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t RECORD_TAG_OFFSET = 0;
constexpr std::size_t RECORD_MODE_OFFSET = 4;
constexpr std::size_t RECORD_OBJECT_ID_OFFSET = 8;
constexpr std::size_t RECORD_MATERIAL_ID_OFFSET = 12;
constexpr std::size_t RECORD_SIZE = 16;

// The filter's mode values.
constexpr std::int32_t MODE_WHOLE = 1010;
constexpr std::int32_t MODE_MATERIAL = 1011;
constexpr std::int32_t MODE_OBJECT = 1012;

// The ID bounds of the filter's control dialog, which the command line keeps as well.
constexpr int MATERIAL_ID_MIN = 1;
constexpr int MATERIAL_ID_MAX = 8;
constexpr int OBJECT_ID_MIN = 1;
constexpr int OBJECT_ID_MAX = 65535;

struct FilterSettings {
    std::uint32_t tag = 0;
    std::int32_t mode = 0;
    std::int32_t objectId = 0;
    std::int32_t materialId = 0;
};

// `record` holds at least RECORD_SIZE bytes.
FilterSettings SettingsOf(const std::vector<unsigned char>& record);
void PutRecordWord(std::vector<unsigned char>& record, std::size_t offset, std::uint32_t value);
// "whole", "material" or "object"; another value is named by its number.
std::string ModeName(std::int32_t mode);
