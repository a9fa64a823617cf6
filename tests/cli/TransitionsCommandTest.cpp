#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/CliRunner.h"
#include "support/TempDir.h"

namespace tkan::test {
namespace {

TEST(CliTransitions, CsvAndJsonCarryTheSameFigures)
{
    TempDir dir;
    const std::string path = dir.File("Demo.tst-tkan");
    ASSERT_EQ(RunCli({"demo", path}).exitCode, 0);

    const CliResult csv = RunCli({"transitions", path});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    const std::vector<std::string> lines = Lines(csv.out);
    ASSERT_EQ(lines.size(), 3u);  // the demonstration test raises the tap twice
    EXPECT_EQ(lines[0],
              "index,start_s,end_s,duration_ms,ripple_pct,slope_a_per_s,r_before_uohm,r_after_uohm,open_circuit");
    EXPECT_EQ(lines[1].substr(0, 2), "1,");
    EXPECT_EQ(lines[1].substr(lines[1].size() - 2), ",0");

    const CliResult json = RunCli({"transitions", path, "--format", "json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const nlohmann::json rows = nlohmann::json::parse(json.out);
    ASSERT_EQ(rows.size(), 2u);
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const nlohmann::json& row = rows[k];
        char expected[200];
        std::snprintf(expected, sizeof expected, "%d,%.4f,%.4f,%.1f,%.3f,%.1f,%.2f,%.2f,%d", row["index"].get<int>(),
                      row["start_s"].get<double>(), row["end_s"].get<double>(), row["duration_ms"].get<double>(),
                      row["ripple_pct"].get<double>(), row["slope_a_per_s"].get<double>(),
                      row["r_before_uohm"].get<double>(), row["r_after_uohm"].get<double>(),
                      row["open_circuit"].get<int>());
        EXPECT_EQ(lines[k + 1], expected);
    }

    // A deeper threshold than the simulated dips finds none.
    EXPECT_EQ(Lines(RunCli({"transitions", path, "--threshold=20"}).out).size(), 1u);
}

TEST(CliTransitions, RefusesStaticTestsAndBadOptions)
{
    TempDir dir;
    const std::string path = dir.File("Static.tst-tkan");
    ASSERT_EQ(RunCli({"demo", path, "--static"}).exitCode, 0);
    const CliResult r = RunCli({"transitions", path});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("static test"), std::string::npos) << r.err;
    EXPECT_EQ(RunCli({"transitions", dir.File("missing.test")}).exitCode, 1);
    EXPECT_EQ(RunCli({"transitions", path, "--threshold", "0"}).exitCode, 2);
    EXPECT_EQ(RunCli({"transitions", path, "--format", "xml"}).exitCode, 2);
}

}  // namespace
}  // namespace tkan::test
