#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tkan {

// The instruments the simulator can pretend to be. Other is an instrument
// that answers the protocol but is none of the models the program knows.
enum class SimModel { Tkan, Tkan40, Rkz10, Rkz40, Other };

// Ways the simulated instrument can misbehave, each on request.
enum class SimFault {
    Silence,            // answers nothing at all
    Garbage,            // every reply after the probe is noise with no line end
    NoCarriageReturn,   // reply lines end in a line feed only
    NoEndMarker,        // streams and listings stop without their end marker
    CutStream,          // streams and listings stop halfway
    ManyRecords,        // the directory lists at least 101 records
    RefuseRecords,      // every record selection is answered "not found"
    Trickle,            // replies after the probe come one character every 2 s
    LinkDrop,           // the link goes down halfway through a stream or listing, or at READY
    StopStreamOnInput,  // a byte arriving mid-stream makes it drop the rest of the stream at once
    EmptyStream,        // the download command brings the end marker and no record data
};

// A calendar time as the instrument's clock keeps it (no time zone).
struct SimDate {
    int year = 2024, month = 3, day = 5;
    int hour = 10, minute = 15, second = 0;

    // The same date moved on by whole seconds, calendar rules applied.
    SimDate Plus(std::int64_t seconds) const;
    // The host's local time now: a simulator started by hand shows the
    // operator's own date.
    static SimDate Today();
};

struct SimOptions {
    SimModel model = SimModel::Tkan;
    int baud = 115200;  // 115200 or 19200
    // How much faster than the link's clock the instrument's own clock runs:
    // 60 lets a 120-s test finish in 2 s. Link faults (the trickle) and the
    // line's pacing stay in real time.
    double clockFactor = 1;
    bool paced = true;  // output limited to the line rate
    std::vector<SimFault> faults;
    SimDate clockStart;      // the instrument's clock when the simulator starts
    std::uint64_t seed = 1;  // for noise in readings and garbage

    bool Has(SimFault fault) const;
};

// Names as the command line spells them ("TKAN", "TKAN-40", "RKZ10P",
// "RKZ40P", "OTHER"; "silence", "garbage", ...).
std::optional<SimModel> ParseSimModel(std::string_view name);
std::string SimModelName(SimModel model);
std::optional<SimFault> ParseSimFault(std::string_view name);
std::string SimFaultName(SimFault fault);
std::vector<std::string> SimFaultNames();

// The model's answer to the version query, without its line end.
std::string SimVersionText(SimModel model);

bool IsRkzModel(SimModel model);
// The highest test current (A) the model can drive.
int SimMaxCurrent(SimModel model);

}  // namespace tkan
