#include "sim/SimOptions.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <utility>

namespace tkan {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back; plain
// arithmetic so that the instrument's clock does not depend on the host's
// time zone.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

const std::array<std::pair<SimModel, const char*>, 5> kModelNames = {{
    {SimModel::Tkan, "TKAN"},
    {SimModel::Tkan40, "TKAN-40"},
    {SimModel::Rkz10, "RKZ10P"},
    {SimModel::Rkz40, "RKZ40P"},
    {SimModel::Other, "OTHER"},
}};

const std::array<std::pair<SimFault, const char*>, 11> kFaultNames = {{
    {SimFault::Silence, "silence"},
    {SimFault::Garbage, "garbage"},
    {SimFault::NoCarriageReturn, "no-cr"},
    {SimFault::NoEndMarker, "no-end-marker"},
    {SimFault::CutStream, "cut-stream"},
    {SimFault::ManyRecords, "many-records"},
    {SimFault::RefuseRecords, "refuse-records"},
    {SimFault::Trickle, "trickle"},
    {SimFault::LinkDrop, "link-drop"},
    {SimFault::StopStreamOnInput, "stop-stream-on-input"},
    {SimFault::EmptyStream, "empty-stream"},
}};

}  // namespace

SimDate SimDate::Plus(std::int64_t seconds) const
{
    std::int64_t total = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second + seconds;
    std::int64_t days = total >= 0 ? total / 86400 : (total - 86399) / 86400;
    std::int64_t rest = total - days * 86400;
    SimDate out;
    CivilFromDays(days, out.year, out.month, out.day);
    out.hour = static_cast<int>(rest / 3600);
    out.minute = static_cast<int>(rest / 60 % 60);
    out.second = static_cast<int>(rest % 60);
    return out;
}

SimDate SimDate::Today()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

bool SimOptions::Has(SimFault fault) const
{
    return std::find(faults.begin(), faults.end(), fault) != faults.end();
}

std::optional<SimModel> ParseSimModel(std::string_view name)
{
    for (const auto& [model, text] : kModelNames)
        if (name == text)
            return model;
    return std::nullopt;
}

std::string SimModelName(SimModel model)
{
    for (const auto& [m, text] : kModelNames)
        if (m == model)
            return text;
    return {};
}

std::optional<SimFault> ParseSimFault(std::string_view name)
{
    for (const auto& [fault, text] : kFaultNames)
        if (name == text)
            return fault;
    return std::nullopt;
}

std::string SimFaultName(SimFault fault)
{
    for (const auto& [f, text] : kFaultNames)
        if (f == fault)
            return text;
    return {};
}

std::vector<std::string> SimFaultNames()
{
    std::vector<std::string> names;
    for (const auto& entry : kFaultNames)
        names.emplace_back(entry.second);
    return names;
}

std::string SimVersionText(SimModel model)
{
    switch (model) {
    case SimModel::Tkan: return "TKAN V2.31";
    case SimModel::Tkan40: return "TKAN-40 V2.31";
    case SimModel::Rkz10: return "RKZ10P V1.07";
    case SimModel::Rkz40: return "RKZ40P V1.07";
    // A meter of a later series: it carries "-40" but is no TKAN, which
    // must not make the program offer 40 A.
    case SimModel::Other: return "MRX-40 V3.02";
    }
    return {};
}

bool IsRkzModel(SimModel model)
{
    return model == SimModel::Rkz10 || model == SimModel::Rkz40;
}

int SimMaxCurrent(SimModel model)
{
    return model == SimModel::Tkan40 || model == SimModel::Rkz40 ? 40 : 10;
}

}  // namespace tkan
