#include <nlohmann/json.hpp>

#include <optional>

#include "CliSupport.h"
#include "Commands.h"
#include "analysis/TransitionTable.h"
#include "analysis/Transitions.h"
#include "records/TestRecord.h"

namespace tkan::cli {

namespace {

std::string Csv(const TransitionReport& report)
{
    std::string out;
    for (const TransitionColumn& c : kTransitionColumns) {
        out += out.empty() ? "" : ",";
        out += c.key;
    }
    out += '\n';
    int number = 0;
    for (const Transition& t : report.transitions) {
        const auto values = TransitionValues(++number, t);
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (k > 0)
                out += ',';
            if (values[k])
                out += FixedText(*values[k], kTransitionColumns[k].decimals);
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
        const auto values = TransitionValues(++number, t);
        nlohmann::ordered_json row = nlohmann::ordered_json::object();
        for (std::size_t k = 0; k < values.size(); ++k) {
            const TransitionColumn& c = kTransitionColumns[k];
            if (!values[k])
                row[c.key] = nullptr;
            else if (c.decimals == 0)
                row[c.key] = static_cast<long long>(*values[k]);
            else
                row[c.key] = RoundedTo(*values[k], c.decimals);
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
            const std::optional<double> pct = TransitionSettingNumber(*threshold);
            if (!pct || !UsableThreshold(*pct))
                return UsageError(self, "--threshold needs a percentage above 0 and below 100");
            settings.thresholdPct = *pct;
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
        if (std::string problem = TakeSingleFile(args[i], file); !problem.empty())
            return UsageError(self, problem);
    }
    TestRecord record;
    if (const int exitCode = LoadDynamicFile(self, file, record, "transitions"); exitCode != kExitOk)
        return exitCode;
    const TransitionReport report = AnalyseTransitions(record, settings);
    WriteOutput(format == "json" ? Json(report) : Csv(report));
    return kExitOk;
}

}  // namespace tkan::cli
