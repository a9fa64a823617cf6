#pragma once

#include <map>
#include <string>
#include <vector>

namespace bx {

// Exit codes: each failure has its own, with a one-line reason on standard
// error.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 2;
constexpr int kExitTemplate = 3;    // template missing, unreadable or not understood
constexpr int kExitInvalidXml = 4;  // report missing, not well-formed or not valid
constexpr int kExitSchema = 5;      // schema missing or not a schema
constexpr int kExitPdf = 6;         // the PDF cannot be written

// One line of the template (format: data/report/tkanreport.md).
struct TemplateItem {
    std::string directive;  // title, heading, line, field, rule, temperatures, readings, dynamic, page
    std::string text;       // with {element} placeholders
    std::string value;      // field: the value text
};

struct ReportTemplate {
    bool landscape = false;
    bool letter = false;  // page size Letter instead of A4
    std::vector<TemplateItem> items;
};

// Reads the template; false with the reason (and its line) in `error`.
bool LoadTemplate(const std::string& path, ReportTemplate& report, std::string& error);

// One reading of the report, its columns by element name (r1, r1s, ...).
using Reading = std::map<std::string, std::string>;

// What the XML report holds: the texts of reportinfo and reportdata by
// element name, and the readings.
struct ReportData {
    std::map<std::string, std::string> values;
    std::vector<Reading> readings;
    std::string Value(const std::string& name) const;
    bool Flag(const std::string& name) const { return Value(name) == "1"; }
};

// Validates the XML report against the schema and reads it. Returns kExitOk,
// kExitSchema or kExitInvalidXml with the reason in `error`.
int LoadReport(const std::string& schemaPath, const std::string& xmlPath, ReportData& data, std::string& error);

// `text` with every {name} replaced by that element's text.
std::string Substitute(const std::string& text, const ReportData& data);

// Renders the report as a PDF and puts it at `pdfPath` atomically; false
// with the reason when it cannot be written.
bool WritePdf(const ReportTemplate& report, const ReportData& data, const std::string& pdfPath, std::string& error);

}  // namespace bx
