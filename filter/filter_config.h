// A filter's settings and their stored form: four little-endian 32-bit words, 16 bytes, which the
// host keeps with its own data and hands back. The layout is what every saved record relies on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "deepglass_interface.h"

struct FilterConfig {
    std::uint32_t tag = versionWord;
    std::int32_t mode = MODE_WHOLE_IMAGE;
    std::int32_t objectId = 1; // object ID first, although the dialog lists material effects first
    std::int32_t materialId = 1;
};

static_assert(sizeof(FilterConfig) == CONFIG_RECORD_SIZE);
static_assert(offsetof(FilterConfig, tag) == CONFIG_TAG_OFFSET);
static_assert(offsetof(FilterConfig, mode) == CONFIG_MODE_OFFSET);
static_assert(offsetof(FilterConfig, objectId) == CONFIG_OBJECT_ID_OFFSET);
static_assert(offsetof(FilterConfig, materialId) == CONFIG_MATERIAL_ID_OFFSET);

// The stored bytes of a record, and back. ReadConfig does not look at the tag.
void WriteConfig(const FilterConfig& config, unsigned char* bytes);
FilterConfig ReadConfig(const unsigned char* bytes);

// The auxiliary channels the host must render for a mode.
std::uint32_t ChannelsForMode(std::int32_t mode);
