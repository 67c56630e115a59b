#include "deepglass_filter.h"

std::uint32_t DeepglassFilter::EvaluateConfigure() { return CONFIG_RECORD_SIZE; }

int DeepglassFilter::SaveConfigure(void* buffer)
{
    if (buffer == nullptr) return 0;
    WriteConfig(config, static_cast<unsigned char*>(buffer));
    return 1;
}

int DeepglassFilter::LoadConfigure(void* record)
{
    // A null record is refused rather than read through.
    if (record == nullptr) return 0;
    const FilterConfig loaded = ReadConfig(static_cast<const unsigned char*>(record));
    if (loaded.tag != config.tag) return 0;
    // Mode and IDs are taken as stored; only the control dialog bounds them.
    config = loaded;
    return 1;
}

std::uint32_t DeepglassFilter::ChannelsRequired() { return ChannelsForMode(config.mode); }
