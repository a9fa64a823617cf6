#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/SimClock.h"
#include "sim/SimInstrument.h"

namespace tkan::test {

// Talks to the simulated instrument byte by byte, on a clock the test moves.
struct SimHarness {
    explicit SimHarness(SimOptions options = {}) : SimHarness(options, DemoRecordSet(options.model, options.clockStart))
    {
    }
    SimHarness(SimOptions options, std::vector<SimStoredRecord> records)
        : sim(std::make_unique<SimInstrument>(std::move(options), std::move(records), clock))
    {
    }
    // The engine holds on to the clock, so the pair stays where it was made.
    SimHarness(const SimHarness&) = delete;
    SimHarness& operator=(const SimHarness&) = delete;

    bool Send(const std::string& bytes)
    {
        return sim->Receive(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }

    std::string Take()
    {
        std::vector<std::uint8_t> out = sim->TakeOutput();
        return std::string(out.begin(), out.end());
    }

    std::string Exchange(const std::string& command)
    {
        Send(command);
        return Take();
    }

    // Moves the link's clock on in steps of stepMs, collecting what the
    // instrument sends meanwhile.
    std::string Wait(std::int64_t ms, std::int64_t stepMs = 100)
    {
        std::string got;
        for (std::int64_t t = 0; t < ms; t += stepMs) {
            clock.Advance(std::min(stepMs, ms - t));
            got += Take();
        }
        return got;
    }

    ManualSimClock clock;
    std::unique_ptr<SimInstrument> sim;
};

// The CR LF lines of a reply, without their ends.
inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

}  // namespace tkan::test
