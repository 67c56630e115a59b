// The value arithmetic of the stand-in spinner control, apart from its window: a whole number kept
// within inclusive limits, stepped by clicks and drags, and read back from what the user typed.
#pragma once

#include <optional>
#include <string_view>

struct SpinnerLimits {
    int minimum;
    int maximum;
};

// Limits given in either order, so that the value always has a non-empty range to live in.
SpinnerLimits OrderedLimits(int first, int second);

int ClampToLimits(long long value, SpinnerLimits limits);

// `value` moved by `count` steps of `step`, without overflow, then kept within the limits.
int SteppedValue(int value, long long count, int step, SpinnerLimits limits);

// A float rounded to the nearest whole number and saturated to the int range; NaN gives 0.
int RoundToWhole(float value);

// The whole number in typed text: optional blanks around an optional sign and decimal digits.
// Anything else (empty text, letters, a decimal point) is no number. Digits beyond the int range
// saturate, so that a huge typed value lands on the nearer limit rather than being refused.
std::optional<long long> ParseWholeNumber(std::string_view text);
