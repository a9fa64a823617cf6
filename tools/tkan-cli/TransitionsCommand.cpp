#include <nlohmann/json.hpp>

#include <cstdlib>
#include <optional>

#include "CliSupport.h"
#include "Commands.h"
#include "analysis/TransitionFigures.h"
#include "analysis/Transitions.h"
#include "platform/Codepage.h"
#include "records/TestRecord.h"

namespace tkan::cli {

namespace {

// The columns, with the decimals each is rounded to.
struct Column {
    const char* key;
    int decimals;
};
constexpr Column kColumns[] = {
    {"index", 0},
    {"start_s", kTransitionTimeDecimals},
    {"end_s", kTransitionTimeDecimals},
    {"duration_ms", kTransitionDurationDecimals},
    {"ripple_pct", kTransitionRippleDecimals},
    {"slope_a_per_s", kTransitionSlopeDecimals},
    {"r_before_uohm", kTransitionResistanceDecimals},
    {"r_after_uohm", kTransitionResistanceDecimals},
    {"open_circuit", 0},
};

std::vector<std::optional<double>> Values(int number, const Transition& t)
{
    return {number,
            t.startS,
            t.endS,
            t.durationMs,
            t.ripplePct,
            t.slopeAPerS,
            t.resistanceBefore,
            t.resistanceAfter,
            t.openCircuit ? 1.0 : 0.0};
}

std::string Csv(const TransitionReport& report)
{
    std::string out;
    for (const Column& c : kColumns) {
        out += out.empty() ? "" : ",";
        out += c.key;
    }
    out += '\n';
    int number = 0;
    for (const Transition& t : report.transitions) {
        const auto values = Values(++number, t);
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (k > 0)
                out += ',';
            if (values[k])
                out += FigureText(*values[k], kColumns[k].decimals);
        }
        out += '\n';
    }
    return out;
}

std::string Json(const TransitionReport& report)
{
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    int number = 0;
    for (const Transition& t : report.transitions) {
        const auto values = Values(++number, t);
        nlohmann::ordered_json row = nlohmann::ordered_json::object();
        for (std::size_t k = 0; k < values.size(); ++k) {
            const Column& c = kColumns[k];
            if (!values[k])
                row[c.key] = nullptr;
            else if (c.decimals == 0)
                row[c.key] = static_cast<long long>(*values[k]);
            else
                row[c.key] = RoundedFigure(*values[k], c.decimals);
        }
        rows.push_back(std::move(row));
    }
    return rows.dump(2) + "\n";
}

}  // namespace

int RunTransitions(const Command& self, std::span<const std::string> args)
{
    std::optional<std::string> file;
    std::string format = "csv";
    TransitionSettings settings;

    std::optional<std::string> threshold, chosenFormat;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string problem;
        if (IsOption(args[i], "--threshold")) {
            if (!TakeOptionValue(args, i, "--threshold", threshold, problem))
                return UsageError(self, problem);
            char* end = nullptr;
            const double pct = std::strtod(threshold->c_str(), &end);
            if (*end != '\0' || !(pct > 0 && pct < 100))
                return UsageError(self, "--threshold needs a percentage above 0 and below 100");
            settings.thresholdPct = pct;
            continue;
        }
        if (IsOption(args[i], "--format")) {
            if (!TakeOptionValue(args, i, "--format", chosenFormat, problem))
                return UsageError(self, problem);
            if (*chosenFormat != "csv" && *chosenFormat != "json")
                return UsageError(self, "--format is csv or json");
            format = *chosenFormat;
            continue;
        }
        if (args[i].starts_with("--"))
            return UsageError(self, "unknown option " + args[i]);
        if (file)
            return UsageError(self, "one file only");
        file = args[i];
    }
    if (!file)
        return UsageError(self, "no file given");

    StderrPrompter prompter;
    TestRecord record;
    if (!LoadRecord(*file, record, prompter))
        return kExitFailure;
    if (!record.IsDynamic()) {
        ReportError(*file + " is a static test (" + Cp1252ToUtf8(record.TestTypeName()) + "); it has no transitions");
        return kExitFailure;
    }
    const TransitionReport report = AnalyseTransitions(record, settings);
    WriteOutput(format == "json" ? Json(report) : Csv(report));
    return kExitOk;
}

}  // namespace tkan::cli
