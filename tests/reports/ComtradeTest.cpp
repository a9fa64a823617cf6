#include "reports/Comtrade.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "records/TestRecord.h"
#include "sim/DemoRecords.h"
#include "support/TempDir.h"

namespace tkan {
namespace {

// A reader made from the standard's layout alone: the configuration's
// comma-separated lines, then BINARY32 records of a sample number, a
// time stamp and one signed 32-bit count per analog channel.
struct ReadBack {
    std::vector<std::vector<std::string>> lines;
    std::vector<std::string> units;
    std::vector<double> a, b;
    int rate = 0, samples = 0;
    std::vector<std::vector<double>> values;  // per channel
    std::vector<std::uint32_t> numbers, stamps;

    ReadBack(const std::string& cfgText, const std::vector<std::uint8_t>& dat)
    {
        std::string line;
        for (std::size_t at = 0; at < cfgText.size();) {
            const std::size_t end = cfgText.find("\r\n", at);
            line = cfgText.substr(at, end - at);
            at = end == std::string::npos ? cfgText.size() : end + 2;
            std::vector<std::string> fields;
            std::stringstream in(line);
            for (std::string f; std::getline(in, f, ',');)
                fields.push_back(f);
            if (!line.empty() && line.back() == ',')
                fields.emplace_back();
            lines.push_back(fields);
        }
        const int analog = std::stoi(lines[1][1]);
        for (int c = 0; c < analog; ++c) {
            const auto& f = lines[2 + static_cast<std::size_t>(c)];
            units.push_back(f[4]);
            a.push_back(std::stod(f[5]));
            b.push_back(std::stod(f[6]));
        }
        const auto& rateLine = lines[2 + static_cast<std::size_t>(analog) + 2];
        rate = std::stoi(rateLine[0]);
        samples = std::stoi(rateLine[1]);

        values.resize(static_cast<std::size_t>(analog));
        const std::size_t recordSize = 8 + 4 * static_cast<std::size_t>(analog);
        const auto le = [&dat](std::size_t at) {
            return static_cast<std::uint32_t>(dat[at] | dat[at + 1] << 8 | dat[at + 2] << 16 |
                                              static_cast<std::uint32_t>(dat[at + 3]) << 24);
        };
        for (std::size_t at = 0; at + recordSize <= dat.size(); at += recordSize) {
            numbers.push_back(le(at));
            stamps.push_back(le(at + 4));
            for (std::size_t c = 0; c < values.size(); ++c) {
                const auto count = static_cast<std::int32_t>(le(at + 8 + 4 * c));
                values[c].push_back(a[c] * count + b[c]);
            }
        }
    }
};

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Comtrade, AReaderOfTheStandardGetsTheSamplesBack)
{
    DemoParameters params;
    params.seconds = 4;
    params.header.station = "Elm, Street";
    TestRecord record;
    const std::vector<std::uint8_t> bytes = BuildDynamicRecord(params);
    ASSERT_EQ(record.BuildFromInstrument(bytes.data(), bytes.size()), 1);
    record.header.testDate = "Mar 05, 2024";
    record.header.testTime = "02:30 PM";

    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteComtrade(record, dir.File("T1"), error)) << error;
    const std::string cfgText = Slurp(dir.File("T1.cfg"));
    const std::string datText = Slurp(dir.File("T1.dat"));
    const ReadBack r(cfgText, std::vector<std::uint8_t>(datText.begin(), datText.end()));

    EXPECT_EQ(r.lines[0], (std::vector<std::string>{"Elm  Street", "TKAN", "2013"}));
    EXPECT_EQ(r.lines[1], (std::vector<std::string>{"3", "3A", "0D"}));
    EXPECT_EQ(r.units, (std::vector<std::string>{"Ohm", "A", "A"}));
    EXPECT_EQ(r.rate, 2000);
    EXPECT_EQ(r.samples, record.trace.sampleCount);
    EXPECT_EQ(r.lines[8], (std::vector<std::string>{"05/03/2024", "14:30:00.000000"}));
    EXPECT_EQ(r.lines[10], (std::vector<std::string>{"BINARY32"}));
    EXPECT_EQ(r.lines.size(), 14u);

    ASSERT_EQ(r.numbers.size(), static_cast<std::size_t>(record.trace.sampleCount));
    for (int i = 0; i < record.trace.sampleCount; i += 97) {
        const auto k = static_cast<std::size_t>(i);
        EXPECT_EQ(r.numbers[k], k + 1);
        EXPECT_EQ(r.stamps[k], k * 500);
        EXPECT_NEAR(r.values[0][k], record.SampleResistance(i) * 1e-6, r.a[0]);
        EXPECT_NEAR(r.values[1][k], record.SampleCurrent(i), r.a[1]);
        EXPECT_NEAR(r.values[2][k], record.SampleMotorCurrent(i), r.a[2]);
    }
}

TEST(Comtrade, StaticTestsAndUnwritableFoldersFail)
{
    test::TempDir dir;
    TestRecord record;
    DemoParameters params;
    const std::vector<std::uint8_t> bytes = BuildStaticRecord(params);
    ASSERT_EQ(record.BuildFromInstrument(bytes.data(), bytes.size()), 1);
    std::string error;
    EXPECT_FALSE(WriteComtrade(record, dir.File("S"), error));
    EXPECT_TRUE(BuildComtrade(record).cfg.empty());

    const std::vector<std::uint8_t> dynamic = BuildDynamicRecord(params);
    ASSERT_EQ(record.BuildFromInstrument(dynamic.data(), dynamic.size()), 1);
    EXPECT_FALSE(WriteComtrade(record, dir.File("missing/T"), error));
    EXPECT_NE(error.find("missing/T.dat"), std::string::npos) << error;
}

}  // namespace
}  // namespace tkan
