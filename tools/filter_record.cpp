#include "filter_record.h"

FilterSettings SettingsOf(const std::vector<unsigned char>& record)
{
    return {ReadRecordWord(record.data(), CONFIG_TAG_OFFSET),
            static_cast<std::int32_t>(ReadRecordWord(record.data(), CONFIG_MODE_OFFSET)),
            static_cast<std::int32_t>(ReadRecordWord(record.data(), CONFIG_OBJECT_ID_OFFSET)),
            static_cast<std::int32_t>(ReadRecordWord(record.data(), CONFIG_MATERIAL_ID_OFFSET))};
}

void PutRecordWord(std::vector<unsigned char>& record, std::size_t offset, std::uint32_t value)
{
    WriteRecordWord(record.data(), offset, value);
}

std::string ModeName(std::int32_t mode)
{
    switch (mode) {
    case MODE_WHOLE_IMAGE: return "whole";
    case MODE_MATERIAL_ID: return "material";
    case MODE_OBJECT_ID: return "object";
    default: return "unknown mode " + std::to_string(mode);
    }
}
