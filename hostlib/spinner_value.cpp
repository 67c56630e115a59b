#include "spinner_value.h"

#include <cmath>
#include <limits>

namespace {
constexpr long long WHOLE_SATURATION = 1LL << 40; // far beyond the int range, far from overflow
constexpr long long MOVE_SATURATION = 1LL << 33;  // twice the width of the int range
} // namespace

SpinnerLimits OrderedLimits(int first, int second)
{
    return first <= second ? SpinnerLimits{first, second} : SpinnerLimits{second, first};
}

int ClampToLimits(long long value, SpinnerLimits limits)
{
    if (value < limits.minimum) return limits.minimum;
    if (value > limits.maximum) return limits.maximum;
    return static_cast<int>(value);
}

int SteppedValue(int value, long long count, int step, SpinnerLimits limits)
{
    // A move of more than twice the int range lands on a limit from any value; bounding it there
    // keeps the product and the sum far inside 64 bits.
    const long long stepSize = step < 0 ? -static_cast<long long>(step) : step;
    const long long bound = stepSize == 0 ? 0 : MOVE_SATURATION / stepSize;
    if (count > bound) count = bound;
    if (count < -bound) count = -bound;
    return ClampToLimits(static_cast<long long>(value) + count * static_cast<long long>(step), limits);
}

int RoundToWhole(float value)
{
    if (std::isnan(value)) return 0;
    const double rounded = std::round(static_cast<double>(value));
    if (rounded <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (rounded >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(rounded);
}

std::optional<long long> ParseWholeNumber(std::string_view text)
{
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);

    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;

    long long magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        if (magnitude < WHOLE_SATURATION) magnitude = magnitude * 10 + (c - '0');
    }
    if (magnitude > WHOLE_SATURATION) magnitude = WHOLE_SATURATION;
    return negative ? -magnitude : magnitude;
}
