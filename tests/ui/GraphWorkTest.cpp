// The graph as the operator works it in the main window: marks made with
// F8, the Data Points dialog, the question a changed test asks, and the
// pictures of the zoomed graph and of the dialogs.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/UlkDoc.h"
#include "app/qt/MainFrame.h"
#include "device/SerialCom.h"
#include "device/Timer.h"
#include "display/GraphHelp.h"
#include "display/qt/DataPointsDialog.h"
#include "display/qt/GraphHelpDialog.h"
#include "display/qt/UlkView.h"
#include "settings/AppInfo.h"
#include "support/DemoFiles.h"
#include "ui/MainFrameRig.h"

namespace tkan {
namespace {

using test::DemoKind;

QString ShotPath(const char* name)
{
    QString folder = QStringLiteral(TKAN_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    return QDir(folder).filePath(QString::fromLatin1(name));
}

QPushButton* ButtonNamed(QWidget* dialog, const char* text)
{
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->text().remove(QLatin1Char('&')) == QLatin1String(text))
            return button;
    return nullptr;
}

// Runs `work` on the modal dialog that the next call opens.
template <typename Dialog>
void OnNextDialog(std::function<void(Dialog&)> work)
{
    QTimer::singleShot(0, [work] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        work(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
}

class GraphWorkTest : public ::testing::Test, protected test::MainFrameRig {
protected:
    GraphWorkTest()
    {
        MakeFrame();
        ShowFrame(1600, 1000);
    }

    void Open(int seconds = 2)
    {
        path = dir.File("Dynamic.tst-tkan");
        demo.seconds = seconds;
        ASSERT_EQ(test::WriteDemoTest(path, DemoKind::Dynamic, demo), 1);
        ASSERT_EQ(frame->OpenDocumentFile(path), 1);
        Paint();
    }

    void Paint()
    {
        frame->View().repaint();
        QApplication::processEvents();
    }

    CUlkView& View() { return frame->View(); }
    Rect Plot() { return View().Renderer().PlotRect(); }
    int Middle() { return (Plot().top + Plot().bottom) / 2; }
    // The column of time t on the plot as it is now.
    int ColumnOf(double t)
    {
        const CDisplayTest& graph = View().Renderer();
        return Plot().left +
               static_cast<int>((t - graph.timeStart) / (graph.timeEnd - graph.timeStart) * Plot().width());
    }

    void Mouse(QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPointF at(x, Middle());
        QMouseEvent event(type, at, View().mapToGlobal(at), button, held, modifiers);
        QApplication::sendEvent(&View(), &event);
    }
    void MoveTo(int x) { Mouse(QEvent::MouseMove, x, Qt::NoButton, Qt::NoButton); }
    void Drag(int from, int to, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        Mouse(QEvent::MouseMove, from, Qt::NoButton, Qt::LeftButton, modifiers);
        Mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, modifiers);
        Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, modifiers);
    }
    void Key(Qt::Key key)
    {
        View().setFocus();
        QTest::keyRelease(&View(), key);
    }

    std::string path;
    DemoParameters demo;
};

TEST_F(GraphWorkTest, PointsMarkedWithF8AreReorderedAndDeletedInTheDialog)
{
    Open();
    MoveTo(ColumnOf(0.5));
    Key(Qt::Key_F8);
    MoveTo(ColumnOf(1.5));
    Key(Qt::Key_F8);
    const TestRecord& main = doc.Main();
    ASSERT_EQ(main.dataPointCount, 2);
    const double second = main.dataPoints[1].time;
    EXPECT_GT(second, main.dataPoints[0].time);

    int rowsShown = -1;
    OnNextDialog<dlgDataPoints>([&](dlgDataPoints& dialog) {
        QTreeWidget* list = dialog.List();
        rowsShown = list->topLevelItemCount();
        list->topLevelItem(1)->setSelected(true);
        ButtonNamed(&dialog, "Up")->click();
        EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("1"));
        EXPECT_TRUE(list->topLevelItem(0)->isSelected());
        list->clearSelection();
        list->topLevelItem(1)->setSelected(true);
        ButtonNamed(&dialog, "Delete")->click();
        ButtonNamed(&dialog, "OK")->click();
    });
    Key(Qt::Key_F9);
    EXPECT_EQ(rowsShown, 2);
    ASSERT_EQ(main.dataPointCount, 1);
    EXPECT_DOUBLE_EQ(main.dataPoints[0].time, second);
}

TEST_F(GraphWorkTest, CloseTestAsksWhetherToSaveTheMarkedPoints)
{
    Open();
    MoveTo(ColumnOf(0.5));
    Key(Qt::Key_F8);

    prompter.answers = {Answer::Cancel};
    EXPECT_TRUE(frame->RunCommand(CommandId::CloseTest));
    EXPECT_TRUE(doc.TestLoaded());
    ASSERT_EQ(prompter.Texts(), (std::vector<std::string>{"Save changes to Dynamic.tst-tkan?"}));

    prompter.answers = {Answer::Yes, Answer::Yes};
    EXPECT_TRUE(frame->RunCommand(CommandId::CloseTest));
    EXPECT_FALSE(doc.TestLoaded());
    TestRecord saved;
    ASSERT_EQ(saved.LoadTestFile(path), 1);
    EXPECT_EQ(saved.dataPointCount, 1);
}

TEST_F(GraphWorkTest, PicturesOfTheZoomedGraphAndTheDialogs)
{
    Open(14);
    // The middle of the first tap change's transition.
    const std::vector<DemoTapChange> changes = DemoTapChanges(demo);
    ASSERT_FALSE(changes.empty());
    const double change = changes[0].transitionStart + changes[0].transitionLength / 2;
    Drag(ColumnOf(change - 0.06), ColumnOf(change + 0.09));
    Paint();
    EXPECT_LT(View().Renderer().timeEnd - View().Renderer().timeStart, 0.2);
    Drag(ColumnOf(change - 0.012), ColumnOf(change + 0.012), Qt::ShiftModifier);
    ASSERT_FALSE(View().Renderer().readout.line2[0].empty());
    QImage zoomed = frame->grab().toImage();
    EXPECT_TRUE(zoomed.save(ShotPath("graph-zoomed-two-cursors.png")));

    for (double t : {change - 0.02, change, change + 0.02}) {
        MoveTo(ColumnOf(t));
        Key(Qt::Key_F8);
    }
    OnNextDialog<dlgDataPoints>([](dlgDataPoints& dialog) {
        EXPECT_EQ(dialog.List()->topLevelItemCount(), 3);
        EXPECT_EQ(dialog.List()->accessibleName(), QStringLiteral("Data Points"));
        EXPECT_TRUE(dialog.grab().toImage().save(ShotPath("graph-data-points.png")));
    });
    Key(Qt::Key_F9);

    dlgHelp help;
    help.show();
    QApplication::processEvents();
    EXPECT_EQ(help.TextLabel()->text().toStdString().size(), std::string(kGraphHelpText).size());
    EXPECT_TRUE(help.grab().toImage().save(ShotPath("graph-help.png")));
}

}  // namespace
}  // namespace tkan
