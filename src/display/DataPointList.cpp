#include "display/DataPointList.h"

#include <algorithm>
#include <utility>

#include "display/TextFormat.h"

namespace tkan {

DataPointList::DataPointList(const TestRecord& record)
{
    const int count = std::clamp(record.dataPointCount, 0, kMaxDataPoints);
    for (int i = 0; i < count; ++i) {
        points_.push_back(record.dataPoints[static_cast<std::size_t>(i)]);
        rows_.push_back(i);
    }
}

const DataPoint& DataPointList::PointOf(int row) const
{
    return points_.at(static_cast<std::size_t>(rows_.at(static_cast<std::size_t>(row))));
}

std::array<std::string, 6> DataPointList::RowTexts(int row) const
{
    const DataPoint& point = PointOf(row);
    return {FormatText("%d", row + 1),
            FormatText("%3.3lf", point.time),
            FormatResistance(point.resistance, false, false),
            FormatText("%.3lf A", point.current),
            FormatText("%.3lf A", point.motorCurrent),
            point.comment};
}

std::optional<std::string> DataPointList::SingleSelectionProblem(int selectedCount)
{
    if (selectedCount == 0)
        return std::string(kSelectItemText);
    if (selectedCount > 1)
        return std::string(kSelectOneItemText);
    return std::nullopt;
}

std::optional<int> DataPointList::MoveUp(int row)
{
    if (row <= 0 || row >= RowCount())
        return std::nullopt;
    std::swap(rows_[static_cast<std::size_t>(row)], rows_[static_cast<std::size_t>(row - 1)]);
    return row - 1;
}

std::optional<int> DataPointList::MoveDown(int row)
{
    if (row < 0 || row + 1 >= RowCount())
        return std::nullopt;
    std::swap(rows_[static_cast<std::size_t>(row)], rows_[static_cast<std::size_t>(row + 1)]);
    return row + 1;
}

void DataPointList::SetComment(int row, const std::string& comment)
{
    points_.at(static_cast<std::size_t>(rows_.at(static_cast<std::size_t>(row)))).comment =
        comment.substr(0, kCommentMaxLength);
}

void DataPointList::Delete(std::span<const int> rows)
{
    std::vector<int> doomed(rows.begin(), rows.end());
    std::sort(doomed.begin(), doomed.end(), std::greater<>());
    doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
    for (int row : doomed)
        if (row >= 0 && row < RowCount())
            rows_.erase(rows_.begin() + row);
}

bool DataPointList::WriteTo(TestRecord& record) const
{
    bool changed = record.dataPointCount != RowCount();
    for (std::size_t k = 0; k < rows_.size(); ++k) {
        DataPoint& target = record.dataPoints[k];
        const DataPoint& source = points_[static_cast<std::size_t>(rows_[k])];
        changed = changed || target != source;
        target = source;
    }
    record.dataPointCount = RowCount();
    return changed;
}

}  // namespace tkan
