#pragma once

#include <string>
#include <vector>

#include "records/TestRecord.h"

namespace tkan {

// What the operator can change in a loaded test without running it again:
// the header, the reference temperature, the reading notes and the data
// points. Two of them compare equal when a save would write the same
// things, so a note list rebuilt from the grid with the same texts is no
// change.
struct EditableContent {
    TestHeader header;
    double referenceTemp = 0;
    std::vector<std::string> notes;
    std::vector<DataPoint> points;

    static EditableContent Of(const TestRecord& record);
    bool operator==(const EditableContent&) const = default;
};

}  // namespace tkan
