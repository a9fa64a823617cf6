#include "app/qt/PrintCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/UlkDoc.h"
#include "app/qt/FileCommands.h"
#include "app/qt/MainFrame.h"
#include "device/SerialCom.h"
#include "device/Timer.h"
#include "display/qt/UlkView.h"
#include "settings/AppInfo.h"
#include "support/DemoFiles.h"
#include "support/PdfText.h"
#include "ui/MainFrameRig.h"

namespace tkan {
namespace {

using test::DemoKind;

QString ScreenshotFolder()
{
    QString path = QStringLiteral(TKAN_SCREENSHOT_DIR);
    QDir().mkpath(path);
    return path;
}

class PrintCommandsTest : public ::testing::Test, protected test::MainFrameRig {
protected:
    PrintCommandsTest()
    {
        // A logo four times as wide as high, as a maker's usually is.
        QImage logo(400, 100, QImage::Format_RGB32);
        logo.fill(QColor(20, 60, 140));
        QPainter painter(&logo);
        painter.setPen(Qt::white);
        QFont font = painter.font();
        font.setPixelSize(60);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(logo.rect(), Qt::AlignCenter, QStringLiteral("BRENNIX"));
        painter.end();
        settings.LogoFile = dir.File("report_logo.bmp");
        logo.save(QString::fromStdString(settings.LogoFile), "BMP");

        MakeFrame();
        ShowFrame(1600, 1000);
        commands = InstallPrintCommands(*frame, settings, prompter);
    }

    // The print dialog accepted with the pages going into `pdf`; pages
    // `first` to `last` when a range is given.
    void PrintTo(const std::string& pdf, int first = 0, int last = 0)
    {
        commands->runDialog = [this, pdf, first, last](QDialog& dialog) {
            auto* print = qobject_cast<QPrintDialog*>(&dialog);
            EXPECT_NE(print, nullptr);
            if (!print)
                return false;
            offeredPages = print->maxPage();
            QPrinter* printer = print->printer();
            suggestedFile = printer->outputFormat() == QPrinter::PdfFormat ? printer->outputFileName().toStdString()
                                                                           : std::string();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(QString::fromStdString(pdf));
            if (first > 0) {
                printer->setPrintRange(QPrinter::PageRange);
                printer->setFromTo(first, last);
            }
            return true;
        };
        ASSERT_TRUE(frame->RunCommand(CommandId::Print));
    }

