// bxReportExport TEMPLATE SCHEMA XML PDF: turns a TKAN XML report into a PDF
// report laid out by the template, after checking the report against the
// schema. Exit 0 on success; every failure has its own code (ReportExport.h)
// and a one-line reason on standard error.
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ReportExport.h"

namespace {

// Standard error carries the one-line reason of a failure and nothing else:
// Qt's own remarks about the environment are not for the caller.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "bxReportExport: %s\n", message.toLocal8Bit().constData());
}

int Fail(int code, const std::string& reason)
{
    std::fprintf(stderr, "bxReportExport: %s\n", reason.c_str());
    return code;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        return Fail(bx::kExitUsage, "usage: bxReportExport TEMPLATE SCHEMA XML PDF");
    const std::string templatePath = argv[1], schemaPath = argv[2], xmlPath = argv[3], pdfPath = argv[4];

    bx::ReportTemplate report;
    std::string error;
    if (!bx::LoadTemplate(templatePath, report, error))
        return Fail(bx::kExitTemplate, error);
    bx::ReportData data;
    if (int code = bx::LoadReport(schemaPath, xmlPath, data, error); code != bx::kExitOk)
        return Fail(code, error);

    // The exporter runs hidden, also without a desktop: fonts and the PDF
    // writer need a GUI application, the screen does not.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietQtMessages);
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);
    if (!bx::WritePdf(report, data, pdfPath, error))
        return Fail(bx::kExitPdf, error);
    return bx::kExitOk;
}
