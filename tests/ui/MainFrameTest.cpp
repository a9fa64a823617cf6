#include "app/qt/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/TransitionTable.h"
#include "app/UlkApp.h"
#include "app/UlkDoc.h"
#include "app/qt/AboutDlg.h"
#include "device/InstrumentContract.h"
#include "device/SerialCom.h"
#include "device/Timer.h"
#include "display/qt/UlkView.h"
#include "settings/AppInfo.h"
#include "sim/PtySim.h"
#include "support/DemoFiles.h"
#include "ui/MainFrameRig.h"

namespace tkan {
namespace {

using test::DemoKind;

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> fields;
    std::stringstream in(text);
    std::string field;
    while (std::getline(in, field, separator))
        fields.push_back(field);
    return fields;
}

std::string Stripped(QString text)
{
    return text.remove(QLatin1Char('&')).toStdString();
}

class MainFrameTest : public ::testing::Test, protected test::MainFrameRig {
protected:
    MainFrameTest()
    {
        // As the start leaves it: found at the first device command.
        serial.speed = instrument::kSpeedToDetect;
        MakeFrame().readLockKeys = [this] { return locks; };
        ShowFrame(1200, 800);
    }

    QAction* Action(CommandId id)
    {
        std::vector<QAction*> actions = frame->ActionsFor(id);
        return actions.empty() ? nullptr : actions.front();
    }

    QLineEdit* Edit(HeaderField field) { return frame->View().HeaderEdit(field); }
    QTableWidget* Grid() { return frame->View().Grid(); }

    std::vector<std::string> TopLevelTexts()
    {
        std::vector<std::string> texts;
        for (QAction* action : frame->menuBar()->actions())
            texts.push_back(action->text().toStdString());
        return texts;
    }

    static std::vector<std::string> TableTexts(int menuId)
    {
        std::vector<std::string> texts;
        for (const MenuEntry& entry : MenuBar(menuId))
            texts.emplace_back(entry.text);
        return texts;
    }

    static std::string CompanyIn(const std::string& path)
    {
        TestRecord record;
        EXPECT_EQ(record.LoadTestFile(path), 1) << path;
        return record.header.company;
    }

