// The simulated instrument's side of each exchange, driven byte by byte.
#include <gtest/gtest.h>

#include <string>

#include "records/TestRecord.h"
#include "support/SimHarness.h"

namespace tkan::test {
namespace {

// Reads a streamed record the way the download does: drop the end marker,
// build a record from the rest.
int BuildStreamed(const std::string& stream, bool keyValue, TestRecord& record)
{
    const std::string marker = "\r\nDONE\r\n";
    EXPECT_GE(stream.size(), marker.size());
    EXPECT_EQ(stream.substr(stream.size() - marker.size()), marker);
    std::string body = stream.substr(0, stream.size() - marker.size());
    record.textForm = keyValue;
    return record.BuildFromInstrument(reinterpret_cast<const std::uint8_t*>(body.data()), body.size());
}

TEST(SimInstrument, ProbeIsAnsweredWithFourBytesAndTheCarriageReturnIsNotACommand)
{
    SimHarness h;
    EXPECT_EQ(h.Exchange("B\r"), "OK\r\n");
    EXPECT_EQ(h.Exchange("B"), "OK\r\n");  // over USB the probe has no carriage return
    EXPECT_EQ(h.sim->CommandLog(), (std::vector<std::string>{"B", "B"}));
}

TEST(SimInstrument, VersionLineNamesEachModelWithinEighteenCharacters)
{
    struct Case {
        SimModel model;
        bool tkan, forty, rkz;
    };
    for (Case c : {Case{SimModel::Tkan, true, false, false}, Case{SimModel::Tkan40, true, true, false},
                   Case{SimModel::Rkz10, false, false, true}, Case{SimModel::Rkz40, false, false, true},
                   Case{SimModel::Other, false, false, false}}) {
        SimOptions o;
        o.model = c.model;
        SimHarness h(o);
        std::vector<std::string> lines = Lines(h.Exchange("W"));
        ASSERT_EQ(lines.size(), 1u) << SimModelName(c.model);
        const std::string& v = lines[0];
        EXPECT_LE(v.size(), 18u);
        bool tkan = v.find("TKAN") != std::string::npos;
        EXPECT_EQ(tkan, c.tkan) << v;
        EXPECT_EQ(tkan && v.find("-40") != std::string::npos, c.forty) << v;
        EXPECT_EQ(v.find("RKZ10P") != std::string::npos || v.find("RKZ40P") != std::string::npos, c.rkz) << v;
    }
}

TEST(SimInstrument, DirectoryListsEveryStoredRecordAndEndsWithDone)
{
    SimHarness h;
    std::vector<std::string> lines = Lines(h.Exchange("d"));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "DONE");

    std::vector<std::string> numbers, types;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i][0] != '#')
            continue;
        numbers.push_back(lines[i]);
        ASSERT_LT(i + 2, lines.size());
        EXPECT_EQ(lines[i + 1].size(), 17u);
        EXPECT_EQ(lines[i + 1][2], '/') << "the date line follows the number";
        EXPECT_NE(lines[i + 2][2], '/') << "the type line must not read as a date";
        types.push_back(lines[i + 2]);
        EXPECT_EQ(lines[i + 3], "COMPANY=Northfield Power Co");
    }
    EXPECT_EQ(numbers, (std::vector<std::string>{"#1", "#2", "#3", "#4"}));
    EXPECT_EQ(types, (std::vector<std::string>{"DYN 2000", "DYN 1000", "STAT V123", "LTC V12"}));
}

