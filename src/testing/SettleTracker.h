#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace tkan {

// How far a winding's resistance has settled: a winding charges for a while
// before its reading means anything, and the engineer waits for it. The
// change is the spread of the replies of the last 10 seconds relative to the
// latest one. It changes no capture rule.
class SettleTracker {
public:
    static constexpr std::uint32_t kWindowMs = 10000;
    static constexpr double kStablePercent = 0.1;

    void Clear();
    // winding 0 to 2; tick from the tick source.
    void Add(int winding, std::uint32_t tick, double value);

    // Percent, once two replies are in the window.
    std::optional<double> ChangePercent(int winding) const;
    // Under 0.1 % over a full window of replies.
    bool Stable(int winding) const;
    // "0.04 % stable", "1.25 %", or empty before two replies.
    std::string Text(int winding) const;

private:
    struct Reply {
        std::uint32_t tick;
        double value;
    };
    std::array<std::deque<Reply>, 3> replies_;
};

}  // namespace tkan
