#include "output/video_output.h"

#include <ImfHeader.h>
#include <ImfStandardAttributes.h>

#include "base/frame_memory.h"
#include "base/number_text.h"
#include "base/tool_error.h"
#include "output/output_writer.h"
#include "png/png_format.h"

namespace deepglass {

namespace {

// The first key whose text differs between two mappings, or that only one has; "" when none.
std::string DifferingKey(const std::vector<HeaderText>& first, const std::vector<HeaderText>& other)
{
    for (std::size_t i = 0; i < std::max(first.size(), other.size()); ++i) {
        if (i >= first.size()) return other[i].name;
        if (i >= other.size() || first[i].name != other[i].name || first[i].text != other[i].text)
            return first[i].name;
    }
    return {};
}

std::string TextOf(const std::vector<HeaderText>& texts, const std::string& name)
{
    for (const HeaderText& text : texts)
        if (text.name == name) return "\"" + text.text + "\"";
    return "missing";
}

} // namespace

ShotVideo::ShotVideo(std::string path, const VideoFormat& format, std::optional<VideoRate> rate,
                     std::vector<std::pair<std::string, std::string>> tags, std::uint64_t encoderBudget)
    : path(std::move(path)), format(format), rate(rate), tags(std::move(tags)), encoderBudget(encoderBudget),
      output(this->path)
{
}

ShotVideo::~ShotVideo() = default;

void ShotVideo::Start(const ExrFrame& frame, int width, int height, const std::vector<HeaderText>& said,
                      std::vector<std::string>& warnings)
{
    // The picture's size is the file's own claim: the encoder's memory, which grows with it, is
    // held to its share of the budget before the encoder is made.
    const std::uint64_t needs =
        VideoEncoderMemory(static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height),
                           format.codec == VideoCodec::FFV1);
    if (encoderBudget != 0 && needs > encoderBudget)
        throw ToolError("its picture of " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels takes " + MemoryText(needs) + " to encode into " + path +
                        ", more than the " + MemoryText(encoderBudget) +
                        " its encoder may take (--max-memory sets the budget)");
    format.width = width;
    format.height = height;
    const Imf::Header* header = frame.header.get();
    if (rate) {
        format.rate = *rate;
    } else if (header != nullptr && Imf::hasFramesPerSecond(*header)) {
        const Imf::Rational given = Imf::framesPerSecondAttribute(*header).value();
        const VideoRate taken{
            given.n, given.d > static_cast<unsigned>(VIDEO_RATE_TERM_MAX) ? 0 : static_cast<int>(given.d)};
        if (RateTaken(taken))
            format.rate = taken;
        else
            warnings.push_back("its framesPerSecond " + std::to_string(given.n) + "/" +
                               std::to_string(given.d) + " is no rate a video takes; the video runs at " +
                               format.rate.Text() + " (--fps sets it)");
    }
    if (header != nullptr && Imf::hasTimeCode(*header)) {
        const Imf::TimeCode code = Imf::timeCodeAttribute(*header).value();
        format.timeCode = TimeCodeText(code.hours(), code.minutes(), code.seconds(), code.frame(),
                                       code.dropFrame(), format.rate);
        if (format.timeCode.empty())
            warnings.push_back("its timeCode does not fit " + format.rate.Text() +
                               " frames a second and is left out of the video");
    }
    mapping = said;
    format.tags.clear();
    for (const HeaderText& text : mapping) format.tags.emplace_back(text.name, text.text);
    format.tags.insert(format.tags.end(), tags.begin(), tags.end());
    encoder = std::make_unique<VideoEncoder>(output.TemporaryPath(), path, format);
}

void ShotVideo::Add(std::size_t place, const ExrFrame& frame, const BMM_Color_64* colour, bool opaque,
                    const std::vector<HeaderText>& said, std::vector<std::string>& warnings)
{
    {
        std::unique_lock<std::mutex> hold(lock);
        turn.wait(hold, [&] { return failure || next == place; });
        if (failure) throw ToolError("not written into " + path + ", as " + *failure);
    }
    const DisplayRows rows(frame, colour, opaque);
    const int channels = format.rgba ? 4 : 1;
    if (rows.Cropped())
        warnings.push_back("part of the data window lies outside the display window and is not in " + path);
    if (!encoder) {
        Start(frame, rows.Width(), rows.Height(), said, warnings);
    } else if (rows.Width() != format.width || rows.Height() != format.height) {
        throw ToolError("its picture is " + std::to_string(rows.Width()) + " x " +
                        std::to_string(rows.Height()) + ", and the video's are " +
                        std::to_string(format.width) + " x " + std::to_string(format.height));
    } else if (const std::string key = DifferingKey(mapping, said); !key.empty()) {
        throw ToolError("its depth mapping's " + key + " is " + TextOf(said, key) + ", and the video's " +
                        TextOf(mapping, key) + ": a video holds one mapping");
    }
    std::vector<BMM_Color_64> buffer;
    const bool eight = format.bits == 8;
    encoder->Add([&](int y, std::uint16_t* levels) {
        const BMM_Color_64* pixels = rows.Row(y, buffer);
        for (int x = 0; x < rows.Width(); ++x) {
            const std::uint16_t pixel[4] = {pixels[x].r, pixels[x].g, pixels[x].b, pixels[x].a};
            for (int c = 0; c < channels; ++c) *levels++ = eight ? EightBitLevel(pixel[c]) : pixel[c];
        }
    });
    const std::lock_guard<std::mutex> hold(lock);
    ++next;
    turn.notify_all();
}

void ShotVideo::Settle(std::size_t place, const std::string& reason)
{
    const std::lock_guard<std::mutex> hold(lock);
    if (place < next || failure) return;
    failure = reason;
    turn.notify_all();
}

std::optional<std::string> ShotVideo::Failure() const
{
    const std::lock_guard<std::mutex> hold(lock);
    return failure;
}

void ShotVideo::Finish()
{
    if (const std::optional<std::string> failed = Failure())
        throw ToolError(path + " not written, as " + *failed +
                        ": a video holds every frame of its run or none");
    if (!encoder) throw ToolError(path + " not written: no frame was filtered into it");
    encoder->Finish();
    encoder.reset();
    output.Commit();
}

} // namespace deepglass
