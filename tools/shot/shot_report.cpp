#include "shot/shot_report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "base/number_text.h"
#include "base/tool_error.h"
#include "base/utf8_text.h"
#include "deepglass_interface.h"
#include "output/atomic_output.h"

namespace deepglass {

namespace {

std::size_t CountOf(const std::vector<FrameRecord>& records, FrameStatus status)
{
    std::size_t count = 0;
    for (const FrameRecord& record : records) count += record.status == status ? 1 : 0;
    return count;
}

// A float as the double that prints as its shortest text, so that 2.4373584 is not written as
// 2.4373583793640137.
double Shortest(float value) { return std::stod(NumberText(value)); }

// Paths and messages as JSON text, which must be UTF-8: as they are where they are UTF-8 (the
// report of every such run stays as it was), else with their other bytes escaped as names are.
std::string ReportText(const std::string& text) { return Utf8Characters(text) ? text : NameText(text); }

nlohmann::ordered_json EntryOf(const FrameRecord& record)
{
    std::vector<std::string> outputs;
    for (const std::string& output : record.outputs) outputs.push_back(ReportText(output));
    nlohmann::ordered_json entry = {{"frame", nullptr},
                                    {"input", ReportText(record.input)},
                                    {"output", ReportText(record.Output())},
                                    {"outputs", outputs},
                                    {"status", StatusName(record.status)},
                                    {"message", ReportText(record.message)},
                                    {"depth_range", nullptr},
                                    {"seconds", record.seconds}};
    if (record.number) entry["frame"] = *record.number;
    if (record.nearest && record.farthest)
        entry["depth_range"] = {{"nearest", Shortest(*record.nearest)},
                                {"farthest", Shortest(*record.farthest)}};
    return entry;
}

} // namespace

const char* StatusName(FrameStatus status)
{
    switch (status) {
    case FrameStatus::WRITTEN: return "written";
    case FrameStatus::SKIPPED: return "skipped";
    case FrameStatus::MISSING: return "missing";
    default: return "failed";
    }
}

std::string SummaryLine(const std::vector<FrameRecord>& records, double seconds)
{
    const std::size_t total = records.size();
    std::string line = std::to_string(total) + (total == 1 ? " frame: " : " frames: ") +
                       std::to_string(CountOf(records, FrameStatus::WRITTEN)) + " written";
    for (FrameStatus status : {FrameStatus::SKIPPED, FrameStatus::MISSING})
        if (const std::size_t count = CountOf(records, status); count > 0)
            line += ", " + std::to_string(count) + " " + StatusName(status);
    line += ", " + std::to_string(CountOf(records, FrameStatus::FAILED)) + " failed";
    char time[32];
    std::snprintf(time, sizeof time, ", %.2f s", seconds);
    return line + time;
}

void WriteShotReport(const std::string& path, const std::vector<FrameRecord>& records, double seconds)
{
    nlohmann::ordered_json report = {{"tool", "deepglass " DEEPGLASS_VERSION_NUMBER}, {"seconds", seconds}};
    nlohmann::ordered_json counts = nlohmann::ordered_json::object();
    for (FrameStatus status :
         {FrameStatus::WRITTEN, FrameStatus::SKIPPED, FrameStatus::FAILED, FrameStatus::MISSING})
        counts[StatusName(status)] = CountOf(records, status);
    report["counts"] = counts;
    report["frames"] = nlohmann::ordered_json::array();
    for (const FrameRecord& record : records) report["frames"].push_back(EntryOf(record));
    AtomicOutput(path).Write([&](const std::string& temp) {
        std::ofstream file(temp, std::ios::binary);
        file << report.dump(2) << '\n';
        file.flush();
        if (!file) throw ToolError("cannot write " + temp + ": " + std::strerror(errno));
    });
}

} // namespace deepglass
