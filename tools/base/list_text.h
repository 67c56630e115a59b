// Lists as messages show them: "a, b, c", or with another separator.
#pragma once

#include <string>
#include <vector>

namespace deepglass {

inline std::string ListText(const std::vector<std::string>& items, const std::string& separator = ", ")
{
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
    return text;
}

} // namespace deepglass
