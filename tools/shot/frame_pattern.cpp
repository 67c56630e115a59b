#include "shot/frame_pattern.h"

#include <cctype>
#include <charconv>

namespace deepglass {

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

} // namespace deepglass
