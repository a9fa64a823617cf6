#pragma once

#include <cstdint>

namespace tkan {

// The link's clock as the simulated instrument sees it: milliseconds from an
// arbitrary start. The pseudo-terminal runs it from the steady clock; tests
// move it by hand so that minutes of instrument time pass at once.
class SimClock {
public:
    virtual ~SimClock() = default;
    virtual std::int64_t NowMs() const = 0;
};

class SteadySimClock final : public SimClock {
public:
    std::int64_t NowMs() const override;
};

class ManualSimClock final : public SimClock {
public:
    std::int64_t NowMs() const override { return now_; }
    void Advance(std::int64_t ms) { now_ += ms; }

private:
    std::int64_t now_ = 0;
};

}  // namespace tkan
