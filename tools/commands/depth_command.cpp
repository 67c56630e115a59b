#include "commands/depth_command.h"

#include <bit>

#include "base/frame_memory.h"
#include "base/machine.h"
#include "base/tool_error.h"
#include "commands/apply_command.h"
#include "deepglass_interface.h"
#include "exr/exr_layout.h"
#include "output/atomic_output.h"
#include "output/exr_writer.h"
#include "shot/input_files.h"
#include "shot/shot_plan.h"

namespace deepglass {

namespace {

// Rows in a chunk of an EXR file written with ZIP, as the depth frame is.
constexpr std::uint64_t ZIP_CHUNK_ROWS = 16;

// The mapping the picture's levels are read back through: the command line's scale and curve in
// place of the picture's own, and the picture's bits. A ToolError naming the file when the picture
// has none, or a damaged one, that the command line does not make up for.
DepthMapping MappingFor(const std::string& path, const PngPicture& picture, const DepthOptions& options)
{
    DepthMapping mapping;
    if (!(options.scale && options.curve)) {
        if (!HasMapping(picture.text))
            throw ToolError(path + ": no depth mapping (no " + MAPPING_PREFIX +
                            " text chunks): give the scale and the curve with --range NEAR:FAR and --curve "
                            "linear|inverse");
        try {
            mapping = ParseMapping(picture.text);
        } catch (const ToolError& error) {
            throw ToolError(path + ": " + error.what() +
                            " (--range NEAR:FAR and --curve linear|inverse give the mapping instead)");
        }
        if (mapping.bits != picture.bits)
            throw ToolError(path + ": the depth mapping's " + MAPPING_PREFIX + "bits is " +
                            std::to_string(mapping.bits) + ", but the picture's samples have " +
                            std::to_string(picture.bits) + " bits");
    }
    if (options.scale) mapping.scale = options.scale;
    if (options.curve) mapping.curve = *options.curve;
    mapping.bits = picture.bits;
    return mapping;
}

void ReadBack(const ShotFrame& shot, const DepthOptions& options, const InputFiles& inputs,
              std::uint64_t budget)
{
    inputs.RefuseOverwrite(shot.output);
    PngReader reader(shot.input);
    FrameShape shape = reader.Shape();
    // The depth frame is written with ZIP, in chunks of 16 rows of its one float channel.
    shape.exrBuffers =
        OpenExrBufferBytes(ZIP_CHUNK_ROWS * shape.width * HELD_SAMPLE_BYTES, ExrDecodeThreads());
    const std::string problem = FrameMemoryProblem(FrameRoute::READ_BACK, shape, budget);
    if (!problem.empty()) throw ToolError(shot.input + ": " + problem);
    const PngPicture picture = reader.ReadAll();
    const DepthMapping mapping = MappingFor(shot.input, picture, options);
    ExrFrame frame;
    frame.dataWindow = frame.displayWindow = {0, 0, picture.width - 1, picture.height - 1};
    frame.channels.push_back(DepthOfPicture(picture, mapping, options.levelZeroEmpty));
    AtomicOutput(shot.output).Write([&](const std::string& temp) { WriteExr(temp, std::move(frame)); });
}

} // namespace

FrameChannel DepthOfPicture(const PngPicture& picture, const DepthMapping& mapping, bool levelZeroEmpty)
{
    const std::size_t pixels =
        static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
    const std::uint16_t full = static_cast<std::uint16_t>((1u << picture.bits) - 1);
    FrameChannel z{"Z", SampleType::FLOAT,
                   std::vector<std::uint32_t>(pixels, std::bit_cast<std::uint32_t>(HOST_BACKGROUND_DEPTH))};
    if (!mapping.scale) return z;
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint16_t level = picture.At(i, 0);
        if (picture.channels == 4) {
            const std::uint16_t alpha = picture.At(i, 3);
            if (picture.At(i, 1) != level || picture.At(i, 2) != level || (alpha != level && alpha != full))
                continue;
        }
        if (level == 0 && levelZeroEmpty) continue;
        z.samples[i] = std::bit_cast<std::uint32_t>(
            static_cast<float>(DepthOfLevel(*mapping.scale, mapping.curve, level, picture.bits)));
    }
    return z;
}

int RunDepth(const DepthOptions& options, std::FILE* out, std::FILE* errors)
{
    const std::vector<ShotFrame> plan = PlanShot(options.inputs, options.frames, options.output);
    try {
        MakeOutputFolder(options.output);
    } catch (const ToolError& error) {
        std::fprintf(errors, "error: %s\n", error.what());
        return EXIT_STATUS_FAILED;
    }
    const InputFiles inputs(ExistingInputs(plan));
    const std::uint64_t budget = MemoryBudget(options.maxMemory);
    int status = EXIT_STATUS_OK;
    for (const ShotFrame& shot : plan) {
        try {
            if (!shot.problem.empty())
                throw ToolError(shot.missing
                                    ? "frame " + std::to_string(shot.number.value_or(0)) + " " + shot.problem
                                    : shot.input + ": " + shot.problem);
            ReadBack(shot, options, inputs, budget);
            std::fprintf(out, "%s -> %s\n", shot.input.c_str(), shot.output.c_str());
        } catch (const ToolError& error) {
            std::fprintf(errors, "error: %s\n", error.what());
            status = EXIT_STATUS_FAILED;
        } catch (const std::bad_alloc&) {
            std::fprintf(errors, "error: %s: not enough memory for this picture\n", shot.input.c_str());
            status = EXIT_STATUS_FAILED;
        }
    }
    return status;
}

} // namespace deepglass
