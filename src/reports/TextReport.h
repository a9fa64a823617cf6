#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "records/TestRecord.h"
#include "reports/ReadingRow.h"

namespace tkan {

// What the Run Test dialog knows at the moment it saves its readings.
struct TextReportInput {
    bool isRkzMeter = false;  // a series-1 RKZ meter is series 1, all else 2
    std::tm openedAt{};       // when the dialog was opened, local time
    TestHeader header;        // the eight header texts; its date, time and file name are not used
    bool correctionEnabled = false;
    std::string tmCelsiusText;  // exactly as shown in the dialog
    std::string tsCelsiusText;
    bool copper = true;  // Tk 234.5; aluminium 225
    std::string testTypeName;
    std::vector<ReadingRow> rows;
};

// Appends the fixed-width "RKZ TEST RESULTS" report of a static run to out.
// Its labels and line starts are read back by ParseResultsText, so the layout
// is a file format.
void WriteTextReport(std::string& out, const std::string& testNumberText, const TextReportInput& input);

}  // namespace tkan
