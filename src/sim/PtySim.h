#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/SimClock.h"
#include "sim/SimInstrument.h"
#include "sim/SimOptions.h"
#include "sim/SimRecords.h"

namespace tkan {

// The simulated instrument behind a pseudo-terminal (POSIX), engine and
// clock included: the program opens the terminal's path as it would a
// serial port. Like a real
// instrument, it understands the program only while the program's side runs
// at the instrument's speed with 8 data bits, no parity and one stop bit, and
// it sends no faster than the line would carry (10 bits a byte) unless it is
// told not to pace.
//
// The engine runs on a thread of its own from Start() to Stop(); while it
// runs, touch the engine only through Inspect(). Line speed and pacing come
// from the options; the instrument's clock is the steady clock.
class PtySim {
public:
    // The demonstration records of the model, dated back from clockStart.
    explicit PtySim(SimOptions options = {});
    PtySim(SimOptions options, std::vector<SimStoredRecord> records);
    ~PtySim();
    PtySim(const PtySim&) = delete;
    PtySim& operator=(const PtySim&) = delete;

    // Creates the terminal and starts answering on it. 1 on success; on
    // failure error says what went wrong.
    int Start(std::string& error);
    void Stop();

    // The path the program opens, e.g. /dev/pts/3.
    const std::string& SlavePath() const { return slavePath_; }

    // Runs fn on the engine while the front is not using it.
    void Inspect(const std::function<void(SimInstrument&)>& fn);
    // The engine's log of every command the program sent.
    std::vector<std::string> CommandLog();

    // The link-drop fault has hung the terminal up.
    bool LinkDropped() const { return linkDropped_; }

private:
    void Run();
    bool LineSettingsMatch() const;
    void Pump(std::int64_t nowMs);
    void DropLink();
    void CloseAll();

    SteadySimClock clock_;
    SimInstrument engine_;
    int baud_;
    bool paced_;
    double bytesPerMs_;

    int master_ = -1;
    // The front keeps the terminal's other side open itself, so that the
    // terminal and its line settings outlive the program closing and
    // reopening the port, as a real port's do.
    int holder_ = -1;
    int wakeRead_ = -1, wakeWrite_ = -1;
    std::string slavePath_;

    std::thread thread_;
    std::mutex engineLock_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> linkDropped_{false};

    // Bytes taken from the engine that the terminal has not accepted yet.
    std::vector<std::uint8_t> pending_;
    double credit_ = 0;  // bytes the line may carry now
    std::int64_t creditAtMs_ = 0;
    std::int64_t drainSinceMs_ = -1;  // when the last byte before a drop was written
};

}  // namespace tkan
