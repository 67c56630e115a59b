#include "shot/frame_pattern.h"

#include <cctype>
#include <charconv>
#include <set>

#include "cli/tool_error.h"

namespace {

// Where the placeholder sits in `path` and how wide its number is padded; npos when there is none.
struct Placeholder {
    std::size_t at = std::string::npos;
    std::size_t length = 0;
    int width = 0;
};

std::size_t NameStart(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// The last placeholder of the file name: "%d", "%0Nd" (N up to 9) or a run of '#'.
Placeholder FindPlaceholder(const std::string& path)
{
    Placeholder found;
    for (std::size_t i = NameStart(path); i < path.size(); ++i) {
        if (path[i] == '#') {
            std::size_t end = i;
            while (end < path.size() && path[end] == '#') ++end;
            found = {i, end - i, static_cast<int>(end - i)};
            i = end - 1;
        } else if (path[i] == '%') {
            std::size_t end = i + 1;
            int width = 0;
            if (end + 1 < path.size() && path[end] == '0' &&
                std::isdigit(static_cast<unsigned char>(path[end + 1]))) {
                width = path[end + 1] - '0';
                end += 2;
            }
            if (end < path.size() && path[end] == 'd') found = {i, end + 1 - i, width};
        }
    }
    return found;
}

int FrameNumber(const std::string& text, const std::string& whole)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < 0)
        throw UsageError("--frames " + whole + ": " + (text.empty() ? "an empty part" : text) +
                         " is no frame number (frames are whole numbers from 0)");
    return value;
}

} // namespace

bool HasFramePattern(const std::string& path) { return FindPlaceholder(path).at != std::string::npos; }

std::string FramePath(const std::string& pattern, int frame)
{
    const Placeholder placeholder = FindPlaceholder(pattern);
    if (placeholder.at == std::string::npos) return pattern;
    std::string number = std::to_string(frame);
    if (number.size() < static_cast<std::size_t>(placeholder.width))
        number.insert(0, static_cast<std::size_t>(placeholder.width) - number.size(), '0');
    return pattern.substr(0, placeholder.at) + number + pattern.substr(placeholder.at + placeholder.length);
}

std::vector<int> ParseFrameRange(const std::string& text)
{
    std::vector<int> frames;
    std::set<int> seen;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string part = text.substr(start, comma - start);
        start = comma + 1;
        const std::size_t dash = part.find('-');
        const std::size_t by = part.find('x');
        const int first = FrameNumber(part.substr(0, std::min(dash, by)), text);
        int last = first;
        int step = 1;
        if (dash != std::string::npos)
            last = FrameNumber(
                part.substr(dash + 1, by == std::string::npos ? std::string::npos : by - dash - 1), text);
        if (by != std::string::npos) {
            if (dash == std::string::npos || by < dash)
                throw UsageError("--frames " + text + ": a step (x N) follows a range, as in 1-100x2");
            step = FrameNumber(part.substr(by + 1), text);
            if (step == 0) throw UsageError("--frames " + text + ": the step of " + part + " is 0");
        }
        if (last < first) throw UsageError("--frames " + text + ": the range " + part + " runs backwards");
        for (long long frame = first; frame <= last; frame += step) {
            if (!seen.insert(static_cast<int>(frame)).second) continue;
            frames.push_back(static_cast<int>(frame));
            if (frames.size() > FRAME_RANGE_MAX_COUNT)
                throw UsageError("--frames " + text + " names more than " +
                                 std::to_string(FRAME_RANGE_MAX_COUNT) + " frames");
        }
    }
    return frames;
}

std::optional<int> FrameNumberOf(const std::string& path)
{
    const std::size_t nameStart = NameStart(path);
    std::size_t end = path.size();
    while (end > nameStart && !std::isdigit(static_cast<unsigned char>(path[end - 1]))) --end;
    std::size_t begin = end;
    while (begin > nameStart && std::isdigit(static_cast<unsigned char>(path[begin - 1]))) --begin;
    if (begin == end) return std::nullopt;
    int value = 0;
    const auto [stop, error] = std::from_chars(path.data() + begin, path.data() + end, value);
    if (error != std::errc() || stop != path.data() + end) return std::nullopt;
    return value;
}
