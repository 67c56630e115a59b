#include "base/number_text.h"

#include <charconv>
#include <cstdio>

namespace deepglass {

std::string NumberText(float value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string ExponentText(float value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
    const std::string written(text, result.ptr); // "1e+20", "2.5e-07": a sign and two digits at least
    const std::size_t exponent = written.find('e') + 1;
    std::size_t digits = exponent + 1;
    while (digits + 1 < written.size() && written[digits] == '0') ++digits;
    return written.substr(0, exponent) + (written[exponent] == '-' ? "-" : "") + written.substr(digits);
}

std::string MemoryText(std::uint64_t bytes)
{
    const char* units[] = {"bytes", "KB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 6) value /= 1024, ++unit;
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

std::string ShareText(std::size_t part, std::size_t whole)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%",
                  whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

} // namespace deepglass
