#include "RecordJson.h"

#include <algorithm>

#include "platform/Codepage.h"
#include "records/TestRecord.h"

namespace tkan::cli {

using nlohmann::ordered_json;

ordered_json RecordToJson(const TestRecord& r)
{
    auto text = [](const std::string& s) { return Cp1252ToUtf8(s); };
    const TestHeader& h = r.header;

    ordered_json j;
    j["testType"] = r.testType;
    j["typeName"] = text(r.TestTypeName());
    j["isDynamic"] = r.IsDynamic();
    j["company"] = text(h.company);
    j["station"] = text(h.station);
    j["circuit"] = text(h.circuit);
    j["manufacturer"] = text(h.manufacturer);
    j["model"] = text(h.model);
    j["serialNumber"] = text(h.serialNumber);
    j["kva"] = text(h.kva);
    j["operatorName"] = text(h.operatorName);
    j["testDate"] = text(h.testDate);
    j["testTime"] = text(h.testTime);
    j["fileName"] = text(h.fileName);
    j["measureTemp"] = r.measureTemp;
    j["referenceTemp"] = r.referenceTemp;
    j["tempConstant"] = r.tempConstant;
    j["tempCorrected"] = r.tempCorrected;
    j["tapsPerSide"] = r.tapsPerSide;
    j["textForm"] = r.textForm;
    j["headerTextPresent"] = r.headerTextPresent;

    // The counts are trusted only as far as the arrays go.
    const int readingCount = std::clamp(r.readingCount, 0, kMaxReadings);
    j["readingCount"] = readingCount;
    ordered_json readings = ordered_json::array();
    for (int i = 0; i < readingCount; ++i) {
        const StaticReading& s = r.readings[i];
        ordered_json row;
        row["label"] = text(r.ReadingLabel(i));
        row["current"] = s.current;
        row["r1"] = s.r1;
        row["r2"] = s.r2;
        row["r3"] = s.r3;
        row["r1s"] = s.r1s;
        row["r2s"] = s.r2s;
        row["r3s"] = s.r3s;
        row["timeText"] = text(s.timeText);
        readings.push_back(std::move(row));
    }
    j["readings"] = std::move(readings);
    j["notesText"] = text(r.notesText);

    const int dataPointCount = std::clamp(r.dataPointCount, 0, kMaxDataPoints);
    j["dataPointCount"] = dataPointCount;
    ordered_json points = ordered_json::array();
    for (int i = 0; i < dataPointCount; ++i) {
        const DataPoint& p = r.dataPoints[i];
        ordered_json point;
        point["time"] = p.time;
        point["resistance"] = p.resistance;
        point["comment"] = text(p.comment);
        point["current"] = p.current;
        point["motorCurrent"] = p.motorCurrent;
        points.push_back(std::move(point));
    }
    j["dataPoints"] = std::move(points);

    j["sampleCount"] = r.trace.sampleCount;
    j["seconds"] = r.trace.seconds;
    j["resistanceMin"] = r.resistanceMin;
    j["resistanceMax"] = r.resistanceMax;
    j["currentMin"] = r.currentMin;
    j["currentMax"] = r.currentMax;
    j["motorCurrentMin"] = r.motorCurrentMin;
    j["motorCurrentMax"] = r.motorCurrentMax;
    j["recordText"] = text(r.recordText);
    return j;
}

}  // namespace tkan::cli
