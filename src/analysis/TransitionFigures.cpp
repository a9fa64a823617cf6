#include "analysis/TransitionFigures.h"

#include <cmath>
#include <cstdio>

namespace tkan {

double RoundedFigure(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double r = std::round(value * scale) / scale;
    return r == 0 ? 0 : r;
}

std::string FigureText(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, RoundedFigure(value, decimals));
    return text;
}

}  // namespace tkan
