#include "module/filter_configuration.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/tool_error.h"
#include "module/filter_record.h"
#include "module/filter_runner.h"
#include "output/atomic_output.h"
#include "shot/input_files.h"

namespace deepglass {

namespace {

std::vector<unsigned char> ReadRecordFile(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw ToolError("cannot read " + path + ": it is a folder");
    std::ifstream file(path, std::ios::binary);
    if (!file) throw ToolError("cannot read " + path + ": " + std::strerror(errno));
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string HexWord(std::uint32_t word)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", word);
    return text;
}

std::vector<std::string> LoadRecordFile(FilterRunner& runner, const std::string& path)
{
    const std::vector<unsigned char> record = ReadRecordFile(path);
    const std::size_t size = runner.RecordSize();
    if (record.size() != size)
        throw ToolError(path + ": a configuration record is " + std::to_string(size) +
                        " bytes; this file has " + std::to_string(record.size()));
    const bool loaded = runner.LoadRecord(record);
    const FilterSettings own = SettingsOf(runner.SaveRecord());
    if (!loaded)
        throw ToolError(path + ": not a Deepglass configuration record (its tag is " +
                        HexWord(SettingsOf(record).tag) + ", the filter's " + HexWord(own.tag) + ")");
    const std::int32_t mode = own.mode;
    if (mode != MODE_WHOLE_IMAGE && mode != MODE_MATERIAL_ID && mode != MODE_OBJECT_ID)
        return {path + ": the record's mode " + std::to_string(mode) +
                " is none the filter knows, so frames come back unchanged"};
    return {};
}

} // namespace

std::vector<std::string> ConfigureFilter(FilterRunner& runner, const FilterChoice& choice)
{
    if (!choice.configPath.empty()) return LoadRecordFile(runner, choice.configPath);
    const std::vector<unsigned char> record =
        RecordWith(runner.SaveRecord(), choice.mode.value_or(MODE_WHOLE_IMAGE), choice.id);
    if (!runner.LoadRecord(record)) throw ToolError("the filter refused its own configuration record");
    return {};
}

void SaveFilterRecord(FilterRunner& runner, const std::string& path, const InputFiles& inputs)
{
    const std::vector<unsigned char> record = runner.SaveRecord();
    inputs.RefuseOverwrite(path);
    AtomicOutput(path).Write([&](const std::string& temp) {
        std::ofstream file(temp, std::ios::binary);
        file.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
        file.close();
        if (!file) throw ToolError("cannot write " + temp + ": " + std::strerror(errno));
    });
}

} // namespace deepglass