    CPrintCommands* commands = nullptr;
    int offeredPages = 0;
    std::string suggestedFile;
};

TEST_F(PrintCommandsTest, PrinterIsMadeWhenFirstUsedAndKeepsTheUsersOrientationUntilSetup)
{
    ASSERT_EQ(frame->OpenDocumentFile(Demo("d.tst-tkan", DemoKind::Dynamic)), 1);
    EXPECT_EQ(commands->Printer(), nullptr);

    commands->runDialog = [](QDialog&) { return false; };
    ASSERT_TRUE(frame->RunCommand(CommandId::PrintSetup));
    ASSERT_NE(commands->Printer(), nullptr);
    EXPECT_EQ(commands->Printer()->pageLayout().orientation(), QPageLayout::Landscape);

    // The user's choice holds for the run, until Application Setup applies
    // the setting again.
    commands->Printer()->setPageOrientation(QPageLayout::Portrait);
    ASSERT_TRUE(frame->RunCommand(CommandId::PrintSetup));
    EXPECT_EQ(commands->Printer()->pageLayout().orientation(), QPageLayout::Portrait);
    AfterSettingsApplied(*frame);
    EXPECT_EQ(commands->Printer()->pageLayout().orientation(), QPageLayout::Landscape);
    // Setup accepted with portrait and a logo file that is gone.
    ASSERT_NE(frame->View().Logo(), nullptr);
    settings.Orientation = 1;
    settings.LogoFile = dir.File("gone.bmp");
    AfterSettingsApplied(*frame);
    EXPECT_EQ(commands->Printer()->pageLayout().orientation(), QPageLayout::Portrait);
    EXPECT_EQ(frame->View().Logo(), nullptr);
}

TEST_F(PrintCommandsTest, PrintCommitsTheEditsAndPrintsThePagesChosen)
{
    if (!test::HavePdfTools())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    ASSERT_EQ(frame->OpenDocumentFile(Demo("s.tst-tkan", DemoKind::Static)), 1);
    for (int k = 0; k < 2; ++k) {
        ASSERT_EQ(doc.Overlay(k).LoadTestFile(Demo(k == 0 ? "one.tst-tkan" : "two.tst-tkan", DemoKind::Static)), 1);
    }
    doc.overlayCount = 2;
    frame->UpdateAllViews();
    QApplication::processEvents();
    // Typed, not yet entered: printing takes it into the record first.
    QLineEdit* company = frame->View().HeaderEdit(HeaderField::Company);
    ASSERT_NE(company, nullptr);
    company->setText(QStringLiteral("Typed Company"));
    company->setModified(true);

    const std::string pdf = dir.File("static.pdf");
    PrintTo(pdf);
    EXPECT_EQ(offeredPages, 4);
    // Without a printer the dialog prints to a file named after the test.
    if (!suggestedFile.empty()) {
        EXPECT_EQ(suggestedFile, dir.File("s.pdf"));
    }
    std::vector<std::string> pages = test::PdfPages(pdf);
    ASSERT_EQ(pages.size(), 4u);
    EXPECT_NE(pages[0].find("COMPANY: Typed Company"), std::string::npos);
    EXPECT_NE(pages[1].find("FILENAME: one.tst-tkan"), std::string::npos);
    EXPECT_EQ(doc.Main().header.company, "Typed Company");

    PrintTo(pdf, 2, 3);
    pages = test::PdfPages(pdf);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_NE(pages[0].find("FILENAME: one.tst-tkan"), std::string::npos);
    EXPECT_NE(pages[1].find("FILENAME: two.tst-tkan"), std::string::npos);
}

TEST_F(PrintCommandsTest, APdfThatCannotBeWrittenIsReported)
{
    ASSERT_EQ(frame->OpenDocumentFile(Demo("d.tst-tkan", DemoKind::Dynamic)), 1);
    PrintTo(dir.File("no-such-folder/d.pdf"));
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{kPrintFailedText});
}

TEST_F(PrintCommandsTest, CtrlCOnTheViewCopiesTheGraphAsShown)
{
    ASSERT_EQ(frame->OpenDocumentFile(Demo("d.tst-tkan", DemoKind::Dynamic)), 1);
    QApplication::processEvents();
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();

    // In a header edit the key is the edit's: it copies text.
    QLineEdit* company = frame->View().HeaderEdit(HeaderField::Company);
    ASSERT_NE(company, nullptr);
    company->setFocus();
    company->selectAll();
    QTest::keyClick(company, Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(clipboard->image().isNull());

    frame->View().setFocus();
    QApplication::processEvents();
    QTest::keyClick(&frame->View(), Qt::Key_C, Qt::ControlModifier);
    QImage copied = clipboard->image();
    const Rect& graph = frame->View().LastLayout().graphRect;
    ASSERT_FALSE(copied.isNull());
    EXPECT_EQ(copied.size(), QSize(graph.width(), graph.height()));
    copied.save(QDir(ScreenshotFolder()).filePath(QStringLiteral("print-clipboard-graph.png")));
}

// Every kind of printed page, rendered from the PDF the print command
// wrote, and the preview window, for a person to look at.
TEST_F(PrintCommandsTest, PicturesOfEveryPageKindAndOfThePreview)
{
    if (!test::HavePdfTools())
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    const std::string folder = ScreenshotFolder().toStdString();
    settings.ReportFooterLine = "Second footer line from the settings";

    ASSERT_EQ(frame->OpenDocumentFile(Demo("Dynamic.tst-tkan", DemoKind::Dynamic)), 1);
    TestRecord& dynamic = doc.Main();
    dynamic.dataPointCount = 3;
    dynamic.dataPoints[0] = {0.25, 2650, "before the change", 0, 0};
    dynamic.dataPoints[1] = {0.9, 3100.5, "transition", 0, 0};
    dynamic.dataPoints[2] = {1.5, 2700, "", 0, 0};
    const std::string dynamicPdf = dir.File("dynamic.pdf");
    PrintTo(dynamicPdf);
    EXPECT_EQ(offeredPages, 3);  // graph, data points, transitions
    test::CaptureCommand("pdftoppm -r 80 -png '" + dynamicPdf + "' '" + folder + "/print-dynamic'");

    // A full table: the readings go on over a second page. The grid is set
    // up again so that it shows the notes printing takes from it.
    ASSERT_EQ(frame->OpenDocumentFile(Demo("Static.tst-tkan", DemoKind::Static)), 1);
    TestRecord& fixed = doc.Main();
    fixed.readingCount = 50;
    fixed.notesText.clear();
    for (int k = 0; k < 50; ++k) {
        StaticReading& r = fixed.readings[static_cast<std::size_t>(k)];
        r = fixed.readings[static_cast<std::size_t>(k % 17)];
        char time[16];
        std::snprintf(time, sizeof time, "10:%02d:%02d", 12 + k / 60, k % 60);
        r.timeText = time;
        fixed.notesText += k % 5 == 0 ? "checked\t" : "\t";
    }
    frame->InitialUpdate();
    ASSERT_EQ(doc.Overlay(0).LoadTestFile(Demo("Overlay.tst-tkan", DemoKind::Static)), 1);
    doc.overlayCount = 1;
    frame->UpdateAllViews();
    const std::string staticPdf = dir.File("static.pdf");
    PrintTo(staticPdf);
    EXPECT_EQ(offeredPages, 4);
    test::CaptureCommand("pdftoppm -r 80 -png '" + staticPdf + "' '" + folder + "/print-static'");
    commands->Printer()->setPageOrientation(QPageLayout::Portrait);
    PrintTo(staticPdf);
    test::CaptureCommand("pdftoppm -r 80 -png '" + staticPdf + "' '" + folder + "/print-static-portrait'");

    commands->runDialog = [](QDialog& dialog) {
        dialog.show();
        QTest::qWait(100);
        dialog.grab().save(QDir(ScreenshotFolder()).filePath(QStringLiteral("print-setup.png")));
        return false;
    };
    ASSERT_TRUE(frame->RunCommand(CommandId::PrintSetup));

    bool shown = false;
    commands->runDialog = [&](QDialog& dialog) {
        shown = qobject_cast<QPrintPreviewDialog*>(&dialog) != nullptr;
        dialog.show();
        QTest::qWait(200);
        dialog.grab().save(QDir(ScreenshotFolder()).filePath(QStringLiteral("print-preview.png")));
        return false;
    };
    ASSERT_TRUE(frame->RunCommand(CommandId::PrintPreview));
    EXPECT_TRUE(shown);
}

}  // namespace
}  // namespace tkan
