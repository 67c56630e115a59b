// Lists as messages show them: "a, b, c".
#pragma once

#include <string>
#include <vector>

inline std::string ListText(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}
