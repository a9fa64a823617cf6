#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/DemoRecords.h"
#include "sim/RecordEncoder.h"
#include "sim/SimClock.h"
#include "sim/SimOptions.h"
#include "sim/SimRecords.h"

namespace tkan {

// The instrument's side of the command protocol, free of any transport: it
// takes the bytes the program sends and produces the bytes the instrument
// answers, as time passes on the clock it is given. The pseudo-terminal and
// the in-process USB device both drive it; so do the tests, byte by byte.
//
// Not thread-safe: one caller at a time.
class SimInstrument {
public:
    // What a test run is doing, for callers that want to watch it.
    enum class RunPhase {
        Idle,
        AwaitingConfirmation,  // "SURE?" sent, waiting for "Y"
        Charging,
        Calibrating,
        Ready,      // a dynamic test waits for "G", "U" or "D"
        Recording,  // a dynamic test counts down
        Measuring,  // a static test reports its resistances
    };
    enum class Relay { Off, Raise, Lower };

    SimInstrument(SimOptions options, std::vector<SimStoredRecord> records, const SimClock& clock);

    // Bytes from the program, in whatever pieces the link delivered them.
    // While a stream is still going out they go unheard. True when they made
    // the instrument abandon a stream it was sending (the stop-stream-on-input
    // fault): bytes of it that the caller has taken but not yet put on the
    // line must be dropped too.
    bool Receive(std::span<const std::uint8_t> bytes);

    // The bytes the instrument has put on the line by now, at most maxBytes
    // of them; the rest wait for the next call.
    std::vector<std::uint8_t> TakeOutput(std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

    // Link milliseconds until the instrument does something without being
    // spoken to (0 when output is waiting); -1 when it only waits.
    std::int64_t MsUntilNextEvent();

    // Bytes put on the line as if the instrument had said them, for status
    // lines no real run would send in that order.
    void Inject(std::string_view bytes);
    // The instrument falls silent, or speaks again: while muted it still
    // hears and acts, but whatever it says is lost.
    void SetMuted(bool muted) { muted_ = muted; }

    // The link has gone down for good (the link-drop fault); the front ends
    // its side of the connection.
    bool LinkDropped() const { return linkDropped_; }

    const SimOptions& Options() const { return options_; }
    const std::vector<SimStoredRecord>& Records() const { return records_; }
    RunPhase Phase() const { return phase_; }
    Relay RelayState() const { return relay_; }
    int TestCurrent() const { return currentA_; }
    // Every command the program sent, in order, as text ("B\r" is "B",
    // ESC is "ESC", a byte nobody knows is "?" and its hex value).
    const std::vector<std::string>& CommandLog() const { return commandLog_; }

private:
    enum class Expect { Command, LoadDigits, CurrentDigits, TypeDigits, StartDigits };

    void Advance();
    std::int64_t InstrumentMs() const;
    void HandleByte(std::uint8_t byte);
    void Execute(const std::string& command);
    void FinishParameter();

    void SendProbeReply();
    void SendLine(const std::string& text);
    void SendBulk(std::vector<std::uint8_t> bytes, bool withEndMarker);
    void Queue(const std::vector<std::uint8_t>& bytes);
    void DiscardBulk();
    std::uint64_t NextNoise();
    std::int64_t NextRunEventMs() const;

    void Load(int number);
    void Stream();
    void Directory();
    void SetCurrent(const std::string& digits);
    void SetTestType(const std::string& digits);
    void StartRequest();
    void Confirm();
    void StartRun();
    void Go(Relay relay);
    void StopRun(bool answer);
    void FinishRun();
    void StaticReadingLines();
    void RecordRun();

    bool Rkz() const { return IsRkzModel(options_.model); }
    bool RunActive() const { return phase_ != RunPhase::Idle && phase_ != RunPhase::AwaitingConfirmation; }

    SimOptions options_;
    std::vector<SimStoredRecord> records_;
    const SimClock& clock_;
    std::int64_t linkStartMs_;

    // Output not yet taken by the front.
    std::vector<std::uint8_t> out_;
    std::size_t outPos_ = 0;
    std::size_t bulkEnd_ = 0;    // out_ up to here is a stream or listing
    std::size_t exemptEnd_ = 0;  // out_ up to here is a probe reply, never trickled
    bool dropWhenSent_ = false;
    bool streaming_ = false;  // a stream or listing went out since the last command
    bool abandoned_ = false;  // ... and this input cut it short
    bool linkDropped_ = false;
    bool muted_ = false;
    std::int64_t nextTrickleMs_ = 0;  // link time the next trickled byte may go
    std::uint64_t noise_;

    Expect expect_ = Expect::Command;
    std::string parameter_;

    std::size_t selected_ = 0;  // index into records_ that "r" streams
    int currentA_ = 10;
    int testKind_ = 4;  // 3 static, 4 and 5 dynamic

    RunPhase phase_ = RunPhase::Idle;
    bool staticRun_ = false;
    std::int64_t phaseDueMs_ = 0;  // instrument time of the phase's next step
    std::int64_t runStartMs_ = 0;  // when recording or measuring began
    int countdownStart_ = 120;
    int secondsReported_ = 0;
    Relay relay_ = Relay::Off;
    Relay firstRelay_ = Relay::Off;
    int tapOffset_ = 0;  // taps moved by the relays in a static run
    bool readingsSent_ = false;
    DemoParameters runParams_;  // the test a run is recording
    std::vector<InstrumentReading> runReadings_;

    std::vector<std::string> commandLog_;
};

}  // namespace tkan
