#include "records/TestRecord.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/Paths.h"

using namespace tkan;

namespace {

void SetSamples(TestRecord& r, std::vector<std::array<std::uint8_t, 6>> samples)
{
    r.trace.samples.clear();
    for (const auto& s : samples)
        r.trace.samples.insert(r.trace.samples.end(), s.begin(), s.end());
    r.trace.sampleCount = static_cast<int>(samples.size());
}

}  // namespace

TEST(SampleDecoding, FieldsAndTheirLimits)
{
    TestRecord r;
    r.testType = 4;
    SetSamples(r, {
                      {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},  // every field at its maximum
                      {0x10, 0x21, 0x34, 0x02, 0x64, 0x00},  // ordinary values
                      {0x00, 0x00, 0x10, 0x40, 0x0A, 0x80},  // exponent 2, negative motor current
                  });

    // 8191 x 6^7 is far beyond 100 ohms and is shown as the 100-ohm cap.
    EXPECT_DOUBLE_EQ(r.SampleResistance(0), 100000000.0);
    EXPECT_DOUBLE_EQ(r.SampleCurrent(0), 4095.0 * 32768 / 1000000);
    EXPECT_NEAR(r.SampleCurrent(0), 134.18, 0.005);
    EXPECT_DOUBLE_EQ(r.SampleMotorCurrent(0), -(32767 * 0.0138));

    EXPECT_DOUBLE_EQ(r.SampleCurrent(1), (0x110 << 2) / 1000000.0);
    EXPECT_DOUBLE_EQ(r.SampleResistance(1), 0x234);
    EXPECT_DOUBLE_EQ(r.SampleMotorCurrent(1), 100 * 0.0138);

    EXPECT_DOUBLE_EQ(r.SampleResistance(2), 0x10 * 36.0);
    EXPECT_DOUBLE_EQ(r.SampleMotorCurrent(2), -(10 * 0.0138));  // sign and magnitude
}

TEST(SampleDecoding, IndexesOutsideTheTraceAreClamped)
{
    TestRecord r;
    r.testType = 5;
    EXPECT_EQ(r.SampleResistance(0), 0);  // no samples at all
    SetSamples(r, {{0, 0, 10, 0, 0, 0}, {0, 0, 20, 0, 0, 0}, {0, 0, 30, 0, 0, 0}});
    EXPECT_EQ(r.SampleResistance(r.trace.sampleCount + 5), 30);
    EXPECT_EQ(r.SampleResistance(-1), 10);
    EXPECT_EQ(r.SampleResistance(1), 20);
}

TEST(TestTypes, NamesPredicatesAndRates)
{
    struct Case {
        int code;
        const char* name;
        bool v2, v3, dynamic, tap;
    } cases[] = {
        {1, "V1", false, false, false, false},
        {2, "V1, V2", true, false, false, false},
        {3, "V1,V2,V3", true, true, false, false},
        {4, "LTC 2000", false, false, true, false},
        {5, "LTC 1000", false, false, true, false},
        {6, "", false, false, false, false},
        {9, "V1 Special", false, false, false, false},
        {10, "V1,V2 Special", true, false, false, false},
        {11, "V1,V2,V3 Special", true, true, false, false},
        {17, "V1 Static LTC Test", false, false, false, true},
        {18, "V1,V2 Static LTC Test", true, false, false, true},
        {19, "V1,V2,V3 Static LTC Test", true, true, false, true},
        {0, "", false, false, false, false},
    };
    TestRecord r;
    for (const Case& c : cases) {
        r.testType = c.code;
        EXPECT_EQ(r.TestTypeName(), c.name) << c.code;
        EXPECT_EQ(r.HasV2(), c.v2) << c.code;
        EXPECT_EQ(r.HasV3(), c.v3) << c.code;
        EXPECT_EQ(r.IsDynamic(), c.dynamic) << c.code;
        EXPECT_EQ(r.IsStaticTap(), c.tap) << c.code;
    }
    r.testType = 4;
    EXPECT_EQ(r.SampleRate(), 2000);
    r.testType = 5;
    EXPECT_EQ(r.SampleRate(), 1000);
}