TEST(SimInstrument, DemonstrationRecordsReadBackAsInstrumentRecords)
{
    SimHarness h;
    struct Expected {
        int type, samples, readings;
    };
    const Expected expected[] = {{4, 15 * 2000, 0}, {5, 30 * 1000, 0}, {3, 0, 5}, {18, 0, 17}};
    for (int n = 1; n <= 4; ++n) {
        char load[8];
        std::snprintf(load, sizeof load, "L%03d", n);
        std::string reply = h.Exchange(load);
        ASSERT_EQ(Lines(reply).size(), 1u);
        EXPECT_EQ(reply.find("not"), std::string::npos);
        EXPECT_EQ(reply.find("NOT"), std::string::npos);

        TestRecord record;
        ASSERT_EQ(BuildStreamed(h.Exchange("r"), false, record), 1);
        const Expected& e = expected[n - 1];
        EXPECT_EQ(record.testType, e.type) << n;
        EXPECT_EQ(record.trace.sampleCount, e.samples) << n;
        EXPECT_EQ(record.readingCount, e.readings) << n;
        EXPECT_EQ(record.header.company, "Northfield Power Co");
    }
}

TEST(SimInstrument, UnknownRecordIsRefusedAndTheSelectionStays)
{
    SimHarness h;
    h.Exchange("L003");
    EXPECT_EQ(h.Exchange("L007"), "Test NOT found\r\n");
    TestRecord record;
    ASSERT_EQ(BuildStreamed(h.Exchange("r"), false, record), 1);
    EXPECT_EQ(record.testType, 3);
}

TEST(SimInstrument, RkzMeterStreamsKeyValueRecordsOnItsOwnCommandOnly)
{
    SimOptions o;
    o.model = SimModel::Rkz10;
    SimHarness h(o);
    h.Exchange("L001");
    EXPECT_EQ(h.Exchange("r"), "") << "an RKZ meter does not know the TKAN's download command";
    TestRecord record;
    ASSERT_EQ(BuildStreamed(h.Exchange("R"), true, record), 1);
    EXPECT_EQ(record.testType, 2);
    EXPECT_EQ(record.readingCount, 5);
    EXPECT_GT(record.readings[0].r1, 0);
    EXPECT_GT(record.readings[0].r2, 0);

    SimHarness tkan;
    EXPECT_EQ(tkan.Exchange("R"), "") << "nor a TKAN the RKZ's";
}

TEST(SimInstrument, TestCurrentIsLimitedToWhatTheModelDrives)
{
    SimHarness plain;
    EXPECT_EQ(plain.Exchange("i0a"), "\r\n");
    EXPECT_EQ(plain.sim->TestCurrent(), 10);
    EXPECT_EQ(plain.Exchange("i01"), "\r\n");
    EXPECT_NE(plain.Exchange("i28"), "\r\n");
    EXPECT_EQ(plain.sim->TestCurrent(), 1);

    SimOptions o;
    o.model = SimModel::Tkan40;
    SimHarness forty(o);
    EXPECT_EQ(forty.Exchange("i28"), "\r\n");
    EXPECT_EQ(forty.sim->TestCurrent(), 40);

    EXPECT_EQ(plain.Exchange("t04"), "\r\n");
    EXPECT_EQ(plain.Exchange("t03"), "\r\n");
    EXPECT_NE(plain.Exchange("t07"), "\r\n");
}

TEST(SimInstrument, DynamicRunCountsDownAndStopYieldsARecordOfTheTimeRecorded)
{
    SimHarness h;
    ASSERT_EQ(h.Exchange("i0a"), "\r\n");
    ASSERT_EQ(h.Exchange("t04"), "\r\n");
    std::string sure = h.Exchange("T314");
    EXPECT_NE(sure.find("SURE"), std::string::npos);
    EXPECT_EQ(h.sim->Phase(), SimInstrument::RunPhase::AwaitingConfirmation);

    EXPECT_EQ(h.Exchange("Y"), "CHRG\r\n");
    EXPECT_EQ(Lines(h.Wait(6000)), (std::vector<std::string>{"CAL", "READY"}));
    EXPECT_EQ(h.Wait(3000), "") << "a dynamic test waits for the program's go";

    EXPECT_EQ(h.Exchange("G"), "T=120\r\n");
    std::vector<std::string> countdown = Lines(h.Wait(15000));
    ASSERT_EQ(countdown.size(), 15u);
    EXPECT_EQ(countdown.front(), "T=119");
    EXPECT_EQ(countdown.back(), "T=105");

    EXPECT_EQ(h.Exchange("S"), "STOPPED\r\n");
    EXPECT_EQ(h.Wait(3000), "") << "silent after the stop";
    EXPECT_EQ(h.sim->Phase(), SimInstrument::RunPhase::Idle);

    ASSERT_EQ(h.sim->Records().size(), 5u);
    EXPECT_EQ(h.sim->Records().back().number, 5);
    TestRecord record;
    ASSERT_EQ(BuildStreamed(h.Exchange("r"), false, record), 1);
    EXPECT_EQ(record.testType, 4);
    EXPECT_EQ(record.trace.seconds, 15);
    // The test current settles at what "i" set.
    EXPECT_NEAR(record.SampleCurrent(record.trace.sampleCount / 2), 10.0, 1.0);
}

