// The real backend is built only where hidapi is; this suite needs the test
// program to link tkan_hidapi, which defines TKAN_WITH_HIDAPI for it.
#ifdef TKAN_WITH_HIDAPI

#include "device/hidapi/HidapiBackend.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "device/HidTransport.h"
#include "device/Timer.h"
#include "device/hidapi/HidReportDescriptor.h"

namespace tkan {
namespace {

TEST(HidReportDescriptor, CountsTheLongestReportOfEachKindWithItsIdByte)
{
    // A vendor-defined interface of 64-byte input and output reports, as
    // the instrument's firmware describes itself.
    const std::vector<std::uint8_t> vendor = {
        0x06, 0x00, 0xFF,  // usage page, vendor defined
        0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,
        0x75, 0x08, 0x95, 0x40, 0x09, 0x01, 0x81, 0x02,  // 64 x 8 bits in
        0x09, 0x01, 0x91, 0x02,                          // the same out
        0xC0,
    };
    HidReportLengths lengths;
    ASSERT_TRUE(ParseReportDescriptor(vendor, lengths));
    EXPECT_EQ(lengths.input, 65u);
    EXPECT_EQ(lengths.output, 65u);
    EXPECT_FALSE(lengths.numbered);

    // Numbered reports: the longest one counts; push and pop restore sizes;
    // a long item is stepped over; 12 bits round up to 2 bytes.
    const std::vector<std::uint8_t> numbered = {
        0x85, 0x01, 0x75, 0x08, 0x95, 0x20, 0x81, 0x02,              // ID 1: 32 bytes in
        0xFE, 0x02, 0x10, 0xAA, 0xBB,                                // long item
        0x85, 0x02, 0xA4, 0x75, 0x01, 0x95, 0x0C, 0x91, 0x02, 0xB4,  // ID 2: 12 bits out
        0x95, 0x3F, 0x81, 0x02,                                      // ID 2: 63 bytes in
    };
    ASSERT_TRUE(ParseReportDescriptor(numbered, lengths));
    EXPECT_EQ(lengths.input, 64u);
    EXPECT_EQ(lengths.output, 3u);
    EXPECT_TRUE(lengths.numbered);
}

TEST(HidReportDescriptor, RejectsADescriptorThatEndsInsideAnItem)
{
    HidReportLengths lengths{7, 7, false};
    EXPECT_FALSE(ParseReportDescriptor(std::vector<std::uint8_t>{0x75, 0x08, 0x26, 0xFF}, lengths));
    EXPECT_FALSE(ParseReportDescriptor(std::vector<std::uint8_t>{0xFE, 0x10, 0x00, 0x01}, lengths));
    EXPECT_EQ(lengths.input, 7u);
    // Nothing at all is no report of either kind.
    EXPECT_TRUE(ParseReportDescriptor({}, lengths));
    EXPECT_EQ(lengths.input, 0u);
}

TEST(HidapiBackend, WithoutTheInstrumentNothingIsFoundAndNothingBreaks)
{
    HidapiBackend backend;
    std::vector<HidDeviceInfo> present = backend.Enumerate();
    for (const HidDeviceInfo& info : present) {
        if (IsInstrumentHidId(info.vendorId, info.productId))
            GTEST_SKIP() << "an instrument is plugged in at " << info.path;
    }

    SteadyTickSource ticks;
    MessagePump pump;
    HidTransport usb(backend, ticks, pump);
    EXPECT_EQ(usb.EnsureOpen(), 0);
    EXPECT_EQ(usb.Write(std::vector<std::uint8_t>{'W'}), 0);
    EXPECT_EQ(usb.UnavailableHint(), "");

    HidOpenProblem problem = HidOpenProblem::None;
    EXPECT_EQ(backend.Open("/dev/hidraw-that-is-not-there", problem), nullptr);
    EXPECT_EQ(problem, HidOpenProblem::Failed);

    // A second backend shares hidapi with the first and lets it go last.
    {
        HidapiBackend other;
        EXPECT_EQ(other.Enumerate().size(), present.size());
    }
    EXPECT_EQ(backend.Enumerate().size(), present.size());
}

}  // namespace
}  // namespace tkan

#endif
