#include "filter_config.h"

#include "bitmap.h"

void WriteConfig(const FilterConfig& config, unsigned char* bytes)
{
    WriteRecordWord(bytes, CONFIG_TAG_OFFSET, config.tag);
    WriteRecordWord(bytes, CONFIG_MODE_OFFSET, static_cast<std::uint32_t>(config.mode));
    WriteRecordWord(bytes, CONFIG_OBJECT_ID_OFFSET, static_cast<std::uint32_t>(config.objectId));
    WriteRecordWord(bytes, CONFIG_MATERIAL_ID_OFFSET, static_cast<std::uint32_t>(config.materialId));
}

FilterConfig ReadConfig(const unsigned char* bytes)
{
    FilterConfig config;
    config.tag = ReadRecordWord(bytes, CONFIG_TAG_OFFSET);
    config.mode = static_cast<std::int32_t>(ReadRecordWord(bytes, CONFIG_MODE_OFFSET));
    config.objectId = static_cast<std::int32_t>(ReadRecordWord(bytes, CONFIG_OBJECT_ID_OFFSET));
    config.materialId = static_cast<std::int32_t>(ReadRecordWord(bytes, CONFIG_MATERIAL_ID_OFFSET));
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
