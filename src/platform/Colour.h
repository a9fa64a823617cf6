#pragma once

#include <cstdint>

namespace tkan {

// Red + 256 x green + 65536 x blue, each 0 to 255: the packing the settings
// store and the canvas draws with, so a stored colour passes straight through.
using CanvasColour = std::uint32_t;

constexpr CanvasColour CanvasRgb(int red, int green, int blue)
{
    return static_cast<CanvasColour>(red & 0xFF) | (static_cast<CanvasColour>(green & 0xFF) << 8) |
           (static_cast<CanvasColour>(blue & 0xFF) << 16);
}

constexpr int RedOf(CanvasColour colour)
{
    return static_cast<int>(colour & 0xFF);
}
constexpr int GreenOf(CanvasColour colour)
{
    return static_cast<int>((colour >> 8) & 0xFF);
}
constexpr int BlueOf(CanvasColour colour)
{
    return static_cast<int>((colour >> 16) & 0xFF);
}

inline constexpr CanvasColour kCanvasBlack = CanvasRgb(0, 0, 0);
inline constexpr CanvasColour kCanvasWhite = CanvasRgb(255, 255, 255);

}  // namespace tkan
