#pragma once

#include <ctime>
#include <string>

namespace tkan {

class TestRecord;

// The XML report of a record, as the report exporter reads it: one element
// per line, CR LF line ends, one TAB per level, texts escaped and in UTF-8.
// `writtenAt` is the local time of writing.
std::string XmlReportText(const TestRecord& record, const std::tm& writtenAt);

// Writes the report to `path`, stamped with the local time `now`. 1 when
// written, 0 when the file cannot be made; nothing is shown.
int WriteXmlReport(const TestRecord& record, const std::string& path, std::time_t now);

}  // namespace tkan
