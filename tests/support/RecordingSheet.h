#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "reports/SheetWriter.h"

namespace tkan::test {

// Keeps every cell by its address, in the order written; Save records the
// path and succeeds unless told otherwise.
class RecordingSheet : public SheetWriter {
public:
    void WriteCell(int row, int column, std::string_view text) override
    {
        order.push_back(CellAddress(row, column));
        cells[order.back()] = std::string(text);
    }

    bool Save(const std::string& path, std::string& reason) override
    {
        savedPath = path;
        reason = failure;
        return failure.empty();
    }

    // The texts of one row, A onwards, up to its last written cell; "-" for
    // a cell not written.
    std::vector<std::string> Row(int row) const
    {
        std::vector<std::string> texts;
        for (int column = 1; column <= 8; ++column) {
            auto it = cells.find(CellAddress(row, column));
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
};

}  // namespace tkan::test
