#include <gtest/gtest.h>

#include <string>

#include "records/TestRecord.h"

using namespace tkan;

TEST(KeyValueRecord, HeaderTemperaturesAndReadings)
{
    TestRecord r;
    r.ParseKeyValueRecord(
        "DATE=03/05/2010 10:15:00\r\nCOMPANY=Northern Grid \r\nSN=42\r\nOPERATOR\r\nR/L=8\r\n"
        "Tm=25\r\nTs=75\r\nTk=234.5\r\nR1=FFFF\r\n"  // R1 before any TYPE has no reading
        "TYPE=V1/V2/V3 STATIC LTC\r\nR1=3E8\r\nR2=7D0\r\nCUR=2710\r\nTYPE=V1 ONLY\r\nR1=0x10\r\nUNKNOWN=1\r\n");
    EXPECT_EQ(r.header.testDate, "03/05/2010");
    EXPECT_EQ(r.header.testTime, "10:15:00");
    EXPECT_EQ(r.header.company, "Northern Grid ");  // values are not trimmed
    EXPECT_EQ(r.header.serialNumber, "42");
    EXPECT_EQ(r.header.operatorName, "");
    EXPECT_EQ(r.tapsPerSide, 8);
    EXPECT_EQ(r.testType, 19);  // the first TYPE decides
    ASSERT_EQ(r.readingCount, 2);
    EXPECT_EQ(r.readings[0].r1, 1000);
    EXPECT_EQ(r.readings[0].r2, 2000);
    EXPECT_EQ(r.readings[0].r3, 0);
    EXPECT_EQ(r.readings[0].current, 10000);
    EXPECT_EQ(r.readings[0].timeText, std::string(15, ' '));
    EXPECT_EQ(r.readings[1].r1, 16);
    EXPECT_TRUE(r.tempCorrected);
    EXPECT_DOUBLE_EQ(r.readings[0].r1s, 1000 * (75 + 234.5) / (234.5 + 25));

    TestRecord plain;
    plain.ParseKeyValueRecord("TYPE=V1\nR1=3E8\n");
    EXPECT_FALSE(plain.tempCorrected);
    EXPECT_EQ(plain.readings[0].r1s, 0);
}

TEST(KeyValueRecord, ReadingsStartClearedAndStopAtFifty)
{
    // A record object is reused: a new reading must not inherit old values.
    TestRecord r;
    r.ParseKeyValueRecord("TYPE=V1/V2\r\nR1=1\r\nR2=2\r\nCUR=3\r\n");
    r.Reset();
    r.ParseKeyValueRecord("TYPE=V1\r\nR1=5\r\n");
    EXPECT_EQ(r.readings[0].r1, 5);
    EXPECT_EQ(r.readings[0].r2, 0);
    EXPECT_EQ(r.readings[0].current, 0);

    std::string text;
    for (int i = 0; i < 60; ++i)
        text += "TYPE=V1\r\nR1=" + std::to_string(i + 1) + "\r\n";
    TestRecord many;
    many.ParseKeyValueRecord(text);
    EXPECT_EQ(many.readingCount, 50);
    EXPECT_EQ(many.readings[49].r1, 0x50);  // the 51st and later did not overwrite it
}

TEST(KeyValueRecord, OutlandishNumbersStayWithinBounds)
{
    TestRecord r;
    r.ParseKeyValueRecord(
        "R/L=-2147483647\r\nTm=1e400\r\nTYPE=V1 STATIC LTC\r\nR1=FFFFFFFFFFFFFFFFFFFFFF\r\n"
        "TYPE=x\r\nR1=zz\r\n");
    // Taps per side come from one byte on the instrument; the labels of any
    // record must be computable.
    EXPECT_EQ(r.tapsPerSide, -255);
    EXPECT_EQ(r.ReadingLabel(1), "256R");
    EXPECT_EQ(r.measureTemp, 0);
    EXPECT_EQ(r.readings[0].r1, 2147483647.0);
    EXPECT_EQ(r.readings[1].r1, 0);

    TestRecord high;
    high.ParseKeyValueRecord("R/L=99999999999999999999\r\n");
    EXPECT_EQ(high.tapsPerSide, 255);
}

TEST(PatchHeaderValues, KeyValueRecordsReplaceTheValueUpToItsCR)
{
    TestRecord r;
    r.header.company = "ACME";
    r.header.kva = "500";
    r.header.serialNumber = "a serial number of more than twenty";
    std::string text = "COMPANY=Old name\r\nKVA=40000\r\nTYPE=V1\r\nSN=1\r\n";
    r.PatchHeaderValues(text);
    EXPECT_EQ(text,
              "COMPANY=ACME\r\nKVA=500\r\nTYPE=V1\r\n"
              "SN=a serial number of more than twenty\r\n");
    std::string again = text;
    r.PatchHeaderValues(again);
    EXPECT_EQ(again, text);

    // Read back, the record has exactly the values it was saved with.
    TestRecord back;
    back.ParseKeyValueRecord(text);
    EXPECT_EQ(back.header.company, "ACME");
    EXPECT_EQ(back.header.serialNumber, r.header.serialNumber);

    std::string lf = "COMPANY=Old name\nKVA=40000\n";
    r.PatchHeaderValues(lf);
    EXPECT_EQ(lf, "COMPANY=Old name\nKVA=40000\n");  // no CR: nothing changes
}
