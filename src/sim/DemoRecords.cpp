#include "sim/DemoRecords.h"

#include <algorithm>
#include <cmath>

#include "records/HeaderFields.h"

namespace tkan {

TestHeader DemoHeader()
{
    TestHeader h;
    h.company = "Northfield Power Co";
    h.station = "Harlow Substation";
    h.circuit = "T2 138/13.8 kV";
    h.manufacturer = "Calder Electric";
    h.model = "RS-III 600 Y";
    h.serialNumber = "CE-20417-B";
    h.kva = "28000";
    h.operatorName = "R. M\xFCller";
    return h;
}

namespace {

constexpr int kMaxRows = 50;

// splitmix64: small, fast and the same on every platform, which the
// standard library's distributions are not.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : state_(seed) {}

    double Uniform() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

    // Roughly normal, unit deviation: four uniforms summed (Irwin-Hall).
    double Gaussian()
    {
        double sum = Uniform() + Uniform() + Uniform() + Uniform();
        return (sum - 2.0) * 1.7320508075688772;
    }

private:
    std::uint64_t Next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    std::uint64_t state_;
};

// The test's description as the instrument keeps it, without readings.
InstrumentRecord DemoInstrumentRecord(const DemoParameters& p, int type)
{
    InstrumentRecord r;
    r.testType = type;
    r.date = p.date;
    for (const HeaderFieldInfo& field : kHeaderFields)
        r.header.*field.member = (p.header.*field.member).substr(0, kHeaderBlockTextLength);
    return r;
}

bool IsStaticType(int type)
{
    return (type >= 1 && type <= 3) || (type >= 9 && type <= 11) || IsTapChangerType(type);
}

int StaticTapsPerSide(const DemoParameters& p)
{
    // Both sides and neutral must fit in the record's 50 rows.
    return std::clamp(p.tapsPerSide, 0, (kMaxRows - 1) / 2);
}

// Timing of the test current and of the tap changer, seconds.
constexpr double kCurrentRiseTime = 0.22;  // time constant of the winding's charge
constexpr double kFirstMotorStart = 1.5;   // the current has settled by then
constexpr double kEndMargin = 0.5;
constexpr double kMotorRunTime = 4.6;  // one step of the motor drive
constexpr double kShortestMotorRun = 0.8;
constexpr double kGapBetweenRuns = 0.7;
constexpr double kTransitionLength = 0.045;  // the diverter switch's travel
constexpr double kTransitionAt = 0.75;       // of the run: the spring releases late

// The apparent resistance (micro-ohms) while the diverter switch travels,
// against the fraction `u` of the transition elapsed: one transition
// resistor alone, both bridging the two taps, the other alone, then the new
// tap's main contact.
double TransitionResistance(double u, double before, double after)
{
    auto ramp = [](double x, double from, double to, double width) {
        double f = std::clamp(x / width, 0.0, 1.0);
        return from + (to - from) * f;
    };
    constexpr double kEdge = 0.03;  // the contacts make and break in about 1 ms
    double single1 = 5.5 * before, bridge = 3.2 * (before + after) / 2, single2 = 5.5 * after;
    if (u < 0.22)
        return ramp(u, before, single1, kEdge);
    if (u < 0.62)
        return ramp(u - 0.22, single1, bridge, kEdge);
    if (u < 0.84)
        return ramp(u - 0.62, bridge, single2, kEdge);
    return ramp(u - 0.84, single2, after, kEdge);
}

}  // namespace

int DemoSampleRate(const DemoParameters& params)
{
    return params.testType == 5 ? 1000 : 2000;
}

int DemoSeconds(const DemoParameters& params)
{
    return std::clamp(params.seconds, 1, params.testType == 5 ? 240 : 120);
}

std::vector<DemoTapChange> DemoTapChanges(const DemoParameters& params)
{
    std::vector<DemoTapChange> changes;
    double window = DemoSeconds(params) - kFirstMotorStart - kEndMargin;
    int count = std::clamp(params.tapChanges, 0, 50);
    double slot = 0, run = 0;
    for (; count > 0; --count) {
        slot = window / count;
        run = std::min(kMotorRunTime, slot - kGapBetweenRuns);
        if (run >= kShortestMotorRun)
            break;
    }
    double resistance = params.windingResistance;
    for (int k = 0; k < count; ++k) {
        DemoTapChange c;
        c.motorStart = kFirstMotorStart + k * slot;
        c.motorStop = c.motorStart + run;
        c.transitionStart = c.motorStart + kTransitionAt * run;
        c.transitionLength = kTransitionLength;
        c.resistanceBefore = resistance;
        resistance = std::max(1.0, resistance + params.tapStep);
        c.resistanceAfter = resistance;
        changes.push_back(c);
    }
    return changes;
}

