// Renders the main window at a desktop size into PNG files beside the test
// program (<build>/screenshots/), so that a change to the page can be looked
// at without a display.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/UlkDoc.h"
#include "app/qt/MainFrame.h"
#include "device/SerialCom.h"
#include "device/Timer.h"
#include "display/qt/UlkView.h"
#include "settings/AppInfo.h"
#include "support/DemoFiles.h"
#include "ui/MainFrameRig.h"

namespace tkan {
namespace {

using test::DemoKind;

QString ScreenshotFolder()
{
#ifdef TKAN_SCREENSHOT_DIR
    QString path = QStringLiteral(TKAN_SCREENSHOT_DIR);
#else
    QDir build(QCoreApplication::applicationDirPath());
    build.cdUp();
    QString path = build.filePath(QStringLiteral("screenshots"));
#endif
    QDir().mkpath(path);
    return path;
}

// Enough distinct colours that the page, not a blank window, was drawn.
int ColourCount(const QImage& image)
{
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            colours.insert(image.pixel(x, y));
    return static_cast<int>(colours.size());
}

class MainFrameScreenshotTest : public ::testing::Test, protected test::MainFrameRig {};

TEST_F(MainFrameScreenshotTest, TheMainWindowRendersEachPresentationAtDesktopSize)
{
    CMainFrame& frame = MakeFrame();
    ShowFrame(1600, 1000);

    auto shoot = [&](const char* name) {
        QApplication::processEvents();
        QImage image = frame.grab().toImage();
        EXPECT_EQ(image.size(), QSize(1600, 1000)) << name;
        QString path = QDir(ScreenshotFolder()).filePath(QString::fromLatin1(name));
        EXPECT_TRUE(image.save(path)) << path.toStdString();
        return image;
    };

    QImage empty = shoot("main-empty.png");

    std::string dynamic = dir.File("Dynamic.tst-tkan");
    // A whole demonstration test with its two tap changes, not the short
    // record the other tests use.
    DemoParameters wholeTest;
    wholeTest.seconds = 14;
    ASSERT_EQ(test::WriteDemoTest(dynamic, DemoKind::Dynamic, wholeTest), 1);
    // A limit its first tap change (about 300 ms) exceeds, to show a
    // failure among the marks and in the table.
    settings.TransitionMaxMs = "290";
    ASSERT_EQ(frame.OpenDocumentFile(dynamic), 1);
    EXPECT_GT(ColourCount(shoot("main-dynamic.png")), ColourCount(empty));
    ASSERT_TRUE(frame.RunCommand(CommandId::GraphResults));
    ASSERT_TRUE(frame.View().TransitionsTable()->isVisible());
    shoot("main-dynamic-transitions.png");
    frame.View().ZoomToTransitionRow(0);
    shoot("main-dynamic-transition-zoomed.png");

    std::string fixedPoint = dir.File("Static.tst-tkan");
    ASSERT_EQ(test::WriteDemoTest(fixedPoint, DemoKind::Static), 1);
    ASSERT_EQ(frame.OpenDocumentFile(fixedPoint), 1);
    ASSERT_TRUE(frame.View().Grid()->isVisible());
    shoot("main-static-results.png");

    ASSERT_TRUE(frame.RunCommand(CommandId::GraphResults));
    ASSERT_FALSE(frame.View().Grid()->isVisible());
    EXPECT_GT(ColourCount(shoot("main-static-graph.png")), ColourCount(empty));
}

}  // namespace
}  // namespace tkan
