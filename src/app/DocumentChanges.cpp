#include "app/DocumentChanges.h"

#include <algorithm>

namespace tkan {

EditableContent EditableContent::Of(const TestRecord& record)
{
    EditableContent content;
    content.header = record.header;
    content.referenceTemp = record.referenceTemp;
    const int readings = std::clamp(record.readingCount, 0, kMaxReadings);
    for (int i = 0; i < readings; ++i)
        content.notes.push_back(record.ReadingNote(i));
    const int points = std::clamp(record.dataPointCount, 0, kMaxDataPoints);
    content.points.assign(record.dataPoints.begin(), record.dataPoints.begin() + points);
    return content;
}

}  // namespace tkan