TEST(SimInstrument, DynamicRunOnAFastClockEndsWithDoneAndLatchesTheRelay)
{
    SimOptions o;
    o.clockFactor = 60;
    SimHarness h(o);
    h.Exchange("t05");
    h.Exchange("T314");
    h.Exchange("Y");
    h.Wait(100, 10);  // 6 s of instrument time
    EXPECT_EQ(h.sim->Phase(), SimInstrument::RunPhase::Ready);
    h.Send("D");
    EXPECT_EQ(h.sim->RelayState(), SimInstrument::Relay::Lower);

    std::vector<std::string> lines = Lines(h.Take() + h.Wait(4100, 10));  // 246 s
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), "T=240");
    EXPECT_EQ(lines[lines.size() - 2], "T=0");
    EXPECT_EQ(lines.back(), "DONE");
    EXPECT_EQ(h.sim->RelayState(), SimInstrument::Relay::Off);

    TestRecord record;
    ASSERT_EQ(BuildStreamed(h.Exchange("r"), false, record), 1);
    EXPECT_EQ(record.testType, 5);
    EXPECT_EQ(record.trace.seconds, 240);
}

TEST(SimInstrument, StaticRunReportsThreeWindingsEverySecondUntilStopped)
{
    SimHarness h;
    h.Exchange("i05");
    h.Exchange("t03");
    h.Exchange("T314");
    EXPECT_EQ(h.Exchange("Y"), "CHRG\r\n");
    std::vector<std::string> lines = Lines(h.Wait(8000));
    ASSERT_GE(lines.size(), 2u + 3u * 3u);
    EXPECT_EQ(lines[0], "CAL");
    EXPECT_EQ(lines[1], "READY");
    for (std::size_t i = 2; i + 2 < lines.size(); i += 3) {
        for (int w = 0; w < 3; ++w) {
            const std::string& line = lines[i + static_cast<std::size_t>(w)];
            ASSERT_EQ(line.substr(0, 6), "RES_" + std::to_string(w + 1) + "=") << line;
            long value = std::stol(line.substr(6), nullptr, 16);
            EXPECT_GT(value, 2000) << line;
            EXPECT_LT(value, 3000) << line;
        }
    }

    // A raise relay moves the regulator one tap: the reading goes up.
    long before = std::stol(Lines(h.Wait(1000))[0].substr(6), nullptr, 16);
    h.Send("U");
    h.Send("O");
    long after = std::stol(Lines(h.Wait(1000))[0].substr(6), nullptr, 16);
    EXPECT_GT(after - before, 20);

    EXPECT_EQ(h.Exchange("S"), "STOPPED\r\n");
    ASSERT_EQ(h.sim->Records().size(), 5u);
    TestRecord record;
    ASSERT_EQ(BuildStreamed(h.Exchange("r"), false, record), 1);
    EXPECT_EQ(record.testType, 3);
    EXPECT_EQ(record.readingCount, 1);
    EXPECT_NEAR(record.readings[0].current / 10000, 5.0, 0.1);
}

