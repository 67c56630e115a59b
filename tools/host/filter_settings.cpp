#include "host/filter_settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/tool_error.h"
#include "files/atomic_output.h"
#include "host/filter_runner.h"

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
    if (!runner.LoadRecord(record))
        throw ToolError(path + ": not a Deepglass configuration record (its tag is " +
                        HexWord(SettingsOf(record).tag) + ", the filter's " + HexWord(runner.Settings().tag) +
                        ")");
    const std::int32_t mode = runner.Settings().mode;
    if (mode != MODE_WHOLE_IMAGE && mode != MODE_MATERIAL_ID && mode != MODE_OBJECT_ID)
        return {path + ": the record's mode " + std::to_string(mode) +
                " is none the filter knows, so frames come back unchanged"};
    return {};
}

} // namespace

FilterSettings SettingsOf(std::vector<unsigned char> record)
{
    record.resize(std::max(record.size(), CONFIG_RECORD_SIZE), 0);
    return {ReadRecordWord(record.data(), CONFIG_TAG_OFFSET),
            static_cast<std::int32_t>(ReadRecordWord(record.data(), CONFIG_MODE_OFFSET))};
}

std::int32_t ParseMode(const std::string& text)
{
    if (text == "whole") return MODE_WHOLE_IMAGE;
    if (text == "material") return MODE_MATERIAL_ID;
    if (text == "object") return MODE_OBJECT_ID;
    throw UsageError("unknown mode " + text + ": use --mode whole, material or object");
}

void CheckFilterChoice(const FilterChoice& choice)
{
    if (!choice.configPath.empty() && (choice.mode || choice.id))
        throw UsageError("--config takes the mode and IDs from the record; give it without --mode and --id");
    if (!choice.id) return;
    const std::int32_t mode = choice.mode.value_or(MODE_WHOLE_IMAGE);
    if (mode == MODE_WHOLE_IMAGE)
        throw UsageError("--id selects pixels in --mode material or object; the whole mode takes no ID");
    const bool material = mode == MODE_MATERIAL_ID;
    const int low = material ? MATERIAL_ID_MIN : OBJECT_ID_MIN;
    const int high = material ? MATERIAL_ID_MAX : OBJECT_ID_MAX;
    if (*choice.id < low || *choice.id > high)
        throw UsageError("--id " + std::to_string(*choice.id) +
                         " is out of range: " + (material ? "material-effects IDs" : "object IDs") +
                         " run from " + std::to_string(low) + " to " + std::to_string(high));
}

std::vector<std::string> ConfigureFilter(FilterRunner& runner, const FilterChoice& choice)
{
    if (!choice.configPath.empty()) return LoadRecordFile(runner, choice.configPath);
    std::vector<unsigned char> record = runner.SaveRecord();
    // Another filter may keep a shorter record; the words are written all the same.
    record.resize(std::max(record.size(), CONFIG_RECORD_SIZE), 0);
    const std::int32_t mode = choice.mode.value_or(MODE_WHOLE_IMAGE);
    WriteRecordWord(record.data(), CONFIG_MODE_OFFSET, static_cast<std::uint32_t>(mode));
    if (choice.id) {
        const std::size_t offset =
            mode == MODE_MATERIAL_ID ? CONFIG_MATERIAL_ID_OFFSET : CONFIG_OBJECT_ID_OFFSET;
        WriteRecordWord(record.data(), offset, static_cast<std::uint32_t>(*choice.id));
    }
    if (!runner.LoadRecord(record)) throw ToolError("the filter refused its own configuration record");
    return {};
}

void SaveFilterRecord(FilterRunner& runner, const std::string& path, const std::vector<std::string>& inputs)
{
    const std::vector<unsigned char> record = runner.SaveRecord();
    RefuseInputOverwrite(path, inputs);
    AtomicOutput(path).Write([&](const std::string& temp) {
        std::ofstream file(temp, std::ios::binary);
        file.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
        file.close();
        if (!file) throw ToolError("cannot write " + temp + ": " + std::strerror(errno));
    });
}
