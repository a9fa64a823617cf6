#pragma once

#include <cmath>
#include <limits>

namespace tkan {

// The integer part of a value bound for device coordinates. Axis ranges come
// from files and from the operator's zoom, so a value may be far outside int
// or not a number; converting such a value directly is undefined.
inline int IntegerPart(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double kLargest = std::numeric_limits<int>::max();
    constexpr double kSmallest = std::numeric_limits<int>::min();
    if (value >= kLargest)
        return std::numeric_limits<int>::max();
    if (value <= kSmallest)
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// A coordinate held between `low` and `high`: a smaller one becomes `low`,
// then a larger one `high`; not-a-number lands on `high`, the axis's zero.
inline int HoldBetween(double value, int low, int high)
{
    if (std::isnan(value))
        return high;
    if (value < low)
        value = low;
    if (value > high)
        value = high;
    return IntegerPart(value);
}

}  // namespace tkan
