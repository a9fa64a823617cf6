#include "records/TestDate.h"

#include <gtest/gtest.h>

namespace tkan {
namespace {

TEST(TestDate, ReadsTheInstrumentsDateAndTime)
{
    EXPECT_EQ(ParseTestDateTime("Mar 05, 2026", "02:30 PM"), (TestDateTime{2026, 3, 5, 14, 30}));
    EXPECT_EQ(ParseTestDateTime(" dec  5,2025", "12:05 AM"), (TestDateTime{2025, 12, 5, 0, 5}));
    EXPECT_EQ(ParseTestDateTime("Jul 31, 2024", "12:59 pm"), (TestDateTime{2024, 7, 31, 12, 59}));
    EXPECT_EQ(ParseTestDateTime("Feb 29, 2024", "23:10"), (TestDateTime{2024, 2, 29, 23, 10}));
    // Results texts bring "MM/DD/YY"; a time that cannot be read is midnight.
    EXPECT_EQ(ParseTestDateTime("03/05/26", "10:00"), (TestDateTime{2026, 3, 5, 10, 0}));
    EXPECT_EQ(ParseTestDateTime("Jan 01, 2025", "noon"), (TestDateTime{2025, 1, 1, 0, 0}));

    EXPECT_FALSE(ParseTestDateTime("Feb 29, 2023", ""));
    EXPECT_FALSE(ParseTestDateTime("Apr 31, 2023", ""));
    EXPECT_FALSE(ParseTestDateTime("Mar", ""));
    EXPECT_FALSE(ParseTestDateTime("", ""));
}

}  // namespace
}  // namespace tkan
