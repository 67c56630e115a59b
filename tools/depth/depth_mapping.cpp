#include "depth/depth_mapping.h"

#include <charconv>
#include <cmath>

#include "base/number_text.h"
#include "base/tool_error.h"
#include "base/utf8_text.h"
#include "deepglass_interface.h"

namespace deepglass {

namespace {

constexpr const char* WHITE = "near";
constexpr const char* LEVEL_ZERO = "far or nothing rendered";
constexpr const char* NO_SCALE = "none";

std::string Key(const char* name) { return std::string(MAPPING_PREFIX) + name; }

const char* CurveText(DepthCurve curve) { return curve == DepthCurve::INVERSE ? "inverse" : "linear"; }

// The texts under the prefix, looked up by key.
class MappingReader {
public:
    explicit MappingReader(const std::vector<std::pair<std::string, std::string>>& texts) : texts(texts) {}

    const std::string* Find(const char* name) const
    {
        const std::string key = Key(name);
        for (const auto& [found, value] : texts)
            if (found == key) return &value;
        return nullptr;
    }
    const std::string& Required(const char* name) const
    {
        const std::string* value = Find(name);
        if (value == nullptr) throw ToolError("the depth mapping has no " + Key(name));
        return *value;
    }
    [[noreturn]] void Damaged(const char* name, const std::string& value, const std::string& wanted) const
    {
        throw ToolError("the depth mapping's " + Key(name) + " is \"" + value + "\", not " + wanted);
    }
    template <typename Number>
    Number NumberOf(const char* name, const std::string& value, const char* wanted) const
    {
        Number number{};
        const char* end = value.data() + value.size();
        const auto result = std::from_chars(value.data(), end, number);
        if (value.empty() || result.ec != std::errc() || result.ptr != end) Damaged(name, value, wanted);
        return number;
    }
    // A depth magnitude the filter's scale can have.
    float Magnitude(const char* name) const
    {
        const std::string& value = Required(name);
        const float depth = NumberOf<float>(name, value, "a depth magnitude");
        if (!(depth >= 0.0f && depth < DEPTH_LIMIT))
            Damaged(name, value, "a depth magnitude from 0 to below " + ExponentText(DEPTH_LIMIT));
        return depth;
    }

private:
    const std::vector<std::pair<std::string, std::string>>& texts;
};

} // namespace

std::vector<HeaderText> MappingTexts(const DepthMapping& mapping)
{
    using Type = HeaderText::Type;
    std::vector<HeaderText> texts;
    auto add = [&texts](const char* name, std::string text, Type type = Type::STRING) {
        texts.push_back({Key(name), std::move(text), type});
    };
    if (mapping.scale) {
        add("near", NumberText(mapping.scale->nearest), Type::FLOAT);
        add("far", NumberText(mapping.scale->farthest), Type::FLOAT);
    } else {
        add("near", NO_SCALE);
        add("far", NO_SCALE);
    }
    add("curve", CurveText(mapping.curve));
    add("bits", std::to_string(mapping.bits), Type::INT);
    add("grey", mapping.grey);
    add("white", WHITE);
    add("level-zero", LEVEL_ZERO);
    add("depth", mapping.depth);
    if (!mapping.view.empty()) add("view", mapping.view);
    add("background", mapping.background);
    add("pixels", mapping.pixels);
    if (mapping.frame) add("frame", std::to_string(*mapping.frame), Type::INT);
    add("tool", mapping.tool);
    add("module", mapping.module);
    return texts;
}

std::vector<PngText> MappingPngText(const DepthMapping& mapping)
{
    // A picture's text is UTF-8; a channel or view name is bytes, which NameText makes UTF-8.
    std::vector<PngText> text;
    for (HeaderText& entry : MappingTexts(mapping))
        text.push_back({std::move(entry.name), NameText(entry.text)});
    return text;
}

bool HasMapping(const std::vector<std::pair<std::string, std::string>>& texts)
{
    for (const auto& [key, value] : texts)
        if (key.rfind(MAPPING_PREFIX, 0) == 0) return true;
    return false;
}

DepthMapping ParseMapping(const std::vector<std::pair<std::string, std::string>>& texts)
{
    const MappingReader reader(texts);
    DepthMapping mapping;
    const bool noScale = reader.Required("near") == NO_SCALE;
    if (noScale != (reader.Required("far") == NO_SCALE))
        reader.Damaged(noScale ? "far" : "near", reader.Required(noScale ? "far" : "near"), NO_SCALE);
    if (!noScale) {
        mapping.scale = DepthScale{reader.Magnitude("near"), reader.Magnitude("far")};
        if (mapping.scale->nearest > mapping.scale->farthest)
            reader.Damaged("far", reader.Required("far"), "at or beyond deepglass:near");
    }
    const std::string& curve = reader.Required("curve");
    if (curve != "linear" && curve != "inverse") reader.Damaged("curve", curve, "linear or inverse");
    mapping.curve = curve == "inverse" ? DepthCurve::INVERSE : DepthCurve::LINEAR;
    const std::string& bits = reader.Required("bits");
    mapping.bits = reader.NumberOf<int>("bits", bits, "8 or 16");
    if (mapping.bits != 8 && mapping.bits != 16) reader.Damaged("bits", bits, "8 or 16");
    if (reader.Required("white") != WHITE) reader.Damaged("white", reader.Required("white"), WHITE);
    if (reader.Required("level-zero") != LEVEL_ZERO)
        reader.Damaged("level-zero", reader.Required("level-zero"), std::string("\"") + LEVEL_ZERO + "\"");
    mapping.grey = reader.Required("grey");
    mapping.depth = reader.Required("depth");
    if (const std::string* view = reader.Find("view")) mapping.view = *view;
    mapping.background = reader.Required("background");
    mapping.pixels = reader.Required("pixels");
    if (const std::string* frame = reader.Find("frame"))
        mapping.frame = reader.NumberOf<int>("frame", *frame, "a frame number");
    mapping.tool = reader.Required("tool");
    mapping.module = reader.Required("module");
    return mapping;
}

std::vector<std::pair<std::string, std::string>> VideoFrameTexts(const std::vector<int>& numbers)
{
    if (numbers.empty()) return {};
    // Runs of three or more frames a step apart as FIRST-LASTxSTEP ("x1" left out), the rest alone.
    std::string list;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t end = i + 1;
        const long step = end < numbers.size() ? static_cast<long>(numbers[end]) - numbers[i] : 0;
        while (step > 0 && end < numbers.size() && static_cast<long>(numbers[end]) - numbers[end - 1] == step)
            ++end;
        if (end - i < 3) end = i + 1;
        list += (list.empty() ? "" : ",") + std::to_string(numbers[i]);
        if (end - i >= 3)
            list += "-" + std::to_string(numbers[end - 1]) + (step == 1 ? "" : "x" + std::to_string(step));
        i = end;
    }
    return {{Key("first-frame"), std::to_string(numbers.front())},
            {Key("last-frame"), std::to_string(numbers.back())},
            {Key("frames"), list}};
}

