#pragma once

#include <charconv>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "reports/SheetWriter.h"

namespace tkan::test {

// Keeps every cell by its address, in the order written; a cell of a
// further sheet is "Name!A1", a number "#" and its shortest text. Save
// records the path and succeeds unless told otherwise.
class RecordingSheet : public SheetWriter {
public:
    void WriteCell(int row, int column, std::string_view text) override
    {
        order.push_back(sheet + CellAddress(row, column));
        cells[order.back()] = std::string(text);
    }

    void WriteNumber(int row, int column, double value) override
    {
        char text[64];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        WriteCell(row, column, "#" + std::string(text, end));
    }

    void AddSheet(std::string_view name) override { sheet = std::string(name) + "!"; }

    bool Save(const std::string& path, std::string& reason) override
    {
        savedPath = path;
        reason = failure;
        return failure.empty();
    }

    // The texts of one row of a sheet ("" the first, else "Name!"), A
    // onwards, up to its last written cell; "-" for a cell not written.
    std::vector<std::string> Row(int row, const std::string& of = "") const
    {
        std::vector<std::string> texts;
        for (int column = 1; column <= 16; ++column) {
            auto it = cells.find(of + CellAddress(row, column));
            texts.push_back(it == cells.end() ? "-" : it->second);
        }
        while (!texts.empty() && texts.back() == "-")
            texts.pop_back();
        return texts;
    }

    std::map<std::string, std::string> cells;
    std::vector<std::string> order;
    std::string savedPath;
    std::string failure;  // not empty: Save fails with this reason
    std::string sheet;    // the prefix of the sheet being filled
};

}  // namespace tkan::test
