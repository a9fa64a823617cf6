#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tkan {

// What the dynamic and the static test dialogs share: their status texts,
// the pacing of their poll loops, and the status line's blinking.

inline constexpr char kPressStartText[] = "\r*** PRESS START TO BEGIN ***";
inline constexpr char kEnergizedText[] = "\r   *** XFMR ENERGIZED ***";
inline constexpr char kCalibratingText[] = "\r   *** XFMR CALIBRATING ***";
inline constexpr char kCompleteText[] = "\r TEST COMPLETE";

// The poll loop starts in the first tick of this one-shot timer, so that
// the dialog is on screen before it waits for the instrument.
inline constexpr int kStartTimer = 1;
inline constexpr int kStartTimerMs = 250;
// Between passes while no test runs.
inline constexpr std::uint32_t kIdlePassMs = 250;
inline constexpr std::size_t kPollLineCapacity = 512;

// The codes the Raise / Lower buttons report.
inline constexpr int kRelayPressed = 2;
inline constexpr int kRelayReleased = 3;

// The status line's last marker message, shown and blanked in turn every two
// seconds, paced by time rather than by the lines that arrive.
class StatusBlink {
public:
    static constexpr std::uint32_t kHalfPeriodMs = 2000;

    const std::string& Text() const { return text_; }
    void SetText(std::string text) { text_ = std::move(text); }
    // A new test blinks afresh.
    void Restart()
    {
        text_.clear();
        started_ = false;
    }
    // What the status line shows from `now` on, when it changes.
    std::optional<std::string> Step(std::uint32_t now)
    {
        if (text_.empty())
            return std::nullopt;
        if (!started_) {
            started_ = true;
            shown_ = true;
            tick_ = now;
            return std::nullopt;
        }
        if (now - tick_ < kHalfPeriodMs)
            return std::nullopt;
        tick_ = now;
        std::string status = shown_ ? text_ : std::string();
        shown_ = !shown_;
        return status;
    }

private:
    std::string text_;
    bool started_ = false;
    bool shown_ = false;
    std::uint32_t tick_ = 0;
};

}  // namespace tkan
