#include "testing/StaticReadings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/ResistanceReply.h"
#include "records/TestRecord.h"
#include "support/RecordingPrompter.h"
#include "testing/TestCurrent.h"

namespace tkan {
namespace {

// 10:00:07 UTC on a day in 2026; the tests run with TZ=UTC.
constexpr std::time_t kTenOhSeven = 1781085607;

LatestResistances Latest(double r1, double r2 = 0, double r3 = 0)
{
    LatestResistances latest;
    latest.r1 = r1;
    latest.r2 = r2;
    latest.r3 = r3;
    latest.r1Text = FormatResistance(r1, true, false);
    latest.r2Text = r2 ? FormatResistance(r2, true, false) : std::string();
    latest.r3Text = r3 ? FormatResistance(r3, true, false) : std::string();
    return latest;
}

TemperatureEntry Celsius(const char* tm, const char* ts, bool copper = true)
{
    TemperatureEntry entry;
    entry.tmCelsius = tm;
    entry.tsCelsius = ts;
    entry.copper = copper;
    return entry;
}

std::vector<std::string> Labels(const StaticReadings& readings)
{
    std::vector<std::string> labels;
    for (const ReadingRow& row : readings.Rows())
        labels.push_back(row.test);
    return labels;
}

TEST(StaticReadings, RegulatorRunsAreLabelledByTapAndRebuiltOnDiscard)
{
    StaticReadings readings;
    readings.Build("V1 STATIC LTC", true, StepsFromAnswer("16"));
    ASSERT_EQ(readings.Rows().size(), 33u);
    EXPECT_EQ(readings.Rows()[0].test, "16L");
    EXPECT_EQ(readings.Rows()[15].test, "1L");
    EXPECT_EQ(readings.Rows()[16].test, "N ");
    EXPECT_EQ(readings.Rows()[17].test, "1R");
    EXPECT_EQ(readings.Rows()[32].test, "16R");

    readings.Build("V1 STATIC LTC", true, StepsFromAnswer("many"));
    EXPECT_EQ(Labels(readings), std::vector<std::string>{"N "});

    readings.Build("V1/V2 STATIC LTC", true, 2);
    const TemperatureEntry temps = InitialTemperatures();
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(readings.Accept(kTenOhSeven, false, Latest(1000, 2000), temps), StaticReadings::Capture::Taken);
    EXPECT_EQ(readings.Accept(kTenOhSeven, false, Latest(1000), temps), StaticReadings::Capture::LimitReached);

    // Discarding the readings gives the taps back for the next captures.
    readings.Discard();
    EXPECT_EQ(Labels(readings), (std::vector<std::string>{"2L", "1L", "N ", "1R", "2R"}));
    EXPECT_TRUE(readings.Rows()[0].r1.empty());
    ASSERT_EQ(readings.Accept(kTenOhSeven, false, Latest(1500), temps), StaticReadings::Capture::Taken);
    EXPECT_EQ(readings.Rows()[0].r1, "1.5000 m-Ohm");
}

TEST(StaticReadings, FiftyReadingsAtMostWhateverTheRunShape)
{
    const TemperatureEntry temps = InitialTemperatures();
    StaticReadings plain;
    plain.Build("V1/V2/V3", false, 0);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(plain.Accept(kTenOhSeven, false, Latest(1000, 2000, 3000), temps), StaticReadings::Capture::Taken);
    EXPECT_EQ(plain.Rows().back().test, "50");
    EXPECT_EQ(plain.Accept(kTenOhSeven, false, Latest(1000), temps), StaticReadings::Capture::LimitReached);
    EXPECT_EQ(plain.Rows().size(), 50u);

    // A "# of Steps" answer of 30 would need 61 rows.
    StaticReadings regulator;
    regulator.Build("V1 STATIC LTC", true, 30);
    EXPECT_EQ(regulator.Rows().size(), 50u);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(regulator.Accept(kTenOhSeven, false, Latest(1000), temps), StaticReadings::Capture::Taken);
    EXPECT_EQ(regulator.Accept(kTenOhSeven, false, Latest(1000), temps), StaticReadings::Capture::LimitReached);
}

TEST(StaticReadings, RepeatOverwritesItsRowAndTimedCapturesAreStampedByTheMinute)
{
    const TemperatureEntry temps = InitialTemperatures();
    StaticReadings readings;
    readings.Build("V1/V2", false, 0);
    for (int i = 0; i < 5; ++i)
        readings.Accept(kTenOhSeven + i, false, Latest(1000 + i), temps);

    ASSERT_TRUE(readings.Repeat(2));
    EXPECT_EQ(readings.Rows()[2].test, "3");
    EXPECT_TRUE(readings.Rows()[2].time.empty());
    EXPECT_TRUE(readings.Rows()[2].r1.empty());
    readings.Accept(kTenOhSeven + 3600, false, Latest(1234), temps);
    EXPECT_EQ(readings.ReadingCount(), 5);
    EXPECT_EQ(readings.Rows()[2].time, "11:00:07");
    EXPECT_EQ(readings.Rows()[2].r1, "1.2340 m-Ohm");
    EXPECT_FALSE(readings.Repeat(9));

    StaticReadings timed;
    timed.Build("V1 ONLY", false, 0);
    timed.Accept(kTenOhSeven, true, Latest(1000), temps);
    timed.Accept(kTenOhSeven + 61, true, Latest(1000), temps);
    timed.Accept(kTenOhSeven + 125, true, Latest(1000), temps);
    EXPECT_EQ(timed.Rows()[0].time, "10:00:07");
    EXPECT_EQ(timed.Rows()[1].time, "10:01:07");
    EXPECT_EQ(timed.Rows()[2].time, "10:02:07");
}

TEST(StaticReadings, CorrectionToTheReferenceTemperature)
{
    StaticReadings readings;
    readings.Build("V1 ONLY", false, 0);
    readings.Accept(kTenOhSeven, false, Latest(1000, 2000), Celsius("20", "75"));
    readings.Accept(kTenOhSeven, false, Latest(1000), Celsius("20", "75", false));
    TemperatureEntry off = Celsius("20", "75");
    off.correctionEnabled = false;
    readings.Accept(kTenOhSeven, false, Latest(1000), off);
    // Tm + Tk = 0 has no corrected value.
    readings.Accept(kTenOhSeven, false, Latest(1000), Celsius("-234.5", "75"));

    EXPECT_EQ(readings.Rows()[0].r1s, "1.2161 m-Ohm");
    EXPECT_EQ(readings.Rows()[1].r1s, "1.2245 m-Ohm");
    EXPECT_EQ(readings.Rows()[2].r1s, "");
    EXPECT_EQ(readings.Rows()[3].r1s, "");
    // A V1-only run takes nothing from V2.
    EXPECT_EQ(readings.Rows()[0].r2, "");
    EXPECT_EQ(readings.Rows()[0].r2s, "");
}

TEST(StaticReadings, FahrenheitAndCelsiusFollowEachOther)
{
    TemperatureEntry entry = InitialTemperatures();
    EXPECT_EQ(entry.tmCelsius, "23.9");
    EXPECT_EQ(entry.tsCelsius, "75.00");
    EXPECT_TRUE(entry.copper);
    EXPECT_TRUE(entry.correctionEnabled);

    entry.tsFahrenheit = "100";
    UpdatePartnerField(entry, TemperatureField::TsFahrenheit);
    entry.tmFahrenheit = "100";
    UpdatePartnerField(entry, TemperatureField::TmFahrenheit);
    EXPECT_EQ(entry.tsCelsius, "37.78");
    EXPECT_EQ(entry.tmCelsius, "37.8");

    entry.tmCelsius = "warm";
    UpdatePartnerField(entry, TemperatureField::TmCelsius);
    EXPECT_EQ(entry.tmFahrenheit, "32.0");
}

TEST(ResistanceReply, HexMicroOhmsPerWindingAndNegativesIgnored)
{
    ResistanceReply reply;
    ASSERT_TRUE(ParseResistanceReply("RES_1=3E8", reply));
    EXPECT_EQ(reply.winding, 1);
    EXPECT_EQ(reply.microOhms, 1000);
    ASSERT_TRUE(ParseResistanceReply("RES_3=1a2b", reply));
    EXPECT_EQ(reply.winding, 3);
    EXPECT_EQ(reply.microOhms, 0x1A2B);

    EXPECT_FALSE(ParseResistanceReply("RES_1=FFFFFFFF", reply));
    EXPECT_FALSE(ParseResistanceReply("RES_2 3E8", reply));
    EXPECT_FALSE(ParseResistanceReply("RES_1=123456789", reply));
    EXPECT_FALSE(ParseResistanceReply("T=100", reply));
}

TEST(TestCurrentDialog, ChoicesByInstrumentAndRunAndTheDurationRange)
{
    test::RecordingPrompter prompter;
    dlgTestCurrent rkz(prompter, false, false);
    EXPECT_EQ(rkz.Enabled({}), (TestCurrentEnabled{false, true, false}));
    TestCurrentValues timed;
    timed.timed = true;
    EXPECT_EQ(rkz.Enabled(timed), (TestCurrentEnabled{false, true, true}));

    timed.durationText = "46";
    EXPECT_EQ(rkz.OnOk(timed), 0);
    ASSERT_EQ(prompter.Texts().size(), 1u);
    EXPECT_EQ(prompter.Texts()[0], "Please enter a range from 1 to 45 minutes");
    timed.durationText = "45";
    timed.currentIndex = 3;
    ASSERT_EQ(rkz.OnOk(timed), 1);
    EXPECT_EQ(rkz.DurationMinutes(), 45);
    EXPECT_EQ(rkz.CurrentAmps(), 40);

    // Regulator runs are captured by hand, whatever the radio says.
    dlgTestCurrent regulator(prompter, true, true);
    EXPECT_EQ(regulator.Enabled(timed), (TestCurrentEnabled{true, false, false}));
    timed.durationText = "0";
    ASSERT_EQ(regulator.OnOk(timed), 1);
    EXPECT_EQ(regulator.DurationMinutes(), 0);
}

}  // namespace
}  // namespace tkan
