// The simulated instrument's misbehaviour on request.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/SimHarness.h"

namespace tkan::test {
namespace {

SimHarness WithFault(SimFault fault, SimModel model = SimModel::Tkan)
{
    SimOptions o;
    o.model = model;
    o.faults = {fault};
    return SimHarness(o);
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

const std::string kMarker = "\r\nDONE\r\n";

TEST(SimFaults, SilentInstrumentHearsButNeverAnswers)
{
    SimHarness h = WithFault(SimFault::Silence);
    EXPECT_EQ(h.Exchange("B\r"), "");
    EXPECT_EQ(h.Exchange("W"), "");
    EXPECT_EQ(h.Exchange("d"), "");
    EXPECT_EQ(h.Wait(5000), "");
    EXPECT_EQ(h.sim->CommandLog(), (std::vector<std::string>{"B", "W", "d"}));
}

TEST(SimFaults, GarbageAnswersTheProbeButNoLineEverEnds)
{
    SimHarness h = WithFault(SimFault::Garbage);
    EXPECT_EQ(h.Exchange("B\r"), "OK\r\n");
    std::string version = h.Exchange("W");
    EXPECT_EQ(version.size(), SimVersionText(SimModel::Tkan).size() + 2);
    EXPECT_EQ(version.find('\r'), std::string::npos);
    EXPECT_NE(version, SimVersionText(SimModel::Tkan) + "\r\n");

    std::string stream = h.Exchange("r");
    EXPECT_FALSE(stream.empty());
    EXPECT_EQ(stream.find(kMarker), std::string::npos);
}

TEST(SimFaults, LinesWithoutCarriageReturnKeepTheirText)
{
    SimHarness h = WithFault(SimFault::NoCarriageReturn);
    EXPECT_EQ(h.Exchange("B\r"), "OK\r\n") << "the probe reply is no line on the serial port";
    EXPECT_EQ(h.Exchange("W"), "TKAN V2.31\n");
    std::string listing = h.Exchange("d");
    EXPECT_EQ(listing.find('\r'), std::string::npos);
    EXPECT_NE(listing.find("#1\n"), std::string::npos);
}

TEST(SimFaults, StreamsAndListingsCanLackTheirEndMarker)
{
    SimHarness whole = WithFault(SimFault::NoEndMarker);
    SimHarness normal;
    std::string stream = whole.Exchange("r");
    std::string expected = normal.Exchange("r");
    EXPECT_EQ(stream + kMarker, expected);
    EXPECT_EQ(Count(whole.Exchange("d"), "DONE"), 0u);
}

TEST(SimFaults, CutStreamStopsHalfway)
{
    SimHarness cut = WithFault(SimFault::CutStream);
    SimHarness normal;
    std::string full = normal.Exchange("r");
    std::string half = cut.Exchange("r");
    EXPECT_EQ(half.size(), (full.size() - kMarker.size()) / 2);
    EXPECT_EQ(full.compare(0, half.size(), half), 0);
    EXPECT_EQ(cut.Wait(5000), "");
    EXPECT_EQ(cut.Exchange("B\r"), "OK\r\n") << "the instrument itself is still there";
}

TEST(SimFaults, ManyRecordsFillTheDirectoryPastItsLimit)
{
    SimHarness h = WithFault(SimFault::ManyRecords);
    std::vector<std::string> lines = Lines(h.Exchange("d"));
    std::size_t entries = std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l[0] == '#'; });
    EXPECT_EQ(entries, 101u);
    EXPECT_EQ(lines.back(), "DONE");
    EXPECT_EQ(h.Exchange("L101"), "LOADED TEST 101\r\n");
}

TEST(SimFaults, RefusedRecordsAreNeverFound)
{
    SimHarness h = WithFault(SimFault::RefuseRecords);
    EXPECT_EQ(h.Exchange("L001"), "Test NOT found\r\n");
    EXPECT_NE(h.Exchange("d").find("#1\r\n"), std::string::npos) << "they are still listed";
}

TEST(SimFaults, TrickleSendsOneCharacterEveryTwoSecondsAfterTheProbe)
{
    SimHarness h = WithFault(SimFault::Trickle);
    EXPECT_EQ(h.Exchange("B\r"), "OK\r\n");
    h.Send("W");
    EXPECT_EQ(h.Take(), "T");
    EXPECT_EQ(h.Wait(1900), "");
    EXPECT_EQ(h.sim->MsUntilNextEvent(), 100);
    EXPECT_EQ(h.Wait(100), "K");
    EXPECT_EQ(h.Wait(2000 * 11), "AN V2.31\r\n");
}

TEST(SimFaults, LinkDropsHalfwayThroughAStream)
{
    SimHarness h = WithFault(SimFault::LinkDrop);
    EXPECT_EQ(h.Exchange("B\r"), "OK\r\n");
    h.Send("r");
    std::vector<std::uint8_t> first = h.sim->TakeOutput(100);
    EXPECT_FALSE(h.sim->LinkDropped()) << "not before the half has gone out";
    std::string rest = h.Take();
    EXPECT_GT(rest.size(), 0u);
    EXPECT_TRUE(h.sim->LinkDropped());
    EXPECT_EQ(h.Exchange("B\r"), "");
    EXPECT_EQ(h.sim->MsUntilNextEvent(), -1);
}

TEST(SimFaults, LinkDropsWhenATestIsReady)
{
    SimHarness h = WithFault(SimFault::LinkDrop);
    h.Exchange("T314");
    h.Exchange("Y");
    EXPECT_EQ(Lines(h.Wait(6000)), (std::vector<std::string>{"CAL", "READY"}));
    EXPECT_TRUE(h.sim->LinkDropped());
}

}  // namespace
}  // namespace tkan::test
