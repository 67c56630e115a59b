// A filter's settings and their stored form: four little-endian 32-bit words, 16 bytes, which the
// host keeps with its own data and hands back. The layout is what every saved record relies on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "identity.h"
#include "resource_ids.h"

// The mode values are the ids of the control dialog's radio buttons.
constexpr std::int32_t MODE_WHOLE_IMAGE = IDC_WHOLE_IMAGE;
constexpr std::int32_t MODE_MATERIAL_ID = IDC_MTL_CHANNEL;
constexpr std::int32_t MODE_OBJECT_ID = IDC_OBJ_CHANNEL;

struct FilterConfig {
    std::uint32_t tag = versionWord;
    std::int32_t mode = MODE_WHOLE_IMAGE;
    std::int32_t objectId = 1;  // object ID first, although the dialog lists material effects first
    std::int32_t materialId = 1;
};

constexpr std::size_t FILTER_CONFIG_SIZE = 16;
static_assert(sizeof(FilterConfig) == FILTER_CONFIG_SIZE);
static_assert(offsetof(FilterConfig, tag) == 0);
static_assert(offsetof(FilterConfig, mode) == 4);
static_assert(offsetof(FilterConfig, objectId) == 8);
static_assert(offsetof(FilterConfig, materialId) == 12);

// The stored bytes of a record, and back. ReadConfig does not look at the tag.
void WriteConfig(const FilterConfig& config, unsigned char* bytes);
FilterConfig ReadConfig(const unsigned char* bytes);

// The auxiliary channels the host must render for a mode.
std::uint32_t ChannelsForMode(std::int32_t mode);
