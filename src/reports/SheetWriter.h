#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tkan {

// A workbook being filled, one worksheet after another: cells are texts or
// numbers. The workbook library sits behind it; the tests record the cells
// instead.
class SheetWriter {
public:
    virtual ~SheetWriter() = default;

    // Row and column count from 1 (column 1 is A). `text` is Windows-1252.
    virtual void WriteCell(int row, int column, std::string_view text) = 0;
    // A number a spreadsheet can calculate with, shown as it is stored.
    virtual void WriteNumber(int row, int column, double value) = 0;
    // Starts a further worksheet named `name`; the cells written after it
    // go there. Before the first call they go into the first sheet.
    virtual void AddSheet(std::string_view name) = 0;
    // Writes the workbook to `path`; false with the reason in `reason`.
    virtual bool Save(const std::string& path, std::string& reason) = 0;
};

// "A1" for row 1, column 1; columns past Z continue AA, AB, ...
std::string CellAddress(int row, int column);

// The workbook writer of this platform (an .xlsx file).
std::unique_ptr<SheetWriter> MakeXlsxSheetWriter();

}  // namespace tkan