std::optional<std::vector<int>>
ParseVideoFrames(const std::vector<std::pair<std::string, std::string>>& texts)
{
    constexpr std::size_t most = VIDEO_FRAMES_MAX;
    const MappingReader reader(texts);
    const std::string* list = reader.Find("frames");
    if (list == nullptr) return std::nullopt;
    const auto damaged = [&] { reader.Damaged("frames", *list, "a list of rising frame numbers"); };
    std::vector<int> numbers;
    for (std::size_t start = 0; start <= list->size();) {
        const std::size_t comma = std::min(list->find(',', start), list->size());
        const std::string part = list->substr(start, comma - start);
        start = comma + 1;
        const std::size_t dash = part.find('-', 1);
        const std::size_t by = part.find('x');
        const int first =
            reader.NumberOf<int>("frames", part.substr(0, std::min(dash, by)), "a list of frame numbers");
        int last = first, step = 1;
        if (dash != std::string::npos)
            last = reader.NumberOf<int>("frames",
                                        part.substr(dash + 1, by == std::string::npos ? by : by - dash - 1),
                                        "a list of frame numbers");
        if (by != std::string::npos) {
            if (dash == std::string::npos || by < dash) damaged();
            step = reader.NumberOf<int>("frames", part.substr(by + 1), "a list of frame numbers");
        }
        if (step < 1 || last < first || (!numbers.empty() && first <= numbers.back())) damaged();
        // Counted before listed, so that a list naming vast runs is refused at once.
        if ((static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(first)) /
                static_cast<std::uint64_t>(step) >=
            most - std::min(most, numbers.size()))
            reader.Damaged("frames", *list, "a list of at most " + std::to_string(most) + " frames");
        for (long frame = first; frame <= last; frame += step) numbers.push_back(static_cast<int>(frame));
    }
    for (const auto& [name, number] :
         {std::pair{"first-frame", numbers.front()}, std::pair{"last-frame", numbers.back()}})
        if (reader.NumberOf<int>(name, reader.Required(name), "a frame number") != number)
            reader.Damaged(name, reader.Required(name), "the list's own (" + std::to_string(number) + ")");
    return numbers;
}

double DepthOfLevel(const DepthScale& scale, DepthCurve curve, std::uint32_t level, int bits)
{
    const double near = scale.nearest;
    const double far = scale.farthest;
    if (level == 0) return far;
    const double t = static_cast<double>(level) / static_cast<double>((1u << bits) - 1);
    if (curve == DepthCurve::LINEAR) return far - t * (far - near);
    if (near == 0.0) return 0.0; // every level above 0 stands for 1/depth beyond any number
    return 1.0 / (1.0 / far + t * (1.0 / near - 1.0 / far));
}

std::string MappingText(const DepthMapping& mapping)
{
    std::string text;
    for (const HeaderText& entry : MappingTexts(mapping))
        text += "  " + entry.name + " = " + entry.text + "\n";
    return text;
}

} // namespace deepglass
