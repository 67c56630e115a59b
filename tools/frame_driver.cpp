#include "frame_driver.h"

#include <unistd.h>

#include <bit>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "atomic_output.h"
#include "exr_reader.h"
#include "exr_writer.h"
#include "frame_stats.h"
#include "png_writer.h"
#include "progress.h"
#include "tool_error.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* COLOUR_CHANNELS[] = {"A", "B", "G", "R"};

std::vector<unsigned char> ReadRecordFile(const std::string& path)
{
    std::error_code error;
    if (fs::is_directory(path, error)) throw ToolError("cannot read " + path + ": it is a folder");
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

void WriteRecordFile(const std::string& path, const std::vector<unsigned char>& record,
                     const std::vector<std::string>& inputs)
{
    RefuseInputOverwrite(path, inputs);
    AtomicOutput(path).Write([&](const std::string& temp) {
        std::ofstream file(temp, std::ios::binary);
        file.write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
        file.close();
        if (!file) throw ToolError("cannot write " + temp + ": " + std::strerror(errno));
    });
}

// The frame as the host holds it, with only the channels the filter asks for.
HostFrame HostFrameOf(const ExrFrame& frame, const ApplyOptions& options, std::uint32_t channels,
                      std::vector<std::string>& warnings, DepthStats& stats)
{
    HostFrame host;
    host.width = frame.Width();
    host.height = frame.Height();
    host.colour = HostColourOf(frame);
    host.depth = HostDepthOf(frame, options.names.depth);
    ApplyBackground(options.background, host.colour, host.depth);
    stats = DepthStatsOf(host.depth, host.colour);
    auto missing = [&](const char* what, const std::string& name) {
        warnings.push_back("no " + std::string(what) + " channel " + name +
                           ": the filter leaves the frame unchanged (the frame has " +
                           ChannelListText(frame) + ")");
    };
    if (channels & CHANNEL_MATERIAL_ID) {
        host.materialIds = HostMaterialIdsOf(frame, options.names.material);
        if (!host.materialIds) missing("material-effects ID", options.names.material);
    }
    if (channels & CHANNEL_OBJECT_ID) {
        host.objectIds = HostObjectIdsOf(frame, options.names.object);
        if (!host.objectIds) missing("object ID", options.names.object);
    }
    return host;
}

void WriteOutput(const std::string& path, OutputFormat format, const ExrFrame& frame,
                 const std::vector<BMM_Color_64>& colour, bool opaque, std::vector<std::string>& warnings)
{
    AtomicOutput(path).Write([&](const std::string& temp) {
        if (format == OutputFormat::PNG) {
            bool cropped = false;
            const std::vector<BMM_Color_64> picture = DisplayWindowPicture(frame, colour, opaque, cropped);
            if (cropped)
                warnings.push_back("part of the data window lies outside the display window and is not in " +
                                   path);
            WritePng(temp, static_cast<int>(frame.displayWindow.Width()),
                     static_cast<int>(frame.displayWindow.Height()), picture);
        } else {
            ExrFrame written = frame;
            std::erase_if(written.channels, [](const FrameChannel& channel) {
                for (const char* name : COLOUR_CHANNELS)
                    if (channel.name == name) return true;
                return false;
            });
            for (int component = 0; component < 4; ++component) {
                FrameChannel channel{std::string(1, "RGBA"[component]), SampleType::HALF, {}};
                channel.samples.resize(colour.size());
                for (std::size_t i = 0; i < colour.size(); ++i) {
                    const std::uint16_t levels[] = {colour[i].r, colour[i].g, colour[i].b, colour[i].a};
                    channel.samples[i] =
                        std::bit_cast<std::uint32_t>(static_cast<float>(levels[component]) / 65535.0f);
                }
                written.channels.push_back(std::move(channel));
            }
            WriteExr(temp, written);
        }
    });
}

struct FrameOutcome {
    std::vector<std::string> warnings;
    std::string hint;
};

FrameOutcome FilterFrame(FilterRunner& runner, const ApplyOptions& options, const std::string& input,
                         const std::string& outputPath, OutputFormat format)
{
    FrameOutcome outcome;
    RefuseInputOverwrite(outputPath, options.inputs);
    ExrReadResult read = ReadExrFile(input);
    if (!read.frame) throw ToolError(read.error);
    if (!read.note.empty()) outcome.warnings.push_back(read.note);
    const ExrFrame& frame = *read.frame;
    DepthStats stats;
    HostFrame host = HostFrameOf(frame, options, runner.ChannelsRequired(), outcome.warnings, stats);
    outcome.hint = BackgroundHint(stats);
    if (!runner.Render(host)) throw ToolError("the filter did not render the frame");
    WriteOutput(outputPath, format, frame, host.colour, options.opaque, outcome.warnings);
    return outcome;
}

std::string Seconds(std::chrono::steady_clock::duration elapsed)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", std::chrono::duration<double>(elapsed).count());
    return text;
}

} // namespace

