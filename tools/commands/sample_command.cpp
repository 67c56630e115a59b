#include "commands/sample_command.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "base/tool_error.h"
#include "cli/command_line.h"
#include "commands/apply_command.h"
#include "module/filter_runner.h"
#include "output/atomic_output.h"
#include "output/exr_writer.h"
#include "scene/sample_cryptomatte.h"
#include "scene/sample_scene.h"

namespace deepglass {

namespace fs = std::filesystem;

namespace {

void WriteSample(const std::string& path, int width, int height, bool cryptomatte = false)
{
    ExrFrame frame = RenderSampleScene(width, height);
    if (cryptomatte) AddSampleCryptomatte(frame);
    AtomicOutput(path).Write([&](const std::string& temp) { WriteExr(temp, std::move(frame)); });
}

} // namespace

int RunSample(const SampleOptions& options)
{
    WriteSample(options.output, options.width, options.height, options.cryptomatte);
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
        std::vector<std::string> settings;
        const char* what;
    };
    const Picture pictures[] = {
        {"whole.png", {"--mode", "whole"}, "the whole frame"},
        {"material-2.png", {"--mode", "material", "--id", "2"}, "material-effects ID 2 (the spheres)"},
        {"object-3.png", {"--mode", "object", "--id", "3"}, "object ID 3 (the box)"}};
    const std::unique_ptr<FilterRunner> runner = LoadFilter(options.modulePath, stderr);
    if (!runner) return EXIT_STATUS_FAILED;
    int status = EXIT_STATUS_OK;
    for (const Picture& picture : pictures) {
        // The same command line a user would type, parsed as one.
        std::vector<std::string> arguments = {"apply", "--opaque", "-o",
                                              (fs::path(options.folder) / picture.name).string()};
        arguments.insert(arguments.end(), picture.settings.begin(), picture.settings.end());
        arguments.insert(arguments.end(), {"--", sample});
        std::printf("%s: %s\n", picture.name, picture.what);
        if (RunApply(*runner, ParseCommandLine(arguments).apply, stdout, stderr) != EXIT_STATUS_OK)
            status = EXIT_STATUS_FAILED;
    }
    if (status == EXIT_STATUS_OK)
        std::printf("The pictures are in %s\n",
                    fs::absolute(options.folder).lexically_normal().string().c_str());
    return status;
}

} // namespace deepglass
