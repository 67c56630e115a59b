#include "frame/storage_frame.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <span>

#include "base/tool_error.h"
#include "exr/exr_layout.h"
#include "frame/samples.h"
#include "image/level.h"

namespace deepglass {

namespace {

enum class Role { RED, GREEN, BLUE, ALPHA, DEPTH, MATERIAL, OBJECT };

// The account of a frame's memory reckons with the host's types as they are.
static_assert(sizeof(BMM_Color_64) == HOST_COLOUR_BYTES && sizeof(HostCall) == HOST_CALL_BYTES);

constexpr std::uint16_t BMM_Color_64::*COLOUR_MEMBER[4] = {&BMM_Color_64::r, &BMM_Color_64::g,
                                                           &BMM_Color_64::b, &BMM_Color_64::a};

// A channel to read and what it becomes; one channel may serve several roles.
struct Wanted {
    ViewChannel channel;
    std::vector<Role> roles;
};

MemoryStorage& StorageOfSize(FrameBuffers& buffers, int width, int height)
{
    MemoryStorage* storage = buffers.storage.get();
    if (storage != nullptr && storage->Width() == width && storage->Height() == height) {
        storage->Reuse();
        return *storage;
    }
    // The old frame's memory goes before the new frame's is taken: its host frame, its strip of
    // decoded rows and chunks, its colour as floats. What the read may take stays.
    const std::uint64_t allowance = buffers.scratch.allowance;
    buffers = FrameBuffers{};
    buffers.scratch.allowance = allowance;
    buffers.storage =
        std::make_unique<MemoryStorage>(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height),
                                        MemoryStorage::Start::UNWRITTEN);
    return *buffers.storage;
}

bool Covers(const PixelBox& part, const PixelBox& frame)
{
    return part.minX <= frame.minX && part.minY <= frame.minY && part.maxX >= frame.maxX &&
           part.maxY >= frame.maxY;
}

// Converts decoded rows into the storage's arrays, role by role.
class StorageSink {
public:
    StorageSink(MemoryStorage& storage, const ViewFrame& made, const std::vector<Wanted>& wanted,
                float* colour)
        : storage(storage), made(made), wanted(wanted), colour(colour)
    {
    }

    void operator()(std::size_t channel, int row, int column, int count, const std::uint32_t* samples) const
    {
        const std::size_t at = static_cast<std::size_t>(row) * storage.Width() + column;
        const SampleType type = wanted[channel].channel.type;
        for (Role role : wanted[channel].roles) {
            switch (role) {
            case Role::DEPTH: std::memcpy(storage.Depth() + at, samples, count * sizeof(float)); break;
            case Role::MATERIAL: Ids(storage.MaterialIds() + at, channel, row, column, count, samples); break;
            case Role::OBJECT: Ids(storage.ObjectIds() + at, channel, row, column, count, samples); break;
            default: {
                if (colour != nullptr) {
                    float* to = colour + at * 4 + static_cast<int>(role);
                    for (int i = 0; i < count; ++i)
                        to[i * 4] = type == SampleType::UINT ? static_cast<float>(samples[i])
                                                             : std::bit_cast<float>(samples[i]);
                    break;
                }
                BMM_Color_64* pixels = storage.Pixels() + at;
                const auto member = COLOUR_MEMBER[static_cast<int>(role)];
                for (int i = 0; i < count; ++i)
                    pixels[i].*member =
                        ColourLevel(type == SampleType::UINT ? static_cast<float>(samples[i])
                                                             : std::bit_cast<float>(samples[i]));
            }
            }
        }
    }

private:
    template <typename Id>
    void Ids(Id* out, std::size_t channel, int row, int column, int count, const std::uint32_t* samples) const
    {
        const ViewChannel& source = wanted[channel].channel;
        constexpr std::uint32_t limit = std::numeric_limits<Id>::max();
        for (int i = 0; i < count; ++i) {
            if (!IdFits(samples[i], source.type, limit))
                RefuseId(samples[i], source.type, limit, source.name,
                         "pixel (" + std::to_string(made.frame.dataWindow.minX + column + i) + ", " +
                             std::to_string(made.frame.dataWindow.minY + row) + ")");
            out[i] = static_cast<Id>(IdOf(samples[i], source.type));
        }
    }

