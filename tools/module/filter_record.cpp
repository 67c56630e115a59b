#include "module/filter_record.h"

#include <algorithm>

#include "bitmap.h"
#include "deepglass_interface.h"

namespace deepglass {

std::vector<unsigned char> PaddedRecord(std::vector<unsigned char> record)
{
    record.resize(std::max(record.size(), CONFIG_RECORD_SIZE), 0);
    return record;
}

FilterSettings SettingsOf(const std::vector<unsigned char>& record)
{
    const std::vector<unsigned char> padded = PaddedRecord(record);
    return {ReadRecordWord(padded.data(), CONFIG_TAG_OFFSET),
            static_cast<std::int32_t>(ReadRecordWord(padded.data(), CONFIG_MODE_OFFSET)),
            ReadRecordWord(padded.data(), CONFIG_OBJECT_ID_OFFSET),
            ReadRecordWord(padded.data(), CONFIG_MATERIAL_ID_OFFSET)};
}

std::uint32_t FilterSettings::SelectionId() const { return mode == MODE_MATERIAL_ID ? materialId : objectId; }

std::uint32_t SelectionChannelOf(std::int32_t mode)
{
    switch (mode) {
    case MODE_MATERIAL_ID: return CHANNEL_MATERIAL_ID;
    case MODE_OBJECT_ID: return CHANNEL_OBJECT_ID;
    default: return 0;
    }
}

std::vector<unsigned char> RecordWith(std::vector<unsigned char> record, std::int32_t mode,
                                      std::optional<int> id)
{
    record = PaddedRecord(std::move(record));
    WriteRecordWord(record.data(), CONFIG_MODE_OFFSET, static_cast<std::uint32_t>(mode));
    if (id) {
        const std::size_t offset =
            mode == MODE_MATERIAL_ID ? CONFIG_MATERIAL_ID_OFFSET : CONFIG_OBJECT_ID_OFFSET;
        WriteRecordWord(record.data(), offset, static_cast<std::uint32_t>(*id));
    }
    return record;
}

} // namespace deepglass
