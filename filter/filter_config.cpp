#include "filter_config.h"

#include "bitmap.h"

namespace {

void StoreWord(std::uint32_t value, unsigned char* bytes)
{
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t LoadWord(const unsigned char* bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    return value;
}

}  // namespace

void WriteConfig(const FilterConfig& config, unsigned char* bytes)
{
    StoreWord(config.tag, bytes);
    StoreWord(static_cast<std::uint32_t>(config.mode), bytes + 4);
    StoreWord(static_cast<std::uint32_t>(config.objectId), bytes + 8);
    StoreWord(static_cast<std::uint32_t>(config.materialId), bytes + 12);
}

FilterConfig ReadConfig(const unsigned char* bytes)
{
    FilterConfig config;
    config.tag = LoadWord(bytes);
    config.mode = static_cast<std::int32_t>(LoadWord(bytes + 4));
    config.objectId = static_cast<std::int32_t>(LoadWord(bytes + 8));
    config.materialId = static_cast<std::int32_t>(LoadWord(bytes + 12));
    return config;
}

std::uint32_t ChannelsForMode(std::int32_t mode)
{
    switch (mode) {
    case MODE_MATERIAL_ID: return CHANNEL_DEPTH | CHANNEL_MATERIAL_ID;
    case MODE_OBJECT_ID: return CHANNEL_DEPTH | CHANNEL_OBJECT_ID;
    default: return CHANNEL_DEPTH;
    }
}