    MemoryStorage& storage;
    const ViewFrame& made;
    const std::vector<Wanted>& wanted;
    float* colour; // the floats a display transform takes, or none: levels straight away
};

const ViewChannel* ChannelNamed(const ViewFrame& made, const std::string& name)
{
    for (const ViewChannel& channel : made.channels)
        if (channel.name == name) return &channel;
    return nullptr;
}

std::string Refusal(const ViewChannel& channel, const std::string& need)
{
    return "channel " + channel.name + " is subsampled (" +
           SamplingText(channel.xSampling, channel.ySampling) + "): " + need;
}

} // namespace

std::string SamplingProblem(const ViewFrame& made, const BackgroundRule& background, std::uint32_t channels)
{
    const ChannelChoice& choice = made.choice;
    const struct {
        bool taken;
        const std::string& name;
        const char* need;
    } everyPixel[] = {
        {choice.hasDepth, choice.depth, "the filter needs its depth at every pixel"},
        {(channels & CHANNEL_MATERIAL_ID) && choice.hasMaterial, choice.material,
         "the filter needs its IDs at every pixel"},
        {(channels & CHANNEL_OBJECT_ID) && choice.hasObject, choice.object,
         "the filter needs its IDs at every pixel"},
    };
    for (const auto& channel : everyPixel) {
        const ViewChannel* found = channel.taken ? ChannelNamed(made, channel.name) : nullptr;
        if (found != nullptr && found->Subsampled()) return Refusal(*found, channel.need);
    }
    const bool alphaRule =
        background.kind == BackgroundRule::Kind::AUTO || background.kind == BackgroundRule::Kind::ALPHA;
    const ViewChannel* alpha = choice.hasColour[3] ? ChannelNamed(made, choice.colour[3]) : nullptr;
    if (alphaRule && alpha != nullptr && alpha->Subsampled())
        return Refusal(*alpha, "--background " + background.Text() +
                                   " needs its alpha at every pixel (--background none or depth:V does not)");
    return {};
}

namespace {

// What LoadStorageFrame reads and fills, worked out from the view before anything is allocated.
struct StoragePlan {
    std::vector<Wanted> wanted;
    std::vector<Role> uncovered; // roles whose part leaves pixels of the frame out
    bool converted = false;      // luminance-chroma colour, converted by the source
    bool material = false;
    bool object = false;
    std::vector<std::string> blockColour;