TEST(SimInstrument, RkzMeterStartsOnTAndStopsOnEscapeWithoutAWord)
{
    SimOptions o;
    o.model = SimModel::Rkz40;
    SimHarness h(o);
    EXPECT_EQ(h.Exchange("i0a"), "") << "an RKZ meter has no current setting";
    EXPECT_EQ(h.Exchange("T"), "CHRG\r\n");
    std::string lines = h.Wait(7000);
    EXPECT_NE(lines.find("RES_1="), std::string::npos);
    EXPECT_NE(lines.find("RES_2="), std::string::npos);
    EXPECT_EQ(lines.find("RES_3="), std::string::npos) << "the meter measures two windings";

    EXPECT_EQ(h.Exchange("S"), "") << "the stop command is the TKAN's";
    EXPECT_EQ(h.sim->Phase(), SimInstrument::RunPhase::Measuring);
    EXPECT_EQ(h.Exchange("\x1b"), "");
    EXPECT_EQ(h.sim->Phase(), SimInstrument::RunPhase::Idle);

    TestRecord record;
    ASSERT_EQ(BuildStreamed(h.Exchange("R"), true, record), 1);
    EXPECT_EQ(record.testType, 2);
    EXPECT_EQ(record.readingCount, 1);
    EXPECT_NEAR(record.readings[0].current / 10000, 40.0, 0.1);
}

TEST(SimInstrument, StartIsCalledOffByAnythingButTheConfirmation)
{
    SimHarness h;
    h.Exchange("T314");
    h.Exchange("W");
    EXPECT_EQ(h.Exchange("Y"), "");
    EXPECT_EQ(h.sim->Phase(), SimInstrument::RunPhase::Idle);

    h.Exchange("T314");
    h.Exchange("Y");
    EXPECT_EQ(h.Exchange("T314"), "BUSY\r\n") << "no SURE while a test runs";
    EXPECT_EQ(h.Exchange("i05"), "BUSY\r\n");
}

TEST(SimInstrument, CommandsSplitAcrossReadsAndRunTogetherAreBothUnderstood)
{
    SimHarness h;
    h.Send("L0");
    h.Send("0");
    EXPECT_EQ(h.Take(), "");
    h.Send("2W");
    EXPECT_EQ(Lines(h.Take()), (std::vector<std::string>{"LOADED TEST 002", "TKAN V2.31"}));
    h.Send("L5W");  // digits cut short: the load runs with what came
    EXPECT_EQ(Lines(h.Take()), (std::vector<std::string>{"Test NOT found", "TKAN V2.31"}));
}

TEST(SimInstrument, AStreamGoesOnWhenSpokenToUnlessTheFaultMakesItStop)
{
    {
        // Busy streaming, the instrument does not hear the probe.
        SimHarness h;
        h.Exchange("L001");
        h.Send("r");
        EXPECT_EQ(h.sim->TakeOutput(1000).size(), 1000u);
        EXPECT_FALSE(h.Send("B\r"));
        std::string rest = h.Take();
        EXPECT_TRUE(rest.ends_with("\r\nDONE\r\n"));
        EXPECT_EQ(rest.find("OK\r\n"), std::string::npos);
        EXPECT_EQ(h.Exchange("W"), "TKAN V2.31\r\n");
        EXPECT_EQ(h.sim->CommandLog(), (std::vector<std::string>{"L001", "r", "W"}));
    }
    {
        SimOptions o;
        o.faults = {SimFault::StopStreamOnInput};
        SimHarness h(o);
        h.Exchange("L001");
        h.Send("r");
        std::vector<std::uint8_t> first = h.sim->TakeOutput(1000);
        EXPECT_EQ(first.size(), 1000u);
        EXPECT_TRUE(h.Send("B\r")) << "whoever holds the stream's bytes must drop them";
        EXPECT_EQ(h.Take(), "OK\r\n");
        EXPECT_FALSE(h.Send("W"));

        // Even a stream already taken whole may still sit in the front's hands.
        h.Exchange("r");
        EXPECT_TRUE(h.Send("W"));
    }
}

}  // namespace
}  // namespace tkan::test