TEST(ReadingLabels, TapsCountDownThroughNeutral)
{
    TestRecord r;
    r.testType = 18;
    r.tapsPerSide = 3;
    const char* expected[] = {" 3L", " 2L", " 1L", " N", " 1R", " 2R", " 3R"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(r.ReadingLabel(i), expected[i]);
    r.tapsPerSide = 12;
    EXPECT_EQ(r.ReadingLabel(0), "12L");
    EXPECT_EQ(r.ReadingLabel(24), "12R");

    r.tapsPerSide = 0;
    EXPECT_EQ(r.ReadingLabel(0), " N");
    EXPECT_EQ(r.ReadingLabel(1), " 1R");
    EXPECT_EQ(r.ReadingLabel(2), " 2R");

    r.testType = 3;  // not a tap-changer test: plain numbers
    EXPECT_EQ(r.ReadingLabel(0), " 1");
    EXPECT_EQ(r.ReadingLabel(9), "10");
}

TEST(FormatResistance, UnitsAndWidths)
{
    EXPECT_EQ(FormatResistance(850, false, false), "850.00 u-Ohm     ");
    EXPECT_EQ(FormatResistance(12345, true, false), "12.345 m-Ohm");
    EXPECT_EQ(FormatResistance(2500000, true, false), "2.5000 Ohms");
    EXPECT_EQ(FormatResistance(123456.78, true, false), "123.45 m-Ohm");
    // Exactly 1000 stays in micro-ohms; half a micro-ohm more is milli-ohms.
    EXPECT_EQ(FormatResistance(1000, true, false), "1000.0 u-Ohm");
    EXPECT_EQ(FormatResistance(1000.5, true, false), "1.0005 m-Ohm");
    EXPECT_EQ(FormatResistance(999999, true, false), "999.99 m-Ohm");
    EXPECT_EQ(FormatResistance(1000000, true, false), "1.0000 Ohms");
    EXPECT_EQ(FormatResistance(-5, true, false), "-5.000 u-Ohm");
    EXPECT_EQ(FormatResistance(1e300, true, false).substr(0, 6).size(), 6u);

    EXPECT_EQ(FormatResistance(0, true, false), "          ");
    EXPECT_EQ(FormatResistance(0, false, false), "          ");
    EXPECT_EQ(FormatResistance(0, true, true), "0 Ohms");
    EXPECT_EQ(FormatResistance(0, false, true), "0      Ohms      ");
}

TEST(Ranges, StaticRecordsFollowWindingsAndCorrection)
{
    TestRecord r;
    r.testType = 1;
    r.ComputeStaticRanges();
    EXPECT_EQ(r.resistanceMin, -999);
    EXPECT_EQ(r.resistanceMax, -999);

    r.testType = 2;
    r.readingCount = 2;
    r.readings[0].r1 = 500;
    r.readings[0].r2 = 900;
    r.readings[0].r3 = 5000;  // V3 is not measured in a V1, V2 test
    r.readings[1].r1 = 700;
    r.readings[1].r1s = 100;  // ignored until the record is corrected
    r.ComputeStaticRanges();
    EXPECT_EQ(r.resistanceMin, 0);  // reading 1 has no V2 value: 0 counts
    EXPECT_EQ(r.resistanceMax, 900);

    r.tempCorrected = true;
    r.readings[1].r2 = 800;
    r.readings[0].r1s = 450;
    r.readings[0].r2s = 950;
    r.readings[1].r2s = 820;
    r.ComputeStaticRanges();
    EXPECT_EQ(r.resistanceMin, 100);
    EXPECT_EQ(r.resistanceMax, 950);
    EXPECT_EQ(r.motorCurrentMin, 0);
    EXPECT_EQ(r.motorCurrentMax, 0);
}

TEST(Ranges, DynamicRecordsCoverEverySample)
{
    TestRecord r;
    r.testType = 5;
    SetSamples(r, {{5, 0, 50, 0, 3, 0}, {1, 0, 70, 0, 9, 0}, {9, 0, 20, 0, 1, 0x80}});
    r.ComputeDynamicRanges();
    EXPECT_EQ(r.resistanceMin, 20);
    EXPECT_EQ(r.resistanceMax, 70);
    EXPECT_DOUBLE_EQ(r.currentMin, 1e-6);
    EXPECT_DOUBLE_EQ(r.currentMax, 9e-6);
    EXPECT_DOUBLE_EQ(r.motorCurrentMin, -0.0138);
    EXPECT_DOUBLE_EQ(r.motorCurrentMax, 9 * 0.0138);
}

TEST(Correction, FactorAndItsMissingTemperatures)
{
    TestRecord r;
    r.measureTemp = 25;
    r.referenceTemp = 75;
    r.tempConstant = 234.5;
    EXPECT_DOUBLE_EQ(r.CorrectionFactor(), (75 + 234.5) / (234.5 + 25));
    r.readingCount = 2;
    r.readings[1].r1 = 1000;
    r.readings[1].r3 = 2000;
    r.readings[2].r1 = 7;  // beyond the count: untouched
    r.ApplyCorrection();
    EXPECT_DOUBLE_EQ(r.readings[1].r1s, 1000 * r.CorrectionFactor());
    EXPECT_DOUBLE_EQ(r.readings[1].r3s, 2000 * r.CorrectionFactor());
    EXPECT_EQ(r.readings[2].r1s, 0);

    // A record without temperatures has no correction to make; its
    // corrected values must not turn into NaN that reaches the exports.
    r.measureTemp = r.referenceTemp = r.tempConstant = 0;
    r.ApplyCorrection();
    EXPECT_EQ(r.readings[1].r1s, 0);
    EXPECT_FALSE(std::isnan(r.readings[1].r2s));
}

TEST(Reset, ReturnsTheRecordToItsFreshState)
{
    TestRecord r;
    r.testType = 4;
    r.header.company = "Acme";
    r.header.fileName = "a.tst-tkan";
    r.readingCount = 3;
    r.dataPointCount = 2;
    r.tempCorrected = r.textForm = r.headerTextPresent = true;
    r.notesText = "x\ty";
    r.trace.durationLimit = 15;
    SetSamples(r, {{1, 2, 3, 4, 5, 6}});
    r.resistanceMax = 8;
    r.Reset();
    EXPECT_EQ(r.readingCount, 0);
    EXPECT_EQ(r.dataPointCount, 0);
    EXPECT_EQ(r.trace.sampleCount, 0);
    EXPECT_TRUE(r.trace.samples.empty());
    EXPECT_EQ(r.trace.durationLimit, 0);
    EXPECT_FALSE(r.tempCorrected || r.textForm || r.headerTextPresent);
    EXPECT_TRUE(r.header.company.empty() && r.header.fileName.empty() && r.notesText.empty());
    EXPECT_EQ(r.resistanceMax, 0);
    EXPECT_EQ(r.recordBlock.size(), kRecordBufferSize);
    EXPECT_EQ(r.testType, 0);
}

TEST(Notes, EachReadingHasItsTabSeparatedField)
{
    TestRecord r;
    r.notesText = "first\t\tthird\t";
    EXPECT_EQ(r.ReadingNote(0), "first");
    EXPECT_EQ(r.ReadingNote(1), "");
    EXPECT_EQ(r.ReadingNote(2), "third");
    EXPECT_EQ(r.ReadingNote(3), "");
    EXPECT_EQ(r.ReadingNote(9), "");
}

TEST(FileNamePart, EitherSeparator)
{
    EXPECT_EQ(FileNamePart("/home/op/tests/T1.tst-tkan"), "T1.tst-tkan");
    EXPECT_EQ(FileNamePart("C:\\Tests\\T2.test"), "T2.test");
    EXPECT_EQ(FileNamePart("mixed/dir\\T3.test"), "T3.test");
    EXPECT_EQ(FileNamePart("plain.test"), "plain.test");
}
