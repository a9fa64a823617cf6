#include "display/DataPointList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/TestRecord.h"

using namespace tkan;

namespace {

// Points 0.5 s apart, each with its own values and comment.
void MarkPoints(TestRecord& record, int count)
{
    record.dataPointCount = count;
    for (int i = 0; i < count; ++i)
        record.dataPoints[static_cast<std::size_t>(i)] = {0.5 * (i + 1), 1000.0 * (i + 1), "P" + std::to_string(i + 1),
                                                          10.0 + i, -1.0 * i};
}

std::vector<std::string> Comments(const TestRecord& record)
{
    std::vector<std::string> comments;
    for (int i = 0; i < record.dataPointCount; ++i)
        comments.push_back(record.dataPoints[static_cast<std::size_t>(i)].comment);
    return comments;
}

TEST(DataPointList, RowsShowThePointsInTheirColumns)
{
    TestRecord record;
    MarkPoints(record, 1);
    record.dataPoints[0] = {2.5184, 2450, "tap 3", 9.2, -2.1};
    DataPointList list(record);
    ASSERT_EQ(list.RowCount(), 1);
    EXPECT_EQ(list.RowTexts(0),
              (std::array<std::string, 6>{"1", "2.518", "2.4500 m-Ohm     ", "9.200 A", "-2.100 A", "tap 3"}));
}

TEST(DataPointList, MovesStopAtTheEndsAndOkWritesTheNewOrder)
{
    TestRecord record;
    MarkPoints(record, 4);
    record.dataPoints[4].comment = "beyond the count";
    DataPointList list(record);
    EXPECT_FALSE(list.MoveUp(0));
    EXPECT_FALSE(list.MoveDown(3));
    EXPECT_EQ(list.MoveUp(2), 1);
    EXPECT_EQ(list.MoveUp(3), 2);
    // The rows now show P1 P3 P4 P2; Edit goes to the point on the row.
    list.SetComment(1, "third");
    EXPECT_TRUE(Comments(record) == (std::vector<std::string>{"P1", "P2", "P3", "P4"}));

    const int rows[] = {0, 1};
    list.Delete(rows);
    ASSERT_TRUE(list.WriteTo(record));
    EXPECT_EQ(Comments(record), (std::vector<std::string>{"P4", "P2"}));
    EXPECT_DOUBLE_EQ(record.dataPoints[0].current, 13);
    EXPECT_DOUBLE_EQ(record.dataPoints[1].motorCurrent, -1);
    EXPECT_EQ(record.dataPoints[4].comment, "beyond the count");
}

TEST(DataPointList, CancelLeavesTheRecordAsItWasAndAnEmptyListStaysEmpty)
{
    TestRecord record;
    MarkPoints(record, 2);
    {
        DataPointList list(record);
        list.SetComment(0, std::string(60, 'x'));
        EXPECT_EQ(list.PointOf(0).comment.size(), 40u);
        list.MoveDown(0);
    }
    EXPECT_EQ(Comments(record), (std::vector<std::string>{"P1", "P2"}));

    TestRecord empty;
    DataPointList none(empty);
    EXPECT_EQ(none.RowCount(), 0);
    EXPECT_FALSE(none.WriteTo(empty));
    EXPECT_EQ(empty.dataPointCount, 0);

    EXPECT_EQ(DataPointList::SingleSelectionProblem(0), "Please select an item first");
    EXPECT_EQ(DataPointList::SingleSelectionProblem(2), "Please select only one item");
    EXPECT_FALSE(DataPointList::SingleSelectionProblem(1));
}

}  // namespace
