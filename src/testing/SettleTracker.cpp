#include "testing/SettleTracker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tkan {

namespace {

// A window is full once its replies span nearly the whole of it: the
// instrument reports once a second.
constexpr std::uint32_t kFullWindowMs = SettleTracker::kWindowMs - 1000;

}  // namespace

void SettleTracker::Clear()
{
    for (auto& replies : replies_)
        replies.clear();
}

void SettleTracker::Add(int winding, std::uint32_t tick, double value)
{
    if (winding < 0 || winding > 2)
        return;
    auto& replies = replies_[static_cast<std::size_t>(winding)];
    replies.push_back({tick, value});
    while (!replies.empty() && tick - replies.front().tick > kWindowMs)
        replies.pop_front();
}

std::optional<double> SettleTracker::ChangePercent(int winding) const
{
    if (winding < 0 || winding > 2)
        return std::nullopt;
    const auto& replies = replies_[static_cast<std::size_t>(winding)];
    if (replies.size() < 2 || replies.back().value == 0)
        return std::nullopt;
    auto [low, high] = std::minmax_element(replies.begin(), replies.end(),
                                           [](const Reply& a, const Reply& b) { return a.value < b.value; });
    return (high->value - low->value) / std::fabs(replies.back().value) * 100;
}

bool SettleTracker::Stable(int winding) const
{
    std::optional<double> change = ChangePercent(winding);
    if (!change || *change >= kStablePercent)
        return false;
    const auto& replies = replies_[static_cast<std::size_t>(winding)];
    return replies.back().tick - replies.front().tick >= kFullWindowMs;
}

std::string SettleTracker::Text(int winding) const
{
    std::optional<double> change = ChangePercent(winding);
    if (!change)
        return {};
    char text[48];
    std::snprintf(text, sizeof text, "%.2f %%%s", *change, Stable(winding) ? " stable" : "");
    return text;
}

}  // namespace tkan