    bool FromChannel(const ChannelChoice& choice, int k) const
    {
        return choice.hasColour[k] && !(choice.lumaChroma && k < 3);
    }
    std::vector<ViewChannel> Read(const ExtraChannel* extra) const
    {
        std::vector<ViewChannel> read;
        for (const Wanted& w : wanted) read.push_back(w.channel);
        if (extra != nullptr) read.push_back(extra->channel);
        return read;
    }
};

// A ToolError for UINT depth, a SamplingProblem, or a subsampled `extra`.
StoragePlan PlanStorage(const SampleSource& source, const ViewFrame& made, const BackgroundRule& background,
                        std::uint32_t channels, const ExtraChannel* extra)
{
    const ChannelChoice& choice = made.choice;
    const PixelBox& window = made.frame.dataWindow;
    StoragePlan plan;
    std::vector<Wanted>& wanted = plan.wanted;
    auto want = [&](const std::string& name, Role role) {
        const auto found = std::find_if(made.channels.begin(), made.channels.end(),
                                        [&](const ViewChannel& channel) { return channel.name == name; });
        if (found == made.channels.end()) return;
        auto same = std::find_if(wanted.begin(), wanted.end(),
                                 [&](const Wanted& w) { return w.channel.name == name; });
        if (same == wanted.end()) same = wanted.insert(wanted.end(), {*found, {}});
        same->roles.push_back(role);
        if (!Covers(source.Layout().parts[found->part].frame.dataWindow, window))
            plan.uncovered.push_back(role);
    };
    // Luminance-chroma colour is converted by the source as a whole, into R, G and B.
    plan.converted = choice.lumaChroma && choice.hasColour[0];
    for (int k = 0; k < 4; ++k)
        if (plan.FromChannel(choice, k)) want(choice.colour[k], static_cast<Role>(k));
    want(choice.depth, Role::DEPTH);
    if (!choice.hasDepth) plan.uncovered.push_back(Role::DEPTH); // zeros, for a caller that only counts alpha
    plan.material = (channels & CHANNEL_MATERIAL_ID) && choice.hasMaterial;
    plan.object = (channels & CHANNEL_OBJECT_ID) && choice.hasObject;
    if (plan.material) want(choice.material, Role::MATERIAL);
    if (plan.object) want(choice.object, Role::OBJECT);
    for (const Wanted& w : wanted)
        if (w.channel.type == SampleType::UINT && std::count(w.roles.begin(), w.roles.end(), Role::DEPTH))
            throw ToolError("the depth channel " + w.channel.name +
                            " holds UINT samples; depth must be HALF or FLOAT");
    const std::string problem = SamplingProblem(made, background, channels);
    if (!problem.empty()) throw ToolError(problem);
    if (extra != nullptr && extra->channel.Subsampled())
        throw ToolError(Refusal(extra->channel, "the filter needs its IDs at every pixel"));
    for (const Wanted& w : wanted)
        if (w.channel.Subsampled()) plan.blockColour.push_back(w.channel.name);
    return plan;
}

} // namespace

FrameShape StorageShapeOf(const SampleSource& source, const ViewFrame& made, const BackgroundRule& background,
                          std::uint32_t channels, const ExtraChannel* extra, int extraRows,
                          const DisplayColour* display, ReadMemory& read)
{
    const StoragePlan plan = PlanStorage(source, made, background, channels, extra);
    read = source.MemoryOfRead(plan.Read(extra), made.frame.dataWindow, plan.converted);
    FrameShape shape;
    shape.width = static_cast<std::uint64_t>(made.frame.Width());
    shape.height = static_cast<std::uint64_t>(made.frame.Height());
    shape.extraRows = static_cast<std::uint64_t>(extraRows);
    shape.materialIds = plan.material;
    shape.objectIds = plan.object;
    shape.displayColour = display != nullptr;
    shape.readBytes = read.held + read.strip;
    return shape;
}