std::vector<std::string> ConfigureFilter(FilterRunner& runner, const ApplyOptions& options)
{
    std::vector<std::string> warnings;
    if (!options.configPath.empty()) {
        const std::vector<unsigned char> record = ReadRecordFile(options.configPath);
        const std::size_t size = runner.RecordSize();
        if (record.size() != size)
            throw ToolError(options.configPath + ": a configuration record is " + std::to_string(size) +
                            " bytes; this file has " + std::to_string(record.size()));
        if (!runner.LoadRecord(record))
            throw ToolError(options.configPath + ": not a Deepglass configuration record (its tag is " +
                            HexWord(SettingsOf(record).tag) + ", the filter's " +
                            HexWord(runner.Settings().tag) + ")");
        const FilterSettings settings = runner.Settings();
        if (settings.mode != MODE_WHOLE_IMAGE && settings.mode != MODE_MATERIAL_ID &&
            settings.mode != MODE_OBJECT_ID)
            warnings.push_back(options.configPath + ": the record's mode " + std::to_string(settings.mode) +
                               " is none the filter knows, so frames come back unchanged");
        return warnings;
    }
    std::vector<unsigned char> record = runner.SaveRecord();
    const std::int32_t mode = options.mode.value_or(MODE_WHOLE_IMAGE);
    PutRecordWord(record, CONFIG_MODE_OFFSET, static_cast<std::uint32_t>(mode));
    if (options.id) {
        const std::size_t offset =
            mode == MODE_MATERIAL_ID ? CONFIG_MATERIAL_ID_OFFSET : CONFIG_OBJECT_ID_OFFSET;
        PutRecordWord(record, offset, static_cast<std::uint32_t>(*options.id));
    }
    if (!runner.LoadRecord(record)) throw ToolError("the filter refused its own configuration record");
    return warnings;
}

std::vector<std::string> OutputPaths(const ApplyOptions& options)
{
    const OutputFormat format = options.format.value_or(OutputFormat::PNG);
    const std::string extension = format == OutputFormat::PNG ? ".png" : ".exr";
    std::vector<std::string> paths;
    for (const std::string& input : options.inputs) {
        const fs::path name = fs::path(input).filename().replace_extension(extension);
        if (options.output.empty())
            paths.push_back(fs::path(input).replace_extension(extension).string());
        else if (options.outputIsFolder)
            paths.push_back((fs::path(options.output) / name).string());
        else
            paths.push_back(options.output);
    }
    return paths;
}

