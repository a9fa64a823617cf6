#include "sim/DemoRecords.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tkan {

namespace {

constexpr std::size_t kHeaderSize = 256;
constexpr std::size_t kRowSize = 32;
constexpr std::size_t kSampleBytes = 6;
constexpr int kMaxRows = 50;

constexpr double kResistanceCap = 100000000;  // the decoder's cap, micro-ohms
constexpr double kMotorCurrentUnit = 0.0138;  // amperes per count

// splitmix64: small, fast and the same on every platform, which the
// standard library's distributions are not.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : state_(seed) {}

    double Uniform()
    {
        return static_cast<double>(Next() >> 11) / 9007199254740992.0;
    }

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

std::uint8_t Bcd(int value)
{
    value = std::clamp(value, 0, 99);
    return static_cast<std::uint8_t>(((value / 10) << 4) | (value % 10));
}

void PutText(std::vector<std::uint8_t>& block, std::size_t offset, const std::string& text)
{
    for (std::size_t i = 0; i < 20; ++i)
        block[offset + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
}

void PutWordLE(std::vector<std::uint8_t>& block, std::size_t offset, unsigned value)
{
    block[offset] = static_cast<std::uint8_t>(value & 0xFF);
    block[offset + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void PutLongBE(std::vector<std::uint8_t>& block, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        block[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Temperatures travel as tenths of a degree above -60 C.
unsigned TemperatureWord(double celsius)
{
    double word = std::round(celsius * 10) + 600;
    return static_cast<unsigned>(std::clamp(word, 0.0, 65534.0));
}

std::vector<std::uint8_t> RecordHeader(const DemoParameters& p, int type, int readings, int tapsPerSide,
                                       bool temperatures, std::size_t bodyBytes)
{
    std::vector<std::uint8_t> block(kHeaderSize + bodyBytes, 0);
    block[4] = static_cast<std::uint8_t>(type);
    block[5] = static_cast<std::uint8_t>(readings);
    block[16] = Bcd(p.month);
    block[17] = Bcd(p.day);
    block[18] = Bcd(p.year - 2000);
    block[19] = Bcd(p.hour);
    block[20] = Bcd(p.minute);
    block[21] = Bcd(p.second);
    PutText(block, 22, p.company);
    PutText(block, 42, p.station);
    PutText(block, 62, p.circuit);
    PutText(block, 82, p.manufacturer);
    PutText(block, 102, p.model);
    PutText(block, 122, p.serialNumber);
    PutText(block, 142, p.kva);
    PutText(block, 162, p.operatorName);
    if (temperatures) {
        PutWordLE(block, 184, TemperatureWord(p.measureTemp));
        PutWordLE(block, 186, TemperatureWord(p.referenceTemp));
        PutWordLE(block, 188, static_cast<unsigned>(std::clamp(std::round(p.tempConstant * 10), 0.0, 65535.0)));
    } else {
        PutWordLE(block, 184, 0xFFFF);
        PutWordLE(block, 186, 0xFFFF);
        PutWordLE(block, 188, 0xFFFF);
    }
    block[190] = static_cast<std::uint8_t>(tapsPerSide);
    return block;
}

bool IsStaticType(int type)
{
    return (type >= 1 && type <= 3) || (type >= 9 && type <= 11) || (type >= 17 && type <= 19);
}

int Windings(int type)
{
    switch (type) {
    case 3: case 11: case 19: return 3;
    case 2: case 10: case 18: return 2;
    default: return 1;
    }
}

bool IsTapType(int type) { return type >= 17 && type <= 19; }

int StaticTapsPerSide(const DemoParameters& p)
{
    // Both sides and neutral must fit in the record's 50 rows.
    return std::clamp(p.tapsPerSide, 0, (kMaxRows - 1) / 2);
}

// Timing of the test current and of the tap changer, seconds.
constexpr double kCurrentRiseTime = 0.22;     // time constant of the winding's charge
constexpr double kFirstMotorStart = 1.5;      // the current has settled by then
constexpr double kEndMargin = 0.5;
constexpr double kMotorRunTime = 4.6;         // one step of the motor drive
constexpr double kShortestMotorRun = 0.8;
constexpr double kGapBetweenRuns = 0.7;
constexpr double kTransitionLength = 0.045;   // the diverter switch's travel
constexpr double kTransitionAt = 0.75;        // of the run: the spring releases late

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

std::array<std::uint8_t, 6> EncodeSample(double resistanceMicroOhm, double currentA, double motorCurrentA)
{
    std::array<std::uint8_t, 6> s{};

    // Resistance: 13-bit mantissa, powers of six.
    unsigned rMantissa = 0, rExponent = 0;
    double r = resistanceMicroOhm;
    if (r >= kResistanceCap) {
        rMantissa = 8191;  // decodes to the cap itself
        rExponent = 7;
    } else if (r > 0) {
        double scale = 1;
        double q = std::round(r);
        while (q > 8191 && rExponent < 7) {
            ++rExponent;
            scale *= 6;
            q = std::round(r / scale);
        }
        rMantissa = static_cast<unsigned>(std::min(q, 8191.0));
    }
    s[2] = static_cast<std::uint8_t>(rMantissa & 0xFF);
    s[3] = static_cast<std::uint8_t>((rExponent << 5) | (rMantissa >> 8));

    // Test current: 12-bit mantissa of micro-amperes, powers of two.
    unsigned iMantissa = 0, iExponent = 0;
    double microAmps = currentA * 1000000.0;
    if (microAmps > 0) {
        if (!std::isfinite(microAmps)) {
            iMantissa = 4095;
            iExponent = 15;
        } else {
            double scale = 1;
            double q = std::round(microAmps);
            while (q > 4095 && iExponent < 15) {
                ++iExponent;
                scale *= 2;
                q = std::round(microAmps / scale);
            }
            iMantissa = static_cast<unsigned>(std::min(q, 4095.0));
        }
    }
    s[0] = static_cast<std::uint8_t>(iMantissa & 0xFF);
    s[1] = static_cast<std::uint8_t>((iExponent << 4) | (iMantissa >> 8));

    // Motor current: sign and 15-bit magnitude.
    unsigned magnitude = 0;
    if (!std::isnan(motorCurrentA))
        magnitude = static_cast<unsigned>(std::min(std::round(std::fabs(motorCurrentA) / kMotorCurrentUnit), 32767.0));
    bool negative = motorCurrentA < 0 && magnitude > 0;  // no negative zero
    s[4] = static_cast<std::uint8_t>(magnitude & 0xFF);
    s[5] = static_cast<std::uint8_t>((negative ? 0x80 : 0) | (magnitude >> 8));
    return s;
}

int DemoSampleRate(const DemoParameters& params) { return params.testType == 5 ? 1000 : 2000; }

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

    std::vector<std::uint8_t> record = RecordHeader(params, type, 0, 0, false,
                                                    static_cast<std::size_t>(count) * kSampleBytes);
    Noise noise(params.seed);

    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / rate;

        // Which tap the winding is on, and whether a change is under way.
        double resistance = std::max(1.0, params.windingResistance);
        double dip = 0;         // fraction of the test current lost in a transition
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

        std::array<std::uint8_t, 6> sample = EncodeSample(measured, current, motor);
        std::copy(sample.begin(), sample.end(), record.begin() + kHeaderSize + static_cast<std::size_t>(i) * kSampleBytes);
    }
    return record;
}

int DemoStaticType(const DemoParameters& params)
{
    return IsStaticType(params.testType) ? params.testType : 18;
}

std::vector<DemoReading> DemoStaticReadings(const DemoParameters& params)
{
    const int type = DemoStaticType(params);
    const int windings = Windings(type);
    const bool taps = IsTapType(type);
    const int tapsPerSide = StaticTapsPerSide(params);
    const int count = taps ? 2 * tapsPerSide + 1 : std::clamp(params.readingCount, 1, kMaxRows);
    const double setUnits = std::clamp(params.setCurrentA, 0.0, 400000.0) * 10000;
    Noise noise(params.seed);

    std::vector<DemoReading> readings;
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
        auto reading = [&](double r) {
            return static_cast<std::uint32_t>(std::clamp(std::round(r * (1 + 0.0005 * noise.Gaussian())), 1.0, 4e9));
        };
        DemoReading row;
        row.current = static_cast<std::uint32_t>(std::max(0.0, std::round(setUnits * (1 + 0.0002 * noise.Gaussian()))));
        row.r1 = reading(base);
        if (windings >= 2)
            row.r2 = reading(base * 1.013);
        if (windings >= 3)
            row.r3 = reading(base * 0.991);
        readings.push_back(row);
    }
    return readings;
}

std::vector<std::uint8_t> BuildStaticRecord(const DemoParameters& params)
{
    const int type = DemoStaticType(params);
    const std::vector<DemoReading> readings = DemoStaticReadings(params);
    std::vector<std::uint8_t> record =
        RecordHeader(params, type, static_cast<int>(readings.size()), IsTapType(type) ? StaticTapsPerSide(params) : 0,
                     params.hasTemperatures, readings.size() * kRowSize);
    for (std::size_t i = 0; i < readings.size(); ++i) {
        std::size_t row = kHeaderSize + i * kRowSize;
        PutLongBE(record, row + 1, readings[i].current);
        PutLongBE(record, row + 5, readings[i].r1);
        PutLongBE(record, row + 9, readings[i].r2);
        PutLongBE(record, row + 13, readings[i].r3);
    }
    return record;
}

std::string BuildKeyValueRecord(const DemoParameters& params)
{
    const int type = DemoStaticType(params);
    const char* typeText;
    switch (type) {
    case 2: case 10: typeText = "V1/V2"; break;
    case 3: case 11: typeText = "V1/V2/V3"; break;
    case 17: typeText = "V1 STATIC LTC"; break;
    case 18: typeText = "V1/V2 STATIC LTC"; break;
    case 19: typeText = "V1/V2/V3 STATIC LTC"; break;
    default: typeText = "V1 ONLY"; break;
    }

    std::string text;
    char line[96];
    auto add = [&](const char* key, const std::string& value) {
        text += key;
        text += '=';
        text += value.substr(0, 20);
        text += "\r\n";
    };
    std::snprintf(line, sizeof line, "%02d/%02d/%04d %02d:%02d:%02d", std::clamp(params.month, 0, 99),
                  std::clamp(params.day, 0, 99), std::clamp(params.year, 0, 9999), std::clamp(params.hour, 0, 99),
                  std::clamp(params.minute, 0, 99), std::clamp(params.second, 0, 99));
    add("DATE", line);
    add("COMPANY", params.company);
    add("STATION", params.station);
    add("CIRCUIT", params.circuit);
    add("MFR", params.manufacturer);
    add("MODEL", params.model);
    add("SN", params.serialNumber);
    add("KVA", params.kva);
    add("OPERATOR", params.operatorName);
    if (IsTapType(type))
        add("R/L", std::to_string(StaticTapsPerSide(params)));
    if (params.hasTemperatures) {
        std::snprintf(line, sizeof line, "%.1f", params.measureTemp);
        add("Tm", line);
        std::snprintf(line, sizeof line, "%.1f", params.referenceTemp);
        add("Ts", line);
        std::snprintf(line, sizeof line, "%.1f", params.tempConstant);
        add("Tk", line);
    }
    for (const DemoReading& r : DemoStaticReadings(params)) {
        add("TYPE", typeText);
        std::snprintf(line, sizeof line, "%X", static_cast<unsigned>(r.r1));
        add("R1", line);
        if (Windings(type) >= 2) {
            std::snprintf(line, sizeof line, "%X", static_cast<unsigned>(r.r2));
            add("R2", line);
        }
        std::snprintf(line, sizeof line, "%X", static_cast<unsigned>(r.current));
        add("CUR", line);
    }
    return text;
}

}  // namespace tkan