    LockKeys locks;
};

TEST_F(MainFrameTest, MenusFollowTheDocumentAndOnlyCommandsThatRunAreEnabled)
{
    EXPECT_EQ(frame->ShownMenu(), kMenuNoTest);
    EXPECT_EQ(TopLevelTexts(), TableTexts(kMenuNoTest));

    // Nothing to run them yet: they stand in the menus, greyed.
    for (CommandId id : {CommandId::RecallTest, CommandId::RetrieveRecords, CommandId::DynamicTest, CommandId::StaticV1,
                         CommandId::RegulatorV1V2, CommandId::ExportTest, CommandId::ApplicationSetup, CommandId::Print,
                         CommandId::PrintPreview, CommandId::PrintSetup}) {
        for (QAction* action : frame->ActionsFor(id))
            EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
        EXPECT_FALSE(frame->RunCommand(id));
    }
    for (CommandId id : {CommandId::CloseTest, CommandId::FileManipulation, CommandId::About, CommandId::Exit})
        ASSERT_TRUE(Action(id) && Action(id)->isEnabled()) << static_cast<int>(id);
    EXPECT_FALSE(Action(CommandId::SaveTest)->isEnabled());

    // A dialog plugged in later enables its command in every place it shows.
    int runs = 0;
    frame->SetCommandHandler(CommandId::DynamicTest, [&] { ++runs; });
    ASSERT_FALSE(frame->ActionsFor(CommandId::DynamicTest).empty());
    EXPECT_TRUE(Action(CommandId::DynamicTest)->isEnabled());
    Action(CommandId::DynamicTest)->trigger();
    EXPECT_EQ(runs, 1);

    // A test opened as the document: the loaded-test menu replaces the first one.
    std::string path = Demo("dyn.tst-tkan", DemoKind::Dynamic);
    ASSERT_EQ(frame->OpenDocumentFile(path), 1);
    ASSERT_EQ(doc.testLoaded, 1);
    EXPECT_EQ(frame->ShownMenu(), kMenuTestLoaded);
    EXPECT_EQ(TopLevelTexts(), TableTexts(kMenuTestLoaded));
    EXPECT_TRUE(Action(CommandId::SaveTest)->isEnabled());
    // The plugged-in handler stays with the command, off the bar or on it.
    EXPECT_TRUE(frame->ActionsFor(CommandId::DynamicTest).empty());

    // "Close" on the bar, from its own item, switches the bar back.
    frame->menuBar()->actions().at(2)->trigger();
    EXPECT_EQ(doc.testLoaded, 0);
    EXPECT_EQ(frame->ShownMenu(), kMenuNoTest);
    EXPECT_EQ(TopLevelTexts(), TableTexts(kMenuNoTest));

    // A file that does not load keeps the bar.
    test::WriteFileText(dir.File("junk.test"), "not a test");
    EXPECT_EQ(frame->OpenDocumentFile(dir.File("junk.test")), 0);
    EXPECT_EQ(frame->ShownMenu(), kMenuNoTest);
    EXPECT_EQ(doc.testLoaded, 0);
}

TEST_F(MainFrameTest, AStaticTestOpensInItsResultsAndGraphResultsSwitchesIt)
{
    ASSERT_EQ(frame->OpenDocumentFile(Demo("static.tst-tkan", DemoKind::Static)), 1);
    QAction* toggle = Action(CommandId::GraphResults);
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE(Grid()->isVisible());
    EXPECT_FALSE(frame->View().LastLayout().graphShown);
    EXPECT_EQ(Grid()->columnCount(), 8);
    EXPECT_EQ(Grid()->rowCount(), doc.Main().readingCount);
    EXPECT_TRUE(toggle->isEnabled());
    EXPECT_FALSE(toggle->isChecked());

    toggle->trigger();
    EXPECT_EQ(doc.showGraph, 1);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_FALSE(Grid()->isVisible());
    EXPECT_TRUE(frame->View().LastLayout().graphShown);

    toggle->trigger();
    EXPECT_EQ(doc.showGraph, 0);
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_TRUE(Grid()->isVisible());

    // A dynamic test opens in its graph; the switch shows its transitions
    // and the graph again.
    ASSERT_EQ(frame->OpenDocumentFile(Demo("dyn.tst-tkan", DemoKind::Dynamic)), 1);
    toggle = Action(CommandId::GraphResults);
    EXPECT_TRUE(toggle->isEnabled());
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_TRUE(frame->View().LastLayout().graphShown);
    QTableWidget* transitions = frame->View().TransitionsTable();
    EXPECT_FALSE(transitions->isVisible());

    EXPECT_TRUE(frame->RunCommand(CommandId::GraphResults));
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_FALSE(frame->View().LastLayout().graphShown);
    EXPECT_FALSE(Grid()->isVisible());
    EXPECT_TRUE(transitions->isVisible());
    EXPECT_TRUE(frame->View().MotorRunLabel()->isVisible());

    EXPECT_TRUE(frame->RunCommand(CommandId::GraphResults));
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_FALSE(transitions->isVisible());
    // A test opened later starts in its graph again.
    EXPECT_TRUE(frame->RunCommand(CommandId::GraphResults));
    ASSERT_EQ(frame->OpenDocumentFile(Demo("dyn2.tst-tkan", DemoKind::Dynamic)), 1);
    EXPECT_TRUE(frame->View().LastLayout().graphShown);
}

TEST_F(MainFrameTest, ADoubleClickOnATransitionShowsTheGraphZoomedToIt)
{
    // A whole demonstration test, with its tap changes.
    const std::string path = dir.File("whole.tst-tkan");
    DemoParameters wholeTest;
    wholeTest.seconds = 14;
    ASSERT_EQ(test::WriteDemoTest(path, DemoKind::Dynamic, wholeTest), 1);
    ASSERT_EQ(frame->OpenDocumentFile(path), 1);
    const TransitionReport& report = frame->View().Transitions();
    ASSERT_FALSE(report.transitions.empty());
    ASSERT_TRUE(frame->RunCommand(CommandId::GraphResults));
    QTableWidget* table = frame->View().TransitionsTable();
    ASSERT_EQ(table->rowCount(), static_cast<int>(report.transitions.size()));
    const int row = table->rowCount() - 1;
    const Transition last = report.transitions.back();
    EXPECT_EQ(table->item(row, 0)->text(), QString::number(row + 1));
    EXPECT_EQ(table->item(row, 1)->text().toStdString(), FixedText(last.startS, kTransitionTimeDecimals));
    EXPECT_EQ(table->item(row, 11)->text(), QStringLiteral("Pass"));

    // A duration limit set in Application Setup judges the transitions anew.
    settings.TransitionMaxMs = "1";
    frame->UpdateAllViews();
    EXPECT_EQ(table->item(row, 11)->text(), QStringLiteral("Fail"));

    table->scrollToItem(table->item(row, 2));
    const QRect cell = table->visualItemRect(table->item(row, 2));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QApplication::processEvents();
    EXPECT_TRUE(frame->View().LastLayout().graphShown);
    EXPECT_TRUE(Action(CommandId::GraphResults)->isChecked());
    EXPECT_DOUBLE_EQ(frame->View().Renderer().timeStart, last.startS - 0.05);
    EXPECT_DOUBLE_EQ(frame->View().Renderer().timeEnd, last.endS + 0.05);
}

TEST_F(MainFrameTest, ATextFormRecordShowsSixColumnsWithItsNotesLast)
{
    ASSERT_EQ(frame->OpenDocumentFile(Demo("rkz.tst-rkz", DemoKind::StaticText)), 1);
    ASSERT_TRUE(doc.Main().textForm);
    ASSERT_EQ(Grid()->columnCount(), 6);
    EXPECT_EQ(Grid()->horizontalHeaderItem(5)->text().toStdString(), "Notes           ");
    ASSERT_GT(Grid()->rowCount(), 0);
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ((Grid()->item(0, c)->flags() & Qt::ItemIsEditable) != 0, c == 5) << c;
}

TEST_F(MainFrameTest, RefTempAndEnterRecomputeTheCorrectedReadingsAndTheGrid)
{
    ASSERT_EQ(frame->OpenDocumentFile(Demo("static.tst-tkan", DemoKind::Static)), 1);
    TestRecord& main = doc.Main();
    ASSERT_TRUE(main.tempCorrected);
    QLineEdit* refTemp = Edit(HeaderField::RefTemp);
    ASSERT_NE(refTemp, nullptr);
    ASSERT_TRUE(refTemp->isVisible());
    std::string r1sBefore = Grid()->item(0, 2)->text().toStdString();
    double oldReference = main.referenceTemp;
    double newReference = oldReference + 40;

    refTemp->setFocus();
    refTemp->selectAll();
    QTest::keyClicks(refTemp, QString::number(newReference, 'f', 1));
    // Typed but not entered: the record is as it was.
    EXPECT_DOUBLE_EQ(main.referenceTemp, oldReference);
    QTest::keyClick(refTemp, Qt::Key_Return);

    EXPECT_NEAR(main.referenceTemp, newReference, 1e-9);
    double factor = main.CorrectionFactor();
    ASSERT_NE(factor, 1.0);
    for (int i = 0; i < main.readingCount; ++i) {
        const StaticReading& r = main.readings[static_cast<std::size_t>(i)];
        EXPECT_NEAR(r.r1s, factor * r.r1, 1e-6 * r.r1) << i;
        EXPECT_NEAR(r.r2s, factor * r.r2, 1e-6 * r.r2) << i;
    }
    std::string r1sAfter = Grid()->item(0, 2)->text().toStdString();
    EXPECT_NE(r1sAfter, r1sBefore);
    EXPECT_EQ(r1sAfter, FormatResistance(main.readings[0].r1s, false, false));
}

TEST_F(MainFrameTest, HeaderEditsAreNamedByTheLabelsDrawnBesideThem)
{
    ASSERT_EQ(frame->OpenDocumentFile(Demo("static.tst-tkan", DemoKind::Static)), 1);
    ASSERT_TRUE(Edit(HeaderField::Company) && Edit(HeaderField::RefTemp));
    EXPECT_EQ(Edit(HeaderField::Company)->accessibleName(), QStringLiteral("Company:"));
    EXPECT_EQ(Edit(HeaderField::RefTemp)->accessibleName(), QString::fromUtf8("Ref Temp [\u00b0C]:"));
}

TEST_F(MainFrameTest, TabWalksTheHeaderEditsAndWrapsBothWays)
{
    ASSERT_EQ(frame->OpenDocumentFile(Demo("static.tst-tkan", DemoKind::Static)), 1);
    QLineEdit* company = Edit(HeaderField::Company);
    QLineEdit* station = Edit(HeaderField::Station);
    QLineEdit* last = Edit(HeaderField::RefTemp);
    ASSERT_TRUE(company && station && last);

    company->setFocus();
    QTest::keyClick(company, Qt::Key_Tab);
    EXPECT_TRUE(station->hasFocus());
    last->setFocus();
    QTest::keyClick(last, Qt::Key_Tab);
    EXPECT_TRUE(company->hasFocus());
    QTest::keyClick(company, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(last->hasFocus());

    // A dynamic test has no Ref Temp edit: Company follows Serial.
    ASSERT_EQ(frame->OpenDocumentFile(Demo("dyn.tst-tkan", DemoKind::Dynamic)), 1);
    QLineEdit* serialEdit = Edit(HeaderField::Serial);
    ASSERT_NE(serialEdit, nullptr);
    EXPECT_FALSE(last->isVisible());
    serialEdit->setFocus();
    QTest::keyClick(serialEdit, Qt::Key_Tab);
    EXPECT_TRUE(company->hasFocus());
}

TEST_F(MainFrameTest, GridNotesReachTheRecordOnlyWhenTheEditsAreCommitted)
{
    std::string path = Demo("static.tst-tkan", DemoKind::Static);
    ASSERT_EQ(frame->OpenDocumentFile(path), 1);
    TestRecord& main = doc.Main();
    int notes = Grid()->columnCount() - 1;
    std::string before = main.notesText;
    Grid()->item(1, notes)->setText(QStringLiteral("contacts worn"));
    QApplication::processEvents();
    EXPECT_EQ(main.notesText, before);

    // A repaint keeps what the operator typed into the grid.
    frame->View().repaint();
    EXPECT_EQ(Grid()->item(1, notes)->text().toStdString(), "contacts worn");
    EXPECT_EQ(main.notesText, before);

    // Enter in a header edit commits them.
    QLineEdit* company = Edit(HeaderField::Company);
    company->setFocus();
    QTest::keyClick(company, Qt::Key_Return);
    std::vector<std::string> fields = Split(main.notesText, '\t');
    ASSERT_GT(fields.size(), 1u);
    EXPECT_EQ(fields[1], "contacts worn");

    // And so does saving, which writes them to the file.
    Grid()->item(0, notes)->setText(QStringLiteral("first"));
    prompter.answers = {Answer::Yes};
    Action(CommandId::SaveTest)->trigger();
    TestRecord saved;
    ASSERT_EQ(saved.LoadTestFile(path), 1);
    fields = Split(saved.notesText, '\t');
    ASSERT_GT(fields.size(), 1u);
    EXPECT_EQ(fields[0], "first");
    EXPECT_EQ(fields[1], "contacts worn");
}

TEST_F(MainFrameTest, SaveTestAsksToOverwriteAndEachAnswerDoesItsPart)
{
    std::string path = Demo("static.tst-tkan", DemoKind::Static);
    std::string original = CompanyIn(path);
    ASSERT_EQ(frame->OpenDocumentFile(path), 1);
    QLineEdit* company = Edit(HeaderField::Company);
    company->selectAll();
    QTest::keyClicks(company, QStringLiteral("Acme Grid"));

    // Cancel: nothing is written.
    prompter.answers = {Answer::Cancel};
    Action(CommandId::SaveTest)->trigger();
    EXPECT_EQ(prompter.Texts().back(), kOverwriteQuestion);
    EXPECT_EQ(CompanyIn(path), original);
    EXPECT_TRUE(prompter.saveRequests.empty());

    // No: a name is asked for, and the new file gets the test.
    std::string other = dir.File("copy.test");
    prompter.answers = {Answer::No};
    prompter.saveFiles = {other};
    ASSERT_NE(Action(CommandId::SaveTest), nullptr);
    Action(CommandId::SaveTest)->trigger();
    ASSERT_EQ(prompter.saveRequests.size(), 1u);
    EXPECT_EQ(prompter.saveRequests[0].initialFolder, dir.Path());
    EXPECT_EQ(CompanyIn(other), "Acme Grid");
    EXPECT_EQ(CompanyIn(path), original);
    EXPECT_EQ(doc.PathName(), other);

    // Yes, here through Ctrl+S: the file is written over.
    prompter.answers = {Answer::Yes};
    std::size_t asked = prompter.shown.size();
    company->selectAll();
    QTest::keyClicks(company, QStringLiteral("Acme Two"));
    QTest::keyClick(frame.get(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(prompter.shown.size(), asked + 1);
    EXPECT_EQ(prompter.Texts().back(), kOverwriteQuestion);
    EXPECT_EQ(CompanyIn(other), "Acme Two");
    EXPECT_EQ(prompter.saveRequests.size(), 1u);

    // "Overwrite" in the Save menu is the same command.
    prompter.answers = {Answer::Cancel};
    std::vector<QAction*> saves = frame->ActionsFor(CommandId::SaveTest);
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_EQ(saves[1]->text().toStdString(), "Overwrite");
    saves[1]->trigger();
    EXPECT_EQ(prompter.shown.size(), asked + 2);
}

TEST_F(MainFrameTest, ARunTestDocumentIsNamedBeforeItCloses)
{
    std::string runTest = Demo(kRunTestName, DemoKind::Static);
    ASSERT_EQ(frame->OpenDocumentFile(runTest), 1);
    std::string named = dir.File("named.test");
    prompter.saveFiles = {named};
    QTest::keyClick(frame.get(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(prompter.saveRequests.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(named));
    EXPECT_EQ(doc.testLoaded, 0);
    EXPECT_EQ(frame->ShownMenu(), kMenuNoTest);

    // Exit asks as well.
    ASSERT_EQ(frame->OpenDocumentFile(runTest), 1);
    std::string second = dir.File("second.test");
    prompter.saveFiles = {second};
    Action(CommandId::Exit)->trigger();
    EXPECT_EQ(prompter.saveRequests.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(second));
    EXPECT_FALSE(frame->isVisible());
}

TEST_F(MainFrameTest, TheTitleNeverNamesTheFileAndTakesTheDeviceMarkOnce)
{
    EXPECT_EQ(frame->windowTitle().toStdString(), kWindowTitle);
    ASSERT_EQ(frame->OpenDocumentFile(Demo("Substation7.tst-tkan", DemoKind::Dynamic)), 1);
    EXPECT_EQ(frame->windowTitle().toStdString(), kWindowTitle);
    EXPECT_EQ(frame->windowFilePath(), QString());

    SimOptions options;
    options.paced = false;
    PtySim sim(options);
    std::string error;
    ASSERT_EQ(sim.Start(error), 1) << error;
    serial.comDevice = sim.SlavePath();

    // The About box asks the instrument as it opens, twice here.
    std::string expected = std::string(kWindowTitle) + std::string(kConnectedDeviceMark) + " TKAN]";
    for (int round = 0; round < 2; ++round) {
        QString version;
        bool closed = false;
        auto* poll = new QTimer(frame.get());
        QObject::connect(poll, &QTimer::timeout, [&] {
            if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                version = about->VersionField()->text();
                EXPECT_EQ(about->windowTitle().toStdString(), "About Device");
                closed = true;
                about->accept();
            }
        });
        poll->start(10);
        Action(CommandId::About)->trigger();
        delete poll;
        ASSERT_TRUE(closed);
        EXPECT_EQ(version.toStdString(), SimVersionText(options.model));
        EXPECT_EQ(frame->windowTitle().toStdString(), expected);
    }
    EXPECT_TRUE(prompter.shown.empty()) << prompter.Texts().front();
}

TEST_F(MainFrameTest, StatusBarShowsPromptsTheIdleTextAndTheLockKeys)
{
    EXPECT_EQ(frame->IdleText().toStdString(), "Ready");
    auto* pane = frame->findChild<QLabel*>(QStringLiteral("messagePane"));
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->text().toStdString(), "Ready");

    QAction* recall = Action(CommandId::RecallTest);
    EXPECT_EQ(recall->statusTip().toStdString(), "Load a test from disk.");
    EXPECT_EQ(Action(CommandId::RetrieveRecords)->statusTip().toStdString(), "Display the Test Directory");
    recall->showStatusText(frame.get());
    EXPECT_EQ(frame->statusBar()->currentMessage().toStdString(), "Load a test from disk.");
    // Leaving the menu brings the idle text back.
    QMetaObject::invokeMethod(recall->associatedObjects().front(), "aboutToHide");
    EXPECT_EQ(frame->statusBar()->currentMessage(), QString());
    EXPECT_FALSE(pane->isHidden());
    // So does leaving the bar after hovering one of its own items.
    std::vector<QAction*> recalls = frame->ActionsFor(CommandId::RecallTest);
    ASSERT_EQ(recalls.size(), 2u);
    EXPECT_EQ(recalls[1]->text().toStdString(), "Recall-Test");
    recalls[1]->showStatusText(frame->menuBar());
    EXPECT_EQ(frame->statusBar()->currentMessage().toStdString(), "Load a test from disk.");
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(frame->menuBar(), &leave);
    EXPECT_EQ(frame->statusBar()->currentMessage(), QString());

    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(frame->IndicatorLabel(i)->text(), QString()) << i;
    locks.caps = true;
    locks.scroll = true;
    frame->UpdateIndicators();
    EXPECT_EQ(frame->IndicatorLabel(0)->text().toStdString(), "CAP");
    EXPECT_EQ(frame->IndicatorLabel(1)->text(), QString());
    EXPECT_EQ(frame->IndicatorLabel(2)->text().toStdString(), "SCRL");
    locks = {false, true, false};
    frame->UpdateIndicators();
    EXPECT_EQ(frame->IndicatorLabel(0)->text(), QString());
    EXPECT_EQ(frame->IndicatorLabel(1)->text().toStdString(), "NUM");
}

TEST_F(MainFrameTest, RecentFilesOpenAndAFileThatNoLongerLoadsLeavesTheList)
{
    std::string first = Demo("first.tst-tkan", DemoKind::Dynamic);
    std::string second = Demo("second&more.tst-tkan", DemoKind::Static);
    ASSERT_EQ(frame->OpenDocumentFile(first), 1);
    ASSERT_EQ(frame->OpenDocumentFile(second), 1);
    frame->OpenDocumentFile(dir.File("missing.test"));
    prompter.shown.clear();

    // The File menu fills its list as it opens.
    QMenu* fileMenu = qobject_cast<QMenu*>(frame->menuBar()->actions().front()->menu());
    ASSERT_NE(fileMenu, nullptr);
    QMetaObject::invokeMethod(fileMenu, "aboutToShow");
    std::vector<QAction*> items = frame->RecentFileActions();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(Stripped(items[0]->text()), "1 " + second.substr(0, second.find('&')) + "more.tst-tkan");
    EXPECT_EQ(Stripped(items[1]->text()), "2 " + first);

    items[1]->trigger();
    EXPECT_EQ(doc.PathName(), first);
    EXPECT_EQ(recent.Files().front(), first);

    std::filesystem::remove(second);
    QMetaObject::invokeMethod(fileMenu, "aboutToShow");
    frame->RecentFileActions()[1]->trigger();
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown.back().text.rfind(kOpenFailedText, 0), 0u);
    EXPECT_EQ(recent.Files(), std::vector<std::string>{first});
    EXPECT_EQ(doc.PathName(), first);
    EXPECT_EQ(store.ReadText(kRecentFileSection, "File2", "gone"), "gone");
}

}  // namespace
}  // namespace tkan