LoadedFrame LoadStorageFrame(SampleSource& source, const ViewFrame& made, const BackgroundRule& background,
                             std::uint32_t channels, FrameBuffers& buffers, const ExtraChannel* extra,
                             int extraRows, const DisplayColour* display)
{
    const ChannelChoice& choice = made.choice;
    const PixelBox& window = made.frame.dataWindow;
    StoragePlan plan = PlanStorage(source, made, background, channels, extra);
    const std::vector<Wanted>& wanted = plan.wanted;
    const bool material = plan.material;
    const bool object = plan.object;

    if (made.frame.Height() + extraRows > FRAME_MAX_SIDE)
        throw ToolError("the frame is " + std::to_string(made.frame.Height()) +
                        " rows high, and the host's frames hold no more than " +
                        std::to_string(FRAME_MAX_SIDE) +
                        ": there is no room for the rows of a fixed grey scale (--range)");
    MemoryStorage& storage = StorageOfSize(buffers, made.frame.Width(), made.frame.Height() + extraRows);
    auto start = [&](Role role) {
        return std::count(plan.uncovered.begin(), plan.uncovered.end(), role)
                   ? MemoryStorage::Start::ZEROED
                   : MemoryStorage::Start::UNWRITTEN;
    };
    storage.AddDepth(start(Role::DEPTH));
    if (material) storage.AddMaterialIds(start(Role::MATERIAL));
    if (object) storage.AddObjectIds(start(Role::OBJECT));
    const std::size_t count = made.frame.PixelCount();
    BMM_Color_64* pixels = storage.Pixels();
    float* colour = nullptr;
    if (display != nullptr) {
        // Every pixel starts as black, opaque where the view has no alpha; the channels read
        // write over it. An earlier frame's larger floats are given back first.
        if (buffers.colour.capacity() > count * 4) std::vector<float>().swap(buffers.colour);
        buffers.colour.assign(count * 4, 0.0f);
        if (!choice.hasColour[3])
            for (std::size_t i = 0; i < count; ++i) buffers.colour[i * 4 + 3] = 1.0f;
        colour = buffers.colour.data();
    }
    // The components no channel writes start as their level, all in one pass over the pixels.
    int filled[4], fills = 0;
    BMM_Color_64 initial{};
    for (int k = 0; k < 4 && colour == nullptr; ++k) {
        if (plan.FromChannel(choice, k) && start(static_cast<Role>(k)) == MemoryStorage::Start::UNWRITTEN)
            continue;
        filled[fills++] = k;
        initial.*COLOUR_MEMBER[k] = !choice.hasColour[k] && k == 3 ? LEVEL_FULL : 0;
    }
    if (fills == 4)
        std::fill_n(pixels, count, initial);
    else if (fills > 0)
        for (std::size_t i = 0; i < count; ++i)
            for (int f = 0; f < fills; ++f)
                pixels[i].*COLOUR_MEMBER[filled[f]] = initial.*COLOUR_MEMBER[filled[f]];

    const std::vector<ViewChannel> read = plan.Read(extra);
    const StorageSink sink(storage, made, wanted, colour);
    if (extra == nullptr) {
        source.Read(read, window, buffers.scratch, sink);
    } else {
        source.Read(read, window, buffers.scratch,
                    [&](std::size_t channel, int row, int column, int count, const std::uint32_t* samples) {
                        if (channel == wanted.size())
                            extra->sink(row, column, count, samples);
                        else
                            sink(channel, row, column, count, samples);
                    });
    }
    if (plan.converted)
        source.ReadLumaChroma(
            window, buffers.scratch,
            [&](std::size_t k, int row, int column, int count, const std::uint32_t* samples) {
                const std::size_t at = static_cast<std::size_t>(row) * storage.Width() + column;
                if (colour != nullptr) {
                    for (int i = 0; i < count; ++i)
                        colour[(at + i) * 4 + k] = std::bit_cast<float>(samples[i]);
                    return;
                }
                BMM_Color_64* to = pixels + at;
                for (int i = 0; i < count; ++i)
                    to[i].*COLOUR_MEMBER[k] = ColourLevel(std::bit_cast<float>(samples[i]));
            });
    if (colour != nullptr) {
        display->Apply({colour, count * 4});
        for (std::size_t i = 0; i < count; ++i)
            for (int k = 0; k < 4; ++k) pixels[i].*COLOUR_MEMBER[k] = ColourLevel(colour[i * 4 + k]);
    }
    // The rows below the frame hold nothing of it.
    const std::size_t all = storage.PixelCount();
    std::fill(pixels + count, pixels + all, BMM_Color_64{0, 0, 0, 0});
    std::fill(storage.Depth() + count, storage.Depth() + all, 0.0f);
    if (material) std::fill(storage.MaterialIds() + count, storage.MaterialIds() + all, 0);
    if (object) std::fill(storage.ObjectIds() + count, storage.ObjectIds() + all, 0);
    return {storage, ApplyBackground(background, {pixels, count}, {storage.Depth(), count}),
            std::move(plan.blockColour)};
}

} // namespace deepglass
