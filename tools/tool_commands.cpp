#include "tool_commands.h"

#include <cstdio>
#include <filesystem>

#include "apply_command.h"
#include "atomic_output.h"
#include "command_line.h"
#include "exr_writer.h"
#include "filter_runner.h"
#include "info_command.h"
#include "sample_scene.h"
#include "tool_error.h"

namespace fs = std::filesystem;

namespace {

void WriteSample(const std::string& path, int width, int height)
{
    AtomicOutput(path).Write(
        [&](const std::string& temp) { WriteExr(temp, RenderSampleScene(width, height)); });
}

int RunSample(const SampleOptions& options)
{
    WriteSample(options.output, options.width, options.height);
    std::printf("wrote %s (%d x %d)\n", options.output.c_str(), options.width, options.height);
    return EXIT_STATUS_OK;
}

int RunDemo(const DemoOptions& options)
{
    std::error_code error;
    fs::create_directories(options.folder, error);
    if (error) throw ToolError("cannot make the folder " + options.folder + ": " + error.message());
    const std::string sample = (fs::path(options.folder) / "sample.exr").string();
    WriteSample(sample, 640, 360);
    std::printf("wrote %s, the sample frame\n", sample.c_str());

    struct Picture {
        const char* name;
        std::int32_t mode;
        int id;
        const char* what;
    };
    const Picture pictures[] = {
        {"whole.png", MODE_WHOLE_IMAGE, 0, "the whole frame"},
        {"material-2.png", MODE_MATERIAL_ID, 2, "material-effects ID 2 (the spheres)"},
        {"object-3.png", MODE_OBJECT_ID, 3, "object ID 3 (the box)"}};
    int status = EXIT_STATUS_OK;
    for (const Picture& picture : pictures) {
        ApplyOptions apply;
        apply.inputs = {sample};
        apply.output.path = (fs::path(options.folder) / picture.name).string();
        apply.output.format = OutputFormat::PNG;
        apply.filter.mode = picture.mode;
        if (picture.mode != MODE_WHOLE_IMAGE) apply.filter.id = picture.id;
        apply.modulePath = options.modulePath;
        apply.opaque = true;
        std::printf("%s: %s\n", picture.name, picture.what);
        if (RunApply(apply, stdout, stderr) != EXIT_STATUS_OK) status = EXIT_STATUS_FAILED;
    }
    if (status == EXIT_STATUS_OK)
        std::printf("The pictures are in %s\n",
                    fs::absolute(options.folder).lexically_normal().string().c_str());
    return status;
}

int RunVersion(const std::string& modulePath)
{
    std::printf("deepglass %s\n", DEEPGLASS_VERSION_NUMBER);
    const std::string path = modulePath.empty() ? DefaultModulePath() : modulePath;
    try {
        FilterRunner runner(path);
        std::printf("module %s: %s (library version %u)\n", path.c_str(), runner.Description().c_str(),
                    runner.LibraryVersion());
    } catch (const ToolError& error) {
        std::printf("module: %s\n", error.what());
        return EXIT_STATUS_FAILED;
    }
    return EXIT_STATUS_OK;
}

} // namespace

int RunTool(const std::vector<std::string>& arguments)
{
    try {
        const Command command = ParseCommandLine(arguments);
        switch (command.kind) {
        case CommandKind::HELP:
            std::fputs(HelpText(command.helpTopic).c_str(), stdout);
            return EXIT_STATUS_OK;
        case CommandKind::VERSION: return RunVersion(command.modulePath);
        case CommandKind::APPLY: return RunApply(command.apply, stdout, stderr);
        case CommandKind::INFO: return RunInfo(command.info, stdout, stderr);
        case CommandKind::SAMPLE: return RunSample(command.sample);
        case CommandKind::DEMO: return RunDemo(command.demo);
        }
    } catch (const UsageError& error) {
        std::fprintf(stderr, "deepglass: %s\n", error.what());
        return EXIT_STATUS_USAGE;
    } catch (const ToolError& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
    }
    return EXIT_STATUS_FAILED;
}