std::vector<std::uint8_t> BuildDynamicRecord(const DemoParameters& params)
{
    const int type = params.testType == 5 ? 5 : 4;
    const int rate = DemoSampleRate(params);
    const int count = DemoSeconds(params) * rate;
    const double setCurrent = std::clamp(params.setCurrentA, 0.0, 134.0);
    const std::vector<DemoTapChange> changes = DemoTapChanges(params);

    InstrumentRecord header = DemoInstrumentRecord(params, type);
    std::vector<std::uint8_t> record = EncodeRecordHeader(header);
    record.reserve(record.size() + static_cast<std::size_t>(count) * kSampleSize);
    Noise noise(params.seed);

    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / rate;

        // Which tap the winding is on, and whether a change is under way.
        double resistance = std::max(1.0, params.windingResistance);
        double dip = 0;  // fraction of the test current lost in a transition
        double motor = 0;
        for (const DemoTapChange& c : changes) {
            double end = c.transitionStart + c.transitionLength;
            if (t >= end) {
                resistance = c.resistanceAfter;
                // The winding's inductance lets the current recover slowly.
                dip = std::max(dip, 0.06 * std::exp(-(t - end) / 0.12));
            } else if (t >= c.transitionStart) {
                double u = (t - c.transitionStart) / c.transitionLength;
                resistance = TransitionResistance(u, c.resistanceBefore, c.resistanceAfter);
                dip = 0.06 * (1 - std::exp(-(t - c.transitionStart) / 0.01));
            }
            if (t >= c.motorStart && t < c.motorStop) {
                // Inrush, then the running load, a little lighter once the
                // spring has released.
                double run = t < end ? 1.9 : 1.6;
                motor = run + (7.4 - run) * std::exp(-(t - c.motorStart) / 0.06);
                motor = std::max(0.0, motor + 0.05 * noise.Gaussian());
            }
        }

        double rise = 1 - std::exp(-t / kCurrentRiseTime);
        double current = setCurrent * rise * (1 - dip);
        if (i > 0)
            current *= 1 + 0.0015 * noise.Gaussian();

        // While the current still rises the winding's inductance adds to
        // the voltage the instrument sees; it reads high until it settles.
        double charging = std::min(9.0, std::exp(-t / kCurrentRiseTime) / std::max(rise, 1e-9));
        double measured = resistance * (1 + charging) * (1 + 0.002 * noise.Gaussian());

        AppendSample(record, measured, current, motor);
    }
    return record;
}

int DemoStaticType(const DemoParameters& params)
{
    return IsStaticType(params.testType) ? params.testType : 18;
}

std::vector<InstrumentReading> DemoStaticReadings(const DemoParameters& params)
{
    const int type = DemoStaticType(params);
    const int windings = WindingsOfType(type);
    const bool taps = IsTapChangerType(type);
    const int tapsPerSide = StaticTapsPerSide(params);
    const int count = taps ? 2 * tapsPerSide + 1 : std::clamp(params.readingCount, 1, kMaxRows);
    const double setUnits = std::clamp(params.setCurrentA, 0.0, 400000.0) * 10000;
    Noise noise(params.seed);

    std::vector<InstrumentReading> readings;
    for (int i = 0; i < count; ++i) {
        // A regulator's reversing switch puts more of the series winding in
        // circuit on either side of neutral, so the resistance rises both
        // ways; the raise side's contacts add a little of their own.
        double base = std::max(1.0, params.windingResistance);
        if (taps) {
            int position = tapsPerSide - i;  // L positive, R negative
            base += std::abs(position) * std::fabs(params.tapStep);
            if (position < 0)
                base *= 1.003;
        }
        auto reading = [&](double r) { return std::clamp(std::round(r * (1 + 0.0005 * noise.Gaussian())), 1.0, 4e9); };
        InstrumentReading row;
        row.current = std::max(0.0, std::round(setUnits * (1 + 0.0002 * noise.Gaussian())));
        row.r1 = reading(base);
        if (windings >= 2)
            row.r2 = reading(base * 1.013);
        if (windings >= 3)
            row.r3 = reading(base * 0.991);
        readings.push_back(row);
    }
    return readings;
}

namespace {

InstrumentRecord DemoStaticRecord(const DemoParameters& params)
{
    const int type = DemoStaticType(params);
    InstrumentRecord r = DemoInstrumentRecord(params, type);
    r.hasTemperatures = params.hasTemperatures;
    r.measureTemp = params.measureTemp;
    r.referenceTemp = params.referenceTemp;
    r.tempConstant = params.tempConstant;
    r.tapsPerSide = IsTapChangerType(type) ? StaticTapsPerSide(params) : 0;
    r.readings = DemoStaticReadings(params);
    return r;
}

}  // namespace

std::vector<std::uint8_t> BuildStaticRecord(const DemoParameters& params)
{
    return EncodeStaticRecord(DemoStaticRecord(params));
}

std::string BuildKeyValueRecord(const DemoParameters& params)
{
    return EncodeKeyValueRecord(DemoStaticRecord(params));
}

}  // namespace tkan
