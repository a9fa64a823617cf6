#include "analysis/TransitionTable.h"

#include <cmath>
#include <cstdio>

namespace tkan {

std::vector<std::optional<double>> TransitionValues(int number, const Transition& t)
{
    return {number,
            t.startS,
            t.endS,
            t.durationMs,
            t.ripplePct,
            t.slopeAPerS,
            t.resistanceBefore,
            t.resistanceAfter,
            t.openCircuit ? 1.0 : 0.0};
}

double RoundedTo(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double r = std::round(value * scale) / scale;
    return r == 0 ? 0 : r;
}

std::string FixedText(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, RoundedTo(value, decimals));
    return text;
}

std::string TransitionJudgement(const Transition& t)
{
    if (t.fails && t.standsOut)
        return "Fail, stands out";
    if (t.fails)
        return "Fail";
    return t.standsOut ? "Stands out" : "Pass";
}

}  // namespace tkan
