#include "commands/sample_command.h"

#include <cstdio>
#include <filesystem>

#include "cli/tool_error.h"
#include "commands/apply_command.h"
#include "commands/sample_cryptomatte.h"
#include "commands/sample_scene.h"
#include "files/atomic_output.h"
#include "files/exr_writer.h"

namespace fs = std::filesystem;

namespace {

void WriteSample(const std::string& path, int width, int height, bool cryptomatte = false)
{
    ExrFrame frame = RenderSampleScene(width, height);
    if (cryptomatte) AddSampleCryptomatte(frame);
    AtomicOutput(path).Write([&](const std::string& temp) { WriteExr(temp, frame); });
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
