#include "reports/XmlReport.h"

#include <cstdint>

#include "platform/Codepage.h"
#include "records/AtomicFile.h"
#include "records/TestRecord.h"
#include "records/TextLines.h"

namespace tkan {

namespace {

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string ResistanceText(double value)
{
    return Trimmed(FormatResistance(value, false, false));
}

// Element text from the record's Windows-1252 bytes: UTF-8, the markup
// characters escaped, line breaks kept as references so each element stays
// on its line, and the control characters XML cannot hold at all as "?".
std::string ElementText(const std::string& text)
{
    std::string out;
    for (char c : Cp1252ToUtf8(text)) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\r': out += "&#13;"; break;
        case '\n': out += "&#10;"; break;
        case '\t': out += c; break;
        default: out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
        }
    }
    return out;
}

class XmlLines {
public:
    void Open(int level, const char* name) { Line(level, "<" + std::string(name) + ">"); }
    void Close(int level, const char* name) { Line(level, "</" + std::string(name) + ">"); }
    void Leaf(int level, const char* name, const std::string& text)
    {
        Line(level, "<" + std::string(name) + ">" + ElementText(text) + "</" + name + ">");
    }
    void Flag(int level, const char* name, bool value) { Leaf(level, name, value ? "1" : "0"); }

    std::string text;

private:
    void Line(int level, const std::string& content)
    {
        text.append(static_cast<std::size_t>(level), '\t');
        text += content;
        text += "\r\n";
    }
};

}  // namespace

std::string XmlReportText(const TestRecord& record, const std::tm& writtenAt)
{
    const TestHeader& h = record.header;
    const bool corrected = record.tempCorrected;
    const bool dynamic = record.IsDynamic();
    XmlLines xml;
    xml.Open(0, "brennixreport");
    xml.Open(1, "reportinfo");
    xml.Leaf(2, "reporttype", "TKAN");
    xml.Leaf(2, "filename", h.fileName);
    xml.Leaf(2, "programversion", "");
    xml.Leaf(2, "reportversion", "1.0");
    xml.Leaf(2, "testdatetime", h.testDate + " " + h.testTime);
    xml.Leaf(2, "reportdatetime", FormatTimeInCLocale("%b %d, %Y %I:%M %p", writtenAt));
    xml.Leaf(2, "company", h.company);
    xml.Leaf(2, "station", h.station);
    xml.Leaf(2, "circuit", h.circuit);
    xml.Leaf(2, "manufacturer", h.manufacturer);
    xml.Leaf(2, "model", h.model);
    xml.Leaf(2, "serialnumber", h.serialNumber);
    xml.Leaf(2, "operatorname", h.operatorName);
    xml.Close(1, "reportinfo");

    xml.Open(1, "tkanreport");
    xml.Open(2, "reportdata");
    xml.Leaf(3, "testtype", record.TestTypeName());
    xml.Flag(3, "isltc", dynamic);
    xml.Flag(3, "isstatic", record.IsStaticTap());
    if (corrected) {
        xml.Leaf(3, "measuretemp", FormatNumber("%.1lf C", record.measureTemp));
        xml.Leaf(3, "referencetemp", FormatNumber("%.1lf C", record.referenceTemp));
        xml.Leaf(3, "tempconstant", FormatNumber("%.1lf", record.tempConstant));
    }
    xml.Flag(3, "r1enabled", !dynamic);
    xml.Flag(3, "r1senabled", !dynamic && corrected);
    xml.Flag(3, "r2enabled", record.HasV2());
    xml.Flag(3, "r2senabled", record.HasV2() && corrected);
    xml.Flag(3, "r3enabled", record.HasV3());
    xml.Flag(3, "r3senabled", record.HasV3() && corrected);
    xml.Close(2, "reportdata");

    if (!dynamic) {
        for (int i = 0; i < record.readingCount && i < kMaxReadings; ++i) {
            const StaticReading& r = record.readings[static_cast<std::size_t>(i)];
            xml.Open(2, "test");
            xml.Leaf(3, "testlabel", record.ReadingLabel(i));
            xml.Leaf(3, "time", Trimmed(r.timeText));
            xml.Leaf(3, "r1", ResistanceText(r.r1));
            if (corrected)
                xml.Leaf(3, "r1s", ResistanceText(r.r1s));
            if (record.HasV2()) {
                xml.Leaf(3, "r2", ResistanceText(r.r2));
                if (corrected)
                    xml.Leaf(3, "r2s", ResistanceText(r.r2s));
            }
            if (record.HasV3()) {
                xml.Leaf(3, "r3", ResistanceText(r.r3));
                if (corrected)
                    xml.Leaf(3, "r3s", ResistanceText(r.r3s));
            }
            xml.Leaf(3, "notes", Trimmed(record.ReadingNote(i)));
            xml.Close(2, "test");
        }
    }
    xml.Close(1, "tkanreport");
    xml.Close(0, "brennixreport");
    return xml.text;
}

int WriteXmlReport(const TestRecord& record, const std::string& path, std::time_t now)
{
    std::tm local{};
    localtime_r(&now, &local);
    const std::string text = XmlReportText(record, local);
    return WriteFileAtomically(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size()) ? 1 : 0;
}

}  // namespace tkan
