#include "commands/apply_command.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <set>

#include "cli/tool_error.h"
#include "commands/progress.h"
#include "files/atomic_output.h"
#include "files/exr_reader.h"
#include "files/output_writer.h"
#include "host/filter_runner.h"
#include "host/frame_stats.h"

namespace {

struct FrameOutcome {
    std::vector<std::string> warnings;
    std::string hint;
};

FrameOutcome FilterFrame(FilterRunner& runner, const ApplyOptions& options, const std::string& input,
                         const std::string& outputPath)
{
    FrameOutcome outcome;
    RefuseInputOverwrite(outputPath, options.inputs);
    const ExrReadResult read = ReadExrFile(input);
    if (!read.note.empty()) outcome.warnings.push_back(read.note);
    HostFrame host = HostFrameOf(read.frame, options.names, options.background, runner.ChannelsRequired(),
                                 outcome.warnings);
    outcome.hint = BackgroundHint(DepthStatsOf(host.depth, host.colour));
    runner.Render(host);
    WriteFilteredFrame(outputPath, options.output.format.value_or(OutputFormat::PNG), read.frame, host.colour,
                       options.opaque, outcome.warnings);
    return outcome;
}

// Loads the module and configures its filter, saving its record when asked.
std::unique_ptr<FilterRunner> PreparedFilter(const ApplyOptions& options, std::FILE* out, std::FILE* errors)
{
    auto runner =
        std::make_unique<FilterRunner>(options.modulePath.empty() ? DefaultModulePath() : options.modulePath);
    for (const std::string& warning : ConfigureFilter(*runner, options.filter))
        std::fprintf(errors, "warning: %s\n", warning.c_str());
    if (!options.filter.saveConfigPath.empty()) {
        SaveFilterRecord(*runner, options.filter.saveConfigPath, options.inputs);
        std::fprintf(out, "wrote %s\n", options.filter.saveConfigPath.c_str());
    }
    return runner;
}

std::string Seconds(std::chrono::steady_clock::duration elapsed)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", std::chrono::duration<double>(elapsed).count());
    return text;
}

} // namespace

int RunApply(const ApplyOptions& options, std::FILE* out, std::FILE* errors)
{
    const auto started = std::chrono::steady_clock::now();
    std::unique_ptr<FilterRunner> runner;
    try {
        runner = PreparedFilter(options, out, errors);
        if (options.inputs.empty()) return EXIT_STATUS_OK;
        if (options.output.isFolder) {
            std::error_code error;
            std::filesystem::create_directories(options.output.path, error);
            if (error)
                throw ToolError("cannot make the folder " + options.output.path + ": " + error.message());
        }
    } catch (const ToolError& error) {
        std::fprintf(errors, "error: %s\n", error.what());
        return EXIT_STATUS_FAILED;
    }

    const std::vector<std::string> outputs = OutputPaths(options.inputs, options.output);
    Progress progress(options.inputs.size(), isatty(fileno(out)) != 0, out, errors);
    std::set<std::string> written;
    std::size_t failed = 0;
    bool hintShown = false;
    for (std::size_t i = 0; i < options.inputs.size(); ++i) {
        const std::string& input = options.inputs[i];
        progress.Begin(i, input);
        try {
            if (written.count(outputs[i]) != 0)
                throw ToolError("its output " + outputs[i] +
                                " was already written from another input of this run");
            const FrameOutcome outcome = FilterFrame(*runner, options, input, outputs[i]);
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
            ++failed;
            progress.Done(input + ": failed");
        }
    }
    progress.End();
    const std::size_t total = options.inputs.size();
    std::fprintf(out, "%zu frame%s: %zu written, %zu failed, %s\n", total, total == 1 ? "" : "s",
                 total - failed, failed, Seconds(std::chrono::steady_clock::now() - started).c_str());
    return failed == 0 ? EXIT_STATUS_OK : EXIT_STATUS_FAILED;
}
