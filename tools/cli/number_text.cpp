#include "cli/number_text.h"

#include <charconv>

std::string NumberText(float value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}