std::vector<BMM_Color_64> DisplayWindowPicture(const ExrFrame& frame, const std::vector<BMM_Color_64>& colour,
                                               bool opaque, bool& cropped)
{
    const PixelBox& display = frame.displayWindow;
    const PixelBox& data = frame.dataWindow;
    if (display.Width() > 65535 || display.Height() > 65535)
        throw ToolError("the display window is " + std::to_string(display.Width()) + " x " +
                        std::to_string(display.Height()) +
                        " pixels; a PNG holds the display window, at most 65535 on a side (write .exr)");
    const std::size_t width = static_cast<std::size_t>(display.Width());
    std::vector<BMM_Color_64> picture(width * static_cast<std::size_t>(display.Height()),
                                      BMM_Color_64{0, 0, 0, static_cast<std::uint16_t>(opaque ? 65535 : 0)});
    cropped = data.minX < display.minX || data.minY < display.minY || data.maxX > display.maxX ||
              data.maxY > display.maxY;
    const int fromX = std::max(data.minX, display.minX);
    const int toX = std::min(data.maxX, display.maxX);
    for (int y = std::max(data.minY, display.minY); y <= std::min(data.maxY, display.maxY); ++y) {
        for (int x = fromX; x <= toX; ++x) {
            BMM_Color_64 pixel =
                colour[static_cast<std::size_t>(y - data.minY) * frame.Width() + (x - data.minX)];
            if (opaque) pixel.a = 65535;
            picture[static_cast<std::size_t>(y - display.minY) * width + (x - display.minX)] = pixel;
        }
    }
    return picture;
}

int RunApply(const ApplyOptions& options, std::FILE* out, std::FILE* errors)
{
    const auto started = std::chrono::steady_clock::now();
    std::unique_ptr<FilterRunner> runner;
    try {
        runner = std::make_unique<FilterRunner>(options.modulePath.empty() ? DefaultModulePath()
                                                                           : options.modulePath);
        for (const std::string& warning : ConfigureFilter(*runner, options))
            std::fprintf(errors, "warning: %s\n", warning.c_str());
        if (!options.saveConfigPath.empty()) {
            WriteRecordFile(options.saveConfigPath, runner->SaveRecord(), options.inputs);
            std::fprintf(out, "wrote %s\n", options.saveConfigPath.c_str());
        }
    } catch (const ToolError& error) {
        std::fprintf(errors, "error: %s\n", error.what());
        return EXIT_STATUS_FAILED;
    }
    if (options.inputs.empty()) return EXIT_STATUS_OK;
    if (options.outputIsFolder) {
        std::error_code error;
        fs::create_directories(options.output, error);
        if (error) {
            std::fprintf(errors, "error: cannot make the folder %s: %s\n", options.output.c_str(),
                         error.message().c_str());
            return EXIT_STATUS_FAILED;
        }
    }

    const std::vector<std::string> outputs = OutputPaths(options);
    const OutputFormat format = options.format.value_or(OutputFormat::PNG);
    Progress progress(options.inputs.size(), isatty(fileno(out)) != 0, out, errors);
    std::set<std::string> written;
    std::vector<std::string> failed;
    bool hintShown = false;
    for (std::size_t i = 0; i < options.inputs.size(); ++i) {
        const std::string& input = options.inputs[i];
        progress.Begin(i, input);
        try {
            if (written.count(outputs[i]) != 0)
                throw ToolError("its output " + outputs[i] +
                                " was already written from another input of this run");
            FrameOutcome outcome = FilterFrame(*runner, options, input, outputs[i], format);
            written.insert(outputs[i]);
            for (const std::string& warning : outcome.warnings)
                progress.Message("warning: " + input + ": " + warning);
            if (!outcome.hint.empty() && !hintShown) {
                progress.Message("hint: " + input + ": " + outcome.hint);
                hintShown = true;
            }
            progress.Done(input + " -> " + outputs[i]);
        } catch (const std::exception& error) {
            const std::string message = dynamic_cast<const std::bad_alloc*>(&error) != nullptr
                                            ? std::string("not enough memory for this frame")
                                            : error.what();
            const bool named = message.find(input) != std::string::npos;
            progress.Message("error: " + (named ? message : input + ": " + message));
            failed.push_back(input);
            progress.Done(input + ": failed");
        }
    }
    progress.End();
    const std::size_t total = options.inputs.size();
    std::fprintf(out, "%zu frame%s: %zu written, %zu failed, %s\n", total, total == 1 ? "" : "s",
                 total - failed.size(), failed.size(),
                 Seconds(std::chrono::steady_clock::now() - started).c_str());
    return failed.empty() ? EXIT_STATUS_OK : EXIT_STATUS_FAILED;
}
