#include "commands/depth_command.h"

#include <bit>
#include <filesystem>
#include <set>

#include "base/frame_memory.h"
#include "base/machine.h"
#include "base/tool_error.h"
#include "commands/apply_command.h"
#include "deepglass_interface.h"
#include "exr/exr_layout.h"
#include "output/atomic_output.h"
#include "output/exr_writer.h"
#include "shot/frame_pattern.h"
#include "shot/input_files.h"
#include "shot/shot_plan.h"
#include "video/video_reader.h"

namespace deepglass {

namespace {

// Rows in a chunk of an EXR file written with ZIP, as the depth frame is.
constexpr std::uint64_t ZIP_CHUNK_ROWS = 16;

// The mapping a picture's or video's levels are read back through: the command line's scale and
// curve in place of its own, and its levels' bits. A ToolError naming the file when it has none, or
// a damaged one, that the command line does not make up for.
DepthMapping MappingFor(const std::string& path,
                        const std::vector<std::pair<std::string, std::string>>& texts, int bits, bool video,
                        const DepthOptions& options)
{
    const char* where = video ? "metadata" : "text chunks";
    DepthMapping mapping;
    if (!(options.scale && options.curve)) {
        if (!HasMapping(texts))
            throw ToolError(path + ": no depth mapping (no " + MAPPING_PREFIX + " " + where +
                            "): give the scale and the curve with --range NEAR:FAR and --curve "
                            "linear|inverse");
        try {
            mapping = ParseMapping(texts);
        } catch (const ToolError& error) {
            throw ToolError(path + ": " + error.what() +
                            " (--range NEAR:FAR and --curve linear|inverse give the mapping instead)");
        }
        if (mapping.bits != bits)
            throw ToolError(path + ": the depth mapping's " + MAPPING_PREFIX + "bits is " +
                            std::to_string(mapping.bits) + ", but the " +
                            (video ? "video's levels" : "picture's samples") + " have " +
                            std::to_string(bits) + " bits");
    }
    if (options.scale) mapping.scale = options.scale;
    if (options.curve) mapping.curve = *options.curve;
    mapping.bits = bits;
    return mapping;
}

// What reading back a picture of `shape` into a depth frame takes, as the account has it, or a
// ToolError naming `path` when that is more than `budget`.
void HoldReadBack(const std::string& path, FrameShape shape, std::uint64_t budget)
{
    // The depth frame is written with ZIP, in chunks of 16 rows of its one float channel.
    shape.exrBuffers =
        OpenExrBufferBytes(ZIP_CHUNK_ROWS * shape.width * HELD_SAMPLE_BYTES, ExrDecodeThreads());
    const std::string problem = FrameMemoryProblem(FrameRoute::READ_BACK, shape, budget);
    if (!problem.empty()) throw ToolError(path + ": " + problem);
}

// The picture at `path`, read once what reading it back takes is known to fit in `budget`.
PngPicture ReadHeldPicture(const std::string& path, std::uint64_t budget)
{
    PngReader reader(path);
    HoldReadBack(path, reader.Shape(), budget);
    return reader.ReadAll();
}

// An EXR frame of `picture`'s size holding the depth its levels stand for, written as a whole.
void WriteDepth(const std::string& output, const PngPicture& picture, const DepthMapping& mapping,
                const DepthOptions& options)
{
    ExrFrame frame;
    frame.dataWindow = frame.displayWindow = {0, 0, picture.width - 1, picture.height - 1};
    frame.channels.push_back(DepthOfPicture(picture, mapping, options.levelZeroEmpty));
    AtomicOutput(output).Write([&](const std::string& temp) { WriteExr(temp, std::move(frame)); });
}

void ReadBack(const ShotFrame& shot, const DepthOptions& options, const InputFiles& inputs,
              std::uint64_t budget)
{
    inputs.RefuseOverwrite(shot.output);
    const PngPicture picture = ReadHeldPicture(shot.input, budget);
    WriteDepth(shot.output, picture, MappingFor(shot.input, picture.text, picture.bits, false, options),
               options);
}

// Where frame `number` of `video` (of `frames` in all) is written: by the output pattern, into
// the output folder or beside the video as NAME.NNNN.exr, or to the one output a video of one frame
// has.
std::string VideoFramePath(const OutputTarget& target, const std::string& video, int number,
                           std::size_t frames)
{
    const std::filesystem::path named(video);
    const std::string pattern = named.stem().string() + ".%04d.exr";
    if (HasFramePattern(target.path)) return FramePath(target.path, number);
    if (target.isFolder) return FramePath((std::filesystem::path(target.path) / pattern).string(), number);
    if (target.path.empty()) return FramePath((named.parent_path() / pattern).string(), number);
    if (frames == 1) return target.path;
    throw ToolError(video + ": it holds " + std::to_string(frames) + " frames, and -o " + target.path +
                    " names one file: give a pattern (depth.%04d.exr) or a folder");
}

// Each frame of a video (with --frames, those it lists by their recorded numbers) read back into an
// EXR frame. Everything the file says is checked before the first frame is written: its mapping,
// and that it holds every frame its metadata lists.
void ReadBackVideo(const std::string& path, const DepthOptions& options, const InputFiles& inputs,
                   std::uint64_t budget, std::FILE* out)
{
    const VideoFacts facts = ReadVideoFacts(path, budget);
    const DepthMapping mapping = MappingFor(path, facts.tags, facts.bits, true, options);
    // Each frame is read back as a picture of its levels is.
    FrameShape shape;
    shape.width = static_cast<std::uint64_t>(facts.width);
    shape.height = static_cast<std::uint64_t>(facts.height);
    const bool colour = facts.pixelFormat == "bgra" || facts.pixelFormat == "gbrap16le";
    shape.storedPixelBytes = (colour ? 4u : 1u) * (facts.bits == 8 ? 1u : 2u);
    HoldReadBack(path, shape, budget);
    std::vector<int> numbers;
    try {
        numbers = ParseVideoFrames(facts.tags).value_or(std::vector<int>{});
    } catch (const ToolError& error) {
        throw ToolError(path + ": " + error.what());
    }
    if (numbers.empty())
        for (std::size_t place = 0; place < facts.frames; ++place)
            numbers.push_back(static_cast<int>(place + 1));
    if (numbers.size() != facts.frames)
        throw ToolError(path + ": it holds " + std::to_string(facts.frames) +
                        " frames, and its metadata lists " + std::to_string(numbers.size()) + " (" +
                        MAPPING_PREFIX + "frames): the file is cut short");
    const std::set<int> wanted(options.frames.begin(), options.frames.end());
    std::vector<std::string> outputs;
    for (const int number : numbers) {
        outputs.push_back(VideoFramePath(options.output, path, number, numbers.size()));
        inputs.RefuseOverwrite(outputs.back());
    }
    ReadVideoFrames(path, budget, [&](std::size_t place, const PngPicture& picture) {
        if (place >= numbers.size())
            throw ToolError(path + ": it decodes into more frames than the " +
                            std::to_string(numbers.size()) + " it holds");
        if (!wanted.empty() && wanted.count(numbers[place]) == 0) return;
        WriteDepth(outputs[place], picture, mapping, options);
        std::fprintf(out, "%s frame %d -> %s\n", path.c_str(), numbers[place], outputs[place].c_str());
    });
}

} // namespace

DepthPicture ReadDepthPicture(const std::string& path, const DepthOptions& options, std::uint64_t budget)
{
    const PngPicture picture = ReadHeldPicture(path, budget);
    DepthPicture read{
        picture.width, picture.height, {}, MappingFor(path, picture.text, picture.bits, false, options)};
    read.depth = DepthOfPicture(picture, read.mapping, options.levelZeroEmpty);
    return read;
}

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
    // Videos are read back whole, each into frames of its own; pictures one a frame of the shot.
    std::vector<std::string> pictures, videos;
    for (const std::string& input : options.inputs) (IsVideoName(input) ? videos : pictures).push_back(input);
    const std::vector<ShotFrame> plan = PlanShot(pictures, options.frames, options.output);
    try {
        MakeOutputFolder(options.output);
    } catch (const ToolError& error) {
        std::fprintf(errors, "error: %s\n", error.what());
        return EXIT_STATUS_FAILED;
    }
    std::vector<std::string> existing = ExistingInputs(plan);
    existing.insert(existing.end(), videos.begin(), videos.end());
    const InputFiles inputs(existing);
    const std::uint64_t budget = MemoryBudget(options.maxMemory);
    int status = EXIT_STATUS_OK;
    const auto fail = [&](const std::string& message) {
        std::fprintf(errors, "error: %s\n", message.c_str());
        status = EXIT_STATUS_FAILED;
    };
    for (const std::string& video : videos) {
        try {
            ReadBackVideo(video, options, inputs, budget, out);
        } catch (const ToolError& error) {
            fail(error.what());
        } catch (const std::bad_alloc&) {
            fail(video + ": not enough memory for its frames");
        }
    }
    for (const ShotFrame& shot : plan) {
        try {
            if (!shot.problem.empty())
                throw ToolError(shot.missing
                                    ? "frame " + std::to_string(shot.number.value_or(0)) + " " + shot.problem
                                    : shot.input + ": " + shot.problem);
            ReadBack(shot, options, inputs, budget);
            std::fprintf(out, "%s -> %s\n", shot.input.c_str(), shot.output.c_str());
        } catch (const ToolError& error) {
            fail(error.what());
        } catch (const std::bad_alloc&) {
            fail(shot.input + ": not enough memory for this picture");
        }
    }
    return status;
}

} // namespace deepglass
