#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "records/TestRecord.h"

namespace tkan {

inline constexpr char kSelectItemText[] = "Please select an item first";
inline constexpr char kSelectOneItemText[] = "Please select only one item";
inline constexpr int kCommentMaxLength = 40;

struct DataPointColumn {
    const char* name;
    int width;
};
inline constexpr std::array<DataPointColumn, 6> kDataPointColumns{{
    {"Point", 50},
    {"Time", 60},
    {"Resistance", 130},
    {"Current", 130},
    {"Motor Current", 130},
    {"Comment", 350},
}};

// The Data Points dialog's list: one row per marked point, which the
// operator reorders, comments and deletes. It works on copies, so the
// record changes only when the list is accepted and Cancel leaves it
// exactly as it was.
class DataPointList {
public:
    explicit DataPointList(const TestRecord& record);

    int RowCount() const { return static_cast<int>(rows_.size()); }
    // The cells of a row, Windows-1252: the row number, then the point.
    std::array<std::string, 6> RowTexts(int row) const;
    // The point a row shows, as the list holds it.
    const DataPoint& PointOf(int row) const;

    // Up, Down and Edit act on one row: the message to show when the
    // selection is not exactly one row, nothing when it is.
    static std::optional<std::string> SingleSelectionProblem(int selectedCount);

    // The row's new position, or nothing when it cannot move that way.
    std::optional<int> MoveUp(int row);
    std::optional<int> MoveDown(int row);
    void SetComment(int row, const std::string& comment);
    void Delete(std::span<const int> rows);

    // OK: the rows, in list order, become the record's points. Points
    // beyond the new count stay as they were. True when the record
    // changed.
    bool WriteTo(TestRecord& record) const;

private:
    std::vector<DataPoint> points_;  // the record's points, comments edited
    std::vector<int> rows_;          // row -> index into points_
};

}  // namespace tkan
