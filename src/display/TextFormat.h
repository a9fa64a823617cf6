#pragma once

#include <algorithm>
#include <cstdio>
#include <string>

namespace tkan {

// A printf-style text of the graph and its dialogs, cut at 255 bytes.
template <typename... Args>
std::string FormatText(const char* format, Args... args)
{
    char buffer[256];
    int length = std::snprintf(buffer, sizeof buffer, format, args...);
    if (length < 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(std::min<int>(length, sizeof buffer - 1)));
}

}  // namespace tkan
