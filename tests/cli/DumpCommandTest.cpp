#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/CliRunner.h"
#include "records/TestRecord.h"
#include "sim/DemoRecords.h"
#include "support/TempDir.h"

namespace tkan::test {
namespace {

using nlohmann::ordered_json;

class CliDump : public ::testing::Test {
protected:
    ordered_json Dump(const std::string& path)
    {
        CliResult r = RunCli({"dump", path});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return ordered_json::parse(r.out);
    }

    TempDir dir;
};

TEST_F(CliDump, DynamicFileComesOutWholeInOrderAndExact)
{
    DemoParameters p;
    p.seconds = 2;
    std::vector<std::uint8_t> bytes = BuildDynamicRecord(p);
    TestRecord record;
    record.BuildFromInstrument(bytes.data(), bytes.size());
    record.header.company = "\x93Smith\x94 & Sons \x80";
    record.dataPointCount = 2;
    record.dataPoints[0] = {0.1, 2450.123456789, "after \x96 raise", 1.0 / 3, -0.0138};
    record.dataPoints[1] = {1.9995, 1e-300, "", 9.998, 0};
    const std::string path = dir.File("points.tst-tkan");
    ASSERT_EQ(record.SaveTestFile(path), 1);
    ASSERT_EQ(record.LoadTestFile(path), 1);

    ordered_json j = Dump(path);
    std::vector<std::string> keys;
    for (auto it = j.begin(); it != j.end(); ++it)
        keys.push_back(it.key());
    const std::vector<std::string> expected = {
        "testType",          "typeName",     "isDynamic",       "company",         "station",
        "circuit",           "manufacturer", "model",           "serialNumber",    "kva",
        "operatorName",      "testDate",     "testTime",        "fileName",        "measureTemp",
        "referenceTemp",     "tempConstant", "tempCorrected",   "tapsPerSide",     "textForm",
        "headerTextPresent", "readingCount", "readings",        "notesText",       "dataPointCount",
        "dataPoints",        "sampleCount",  "seconds",         "resistanceMin",   "resistanceMax",
        "currentMin",        "currentMax",   "motorCurrentMin", "motorCurrentMax", "recordText"};
    EXPECT_EQ(keys, expected);

    EXPECT_EQ(j["typeName"], "LTC 2000");
    EXPECT_EQ(j["company"], "\xE2\x80\x9CSmith\xE2\x80\x9D & Sons \xE2\x82\xAC");
    EXPECT_EQ(j["operatorName"], "R. M\xC3\xBCller");
    EXPECT_EQ(j["testDate"], "Mar 05, 2024");
    EXPECT_EQ(j["fileName"], "points.tst-tkan");
    EXPECT_EQ(j["sampleCount"], 4000);
    EXPECT_TRUE(j["readings"].is_array() && j["readings"].empty());
    EXPECT_EQ(j["resistanceMax"].get<double>(), record.resistanceMax);
    EXPECT_EQ(j["currentMax"].get<double>(), record.currentMax);
    ASSERT_EQ(j["dataPoints"].size(), 2u);
    const ordered_json& first = j["dataPoints"][0];
    EXPECT_EQ(first["time"].get<double>(), 0.1);
    EXPECT_EQ(first["resistance"].get<double>(), 2450.123456789);
    EXPECT_EQ(first["comment"], "after \xE2\x80\x93 raise");
    EXPECT_EQ(first["current"].get<double>(), 1.0 / 3);
    EXPECT_EQ(j["dataPoints"][1]["resistance"].get<double>(), 1e-300);
}

TEST_F(CliDump, StaticDemoShowsLabelledReadings)
{
    const std::string path = dir.File("Static.tst-tkan");
    ASSERT_EQ(RunCli({"demo", path, "--static"}).exitCode, 0);
    TestRecord record;
    ASSERT_EQ(record.LoadTestFile(path), 1);
    ordered_json j = Dump(path);

    EXPECT_EQ(j["typeName"], "V1,V2 Static LTC Test");
    EXPECT_EQ(j["tempCorrected"], true);
    ASSERT_EQ(j["readings"].size(), 17u);
    EXPECT_EQ(j["readings"][0]["label"], " 8L");
    EXPECT_EQ(j["readings"][8]["label"], " N");
    EXPECT_EQ(j["readings"][9]["label"], " 1R");
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(j["readings"][i]["r2s"].get<double>(), record.readings[i].r2s);  // not a round number
        EXPECT_EQ(j["readings"][i]["timeText"], std::string(15, ' '));
    }
}

TEST_F(CliDump, TextFormAndOldAnalyserLayoutsLoad)
{
    auto u32 = [](std::vector<std::uint8_t>& out, std::uint32_t v) {
        for (int k = 0; k < 4; ++k)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
    };
    DemoParameters p;
    const std::string text = BuildKeyValueRecord(p);
    std::vector<std::uint8_t> sectioned = {'T', 'T', 'X', 'B'};
    for (std::uint32_t word : {6, 0, 0, 0, 0, 0, 0, 1})  // version 6, text form
        u32(sectioned, word);
    u32(sectioned, static_cast<std::uint32_t>(text.size()));
    sectioned.insert(sectioned.end(), text.begin(), text.end());
    WriteFileBytes(dir.File("meter.tst-rkz"), sectioned);

    ordered_json j = Dump(dir.File("meter.tst-rkz"));
    EXPECT_EQ(j["textForm"], true);
    EXPECT_EQ(j["testType"], 18);
    EXPECT_EQ(j["readingCount"], 17);
    std::string expectedText = text;
    const std::string latin = "M\xFCller";
    expectedText.replace(expectedText.find(latin), latin.size(), "M\xC3\xBCller");
    EXPECT_EQ(j["recordText"], expectedText);

    p.testType = 5;
    p.seconds = 2;
    p.header.station = "Old Mill";
    std::vector<std::uint8_t> old = {'T', 'K', 'A', 'N'};
    old.resize(256, 0);
    std::vector<std::uint8_t> record = BuildDynamicRecord(p);
    old.insert(old.end(), record.begin(), record.end());
    old.resize(old.size() + 6 * 10, 0);  // a part-second, dropped
    WriteFileBytes(dir.File("old.test"), old);

    j = Dump(dir.File("old.test"));
    EXPECT_EQ(j["typeName"], "LTC 1000");
    EXPECT_EQ(j["station"], "Old Mill");
    EXPECT_EQ(j["sampleCount"], 2000);
    EXPECT_EQ(j["seconds"], 2);
}

TEST_F(CliDump, FailuresSayWhyInOneLine)
{
    WriteFileText(dir.File("junk.test"), "not a record\n");
    for (const std::string& path : {dir.File("missing.tst-tkan"), dir.File("junk.test")}) {
        CliResult r = RunCli({"dump", path});
        EXPECT_EQ(r.exitCode, 1) << path;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    }
    CliResult r = RunCli({"demo", dir.File("no-such-folder/Demo.tst-tkan")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(Lines(r.err).size(), 1u);

    // Output that never arrived is no success.
    ASSERT_EQ(RunCli({"demo", dir.File("Demo.tst-tkan")}).exitCode, 0);
    r = RunCli({"dump", dir.File("Demo.tst-tkan")}, "/dev/full");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos);
}

}  // namespace
}  // namespace tkan::test
