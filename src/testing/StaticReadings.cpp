#include "testing/StaticReadings.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "records/TestRecord.h"
#include "records/TextLines.h"

namespace tkan {

namespace {

constexpr int kSecondsPerCapture = 60;

std::string ClockText(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

std::string CorrectedText(double rmeas, const TemperatureEntry& temperatures)
{
    std::optional<double> corrected = CorrectToReference(rmeas, temperatures);
    return corrected ? FormatResistance(*corrected, true, false) : std::string();
}

}  // namespace

TemperatureEntry InitialTemperatures()
{
    TemperatureEntry entry;
    entry.tmFahrenheit = "75";
    entry.tsFahrenheit = "167";
    UpdatePartnerField(entry, TemperatureField::TmFahrenheit);
    UpdatePartnerField(entry, TemperatureField::TsFahrenheit);
    return entry;
}

void UpdatePartnerField(TemperatureEntry& entry, TemperatureField changed)
{
    auto fahrenheit = [](const std::string& celsius) { return ReadLeadingNumber(celsius) * 9 / 5 + 32; };
    auto celsius = [](const std::string& fahrenheit) { return (ReadLeadingNumber(fahrenheit) - 32) / 9 * 5; };
    switch (changed) {
    case TemperatureField::TmCelsius: entry.tmFahrenheit = FormatNumber("%3.1lf", fahrenheit(entry.tmCelsius)); break;
    case TemperatureField::TmFahrenheit: entry.tmCelsius = FormatNumber("%3.1lf", celsius(entry.tmFahrenheit)); break;
    case TemperatureField::TsCelsius: entry.tsFahrenheit = FormatNumber("%3.1lf", fahrenheit(entry.tsCelsius)); break;
    // The reference temperature keeps two decimals, so 167 F reads 75.00 C.
    case TemperatureField::TsFahrenheit: entry.tsCelsius = FormatNumber("%3.2lf", celsius(entry.tsFahrenheit)); break;
    }
}

double TkOf(const TemperatureEntry& entry)
{
    return entry.copper ? kCopperTk : kAluminumTk;
}

std::optional<double> CorrectToReference(double rmeas, const TemperatureEntry& entry)
{
    const double tk = TkOf(entry);
    const double tm = ReadLeadingNumber(entry.tmCelsius);
    const double ts = ReadLeadingNumber(entry.tsCelsius);
    if (tm + tk == 0)
        return std::nullopt;
    return rmeas * (ts + tk) / (tm + tk);
}

bool MeasuresV2(std::string_view testTypeName)
{
    return testTypeName.find("V2") != std::string_view::npos;
}

bool MeasuresV3(std::string_view testTypeName)
{
    return testTypeName.find("V3") != std::string_view::npos;
}

std::string TapLabel(int row, int steps)
{
    if (row < steps)
        return std::to_string(steps - row) + "L";
    if (row == steps)
        return "N ";
    return std::to_string(row - steps) + "R";
}

void StaticReadings::Build(std::string testTypeName, bool regulator, int steps)
{
    testTypeName_ = std::move(testTypeName);
    regulator_ = regulator;
    steps_ = steps < 0 ? 0 : steps;
    Discard();
}

void StaticReadings::Discard()
{
    rows_.clear();
    readingCount_ = 0;
    pendingRepeat_.reset();
    lastCapturedRow_ = -1;
    timedStart_.reset();
    if (!regulator_)
        return;
    // Only the rows a run can ever fill: the 50-reading limit stops a run of
    // many steps long before its last taps.
    const int rows = std::min(2 * steps_ + 1, kMaxReadings);
    for (int row = 0; row < rows; ++row) {
        ReadingRow labelled;
        labelled.test = TapLabel(row, steps_);
        labelled.type = testTypeName_;
        rows_.push_back(std::move(labelled));
    }
}

StaticReadings::Capture StaticReadings::Accept(std::time_t now, bool timed, const LatestResistances& latest,
                                               const TemperatureEntry& temperatures)
{
    std::time_t stamp = now;
    int row;
    if (pendingRepeat_) {
        row = *pendingRepeat_;
    } else {
        if (readingCount_ >= kMaxReadings || (regulator_ && readingCount_ >= 2 * steps_ + 1))
            return Capture::LimitReached;
        row = readingCount_;
        if (!regulator_) {
            ReadingRow numbered;
            numbered.test = std::to_string(readingCount_ + 1);
            rows_.insert(rows_.begin() + row, std::move(numbered));
        }
        if (timed) {
            // Readings kept from an earlier run count on from this one.
            if (!timedStart_)
                timedStart_ = now - static_cast<std::time_t>(readingCount_) * kSecondsPerCapture;
            stamp = *timedStart_ + static_cast<std::time_t>(readingCount_) * kSecondsPerCapture;
        }
    }

    ReadingRow& target = rows_.at(static_cast<std::size_t>(row));
    target.type = testTypeName_;
    target.time = ClockText(stamp);
    target.r1 = latest.r1Text;
    target.r1s = temperatures.correctionEnabled ? CorrectedText(latest.r1, temperatures) : std::string();
    target.r2.clear();
    target.r2s.clear();
    target.r3.clear();
    target.r3s.clear();
    if (MeasuresV2(testTypeName_)) {
        target.r2 = latest.r2Text;
        if (temperatures.correctionEnabled)
            target.r2s = CorrectedText(latest.r2, temperatures);
    }
    if (MeasuresV3(testTypeName_)) {
        target.r3 = latest.r3Text;
        if (temperatures.correctionEnabled)
            target.r3s = CorrectedText(latest.r3, temperatures);
    }
    lastCapturedRow_ = row;
    if (pendingRepeat_)
        pendingRepeat_.reset();
    else
        ++readingCount_;
    return Capture::Taken;
}

bool StaticReadings::Repeat(int row)
{
    if (row < 0 || row >= static_cast<int>(rows_.size()))
        return false;
    ReadingRow& target = rows_[static_cast<std::size_t>(row)];
    target.time.clear();
    target.r1.clear();
    target.r1s.clear();
    target.r2.clear();
    target.r2s.clear();
    target.r3.clear();
    target.r3s.clear();
    pendingRepeat_ = row;
    return true;
}

}  // namespace tkan
