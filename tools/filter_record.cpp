#include "filter_record.h"

namespace {

std::uint32_t RecordWord(const std::vector<unsigned char>& record, std::size_t offset)
{
    return std::uint32_t{record[offset]} | std::uint32_t{record[offset + 1]} << 8 |
           std::uint32_t{record[offset + 2]} << 16 | std::uint32_t{record[offset + 3]} << 24;
}

} // namespace

FilterSettings SettingsOf(const std::vector<unsigned char>& record)
{
    return {RecordWord(record, RECORD_TAG_OFFSET),
            static_cast<std::int32_t>(RecordWord(record, RECORD_MODE_OFFSET)),
            static_cast<std::int32_t>(RecordWord(record, RECORD_OBJECT_ID_OFFSET)),
            static_cast<std::int32_t>(RecordWord(record, RECORD_MATERIAL_ID_OFFSET))};
}

void PutRecordWord(std::vector<unsigned char>& record, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        record[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

std::string ModeName(std::int32_t mode)
{
    switch (mode) {
    case MODE_WHOLE: return "whole";
    case MODE_MATERIAL: return "material";
    case MODE_OBJECT: return "object";
    default: return "unknown mode " + std::to_string(mode);
    }
}
