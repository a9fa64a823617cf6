#pragma once

#include <string>

namespace tkan {

// The decimals a transition's figures are shown with, on screen, on paper
// and in the command line's output alike, so that the same figures come
// out everywhere: finer than the instrument resolves, coarse enough to read.
inline constexpr int kTransitionTimeDecimals = 4;        // seconds
inline constexpr int kTransitionDurationDecimals = 1;    // milliseconds
inline constexpr int kTransitionRippleDecimals = 3;      // percent
inline constexpr int kTransitionSlopeDecimals = 1;       // amperes per second
inline constexpr int kTransitionResistanceDecimals = 2;  // micro-ohms

// The value rounded half away from zero to `decimals`, never "-0".
double RoundedFigure(double value, int decimals);
// RoundedFigure as "%.*f".
std::string FigureText(double value, int decimals);

}  // namespace tkan
