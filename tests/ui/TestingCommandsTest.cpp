#include "app/qt/TestingCommands.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/AppServices.h"
#include "app/RecentFileList.h"
#include "app/UlkDoc.h"
#include "app/qt/MainFrame.h"
#include "display/qt/UlkView.h"
#include "records/TestRecord.h"
#include "support/DemoFiles.h"
#include "support/TempDir.h"
#include "testing/qt/DeviceDirectoryDialog.h"
#include "testing/qt/DynamicTestDialog.h"
#include "testing/qt/RunTestDialog.h"
#include "testing/qt/TestCurrentDialog.h"
#include "testing/qt/TransferDialog.h"
#include "ui/TestingDialogsRig.h"

namespace tkan::test {
namespace {

std::string MenuText(const QAction* action)
{
    // The menu's own text, without its mnemonic and its key.
    QString text = action->text().remove(QLatin1Char('&'));
    return text.section(QLatin1Char('\t'), 0, 0).toStdString();
}

QTreeWidgetItem* RowOf(QTreeWidget* list, const QString& number)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == number)
            return list->topLevelItem(i);
    return nullptr;
}

template <typename D>
D* Active()
{
    return qobject_cast<D*>(QApplication::activeModalWidget());
}

// The main window on the program's services, talking to the simulated
// instrument, with the test-run and retrieval commands plugged in as the
// program plugs them.
class MenuTestRun : public ::testing::TestWithParam<Link> {
protected:
    explicit MenuTestRun(std::vector<SimStoredRecord> records = DefaultRecords())
        : rig(GetParam(), FastInstrument(), std::move(records)),
          qt(rig), services{rig.settings, rig.store,   recent,    rig.prompter,
                            *rig.device,  *rig.serial, rig.ticks, rig.pump},
          doc(rig.settings, rig.prompter, recent, rig.store)
    {
        rig.settings.FilePath = dir.Path();
        frame = std::make_unique<CMainFrame>(services, doc);
        frame->readLockKeys = [] { return LockKeys{}; };
        frame->resize(1200, 800);
        frame->show();
        QApplication::setActiveWindow(frame.get());
        QApplication::processEvents();
    }

    static std::vector<SimStoredRecord> DefaultRecords()
    {
        return {StaticRecord(7, 3, "Alpha Power"), DynamicRecord(12, 2), StaticRecord(3, 4, "Gamma Grid")};
    }

    void Install() { InstallTestingCommands(*frame, *rig.context); }

    // The item of the shown menu bar that a person picks for `id`: the first
    // in menu order, which is the File menu's where there are two.
    QAction* MenuItem(CommandId id)
    {
        std::vector<QAction*> items = frame->ActionsFor(id);
        return items.empty() ? nullptr : items.front();
    }

    std::string Shown(HeaderField field)
    {
        QLineEdit* edit = frame->View().HeaderEdit(field);
        return edit ? edit->text().toStdString() : std::string();
    }

    Rig rig;
    QtRig qt;
    TempDir dir;
    RecentFileList recent;
    AppServices services;
    CUlkDoc doc;
    std::unique_ptr<CMainFrame> frame;
};

TEST_P(MenuTestRun, TheCommandsAreOfferedOnceInstalledInBothMenuBars)
{
    for (CommandId id : {CommandId::RetrieveRecords, CommandId::DynamicTest}) {
        ASSERT_NE(MenuItem(id), nullptr);
        EXPECT_FALSE(MenuItem(id)->isEnabled());
    }
    Install();
    for (CommandId id : {CommandId::RetrieveRecords, CommandId::DynamicTest})
        for (QAction* item : frame->ActionsFor(id))
            EXPECT_TRUE(item->isEnabled()) << MenuText(item);
    EXPECT_EQ(MenuText(MenuItem(CommandId::RetrieveRecords)), "Retrieve Test Record From Device...");
    EXPECT_EQ(MenuText(MenuItem(CommandId::DynamicTest)), "Dynamic Resistance Test");

    // With a test on screen the File menu still retrieves.
    ASSERT_EQ(WriteDemoTest(dir.File("shown.test"), DemoKind::Static), 1);
    ASSERT_EQ(frame->OpenDocumentFile(dir.File("shown.test")), 1);
    ASSERT_EQ(frame->ShownMenu(), kMenuTestLoaded);
    ASSERT_NE(MenuItem(CommandId::RetrieveRecords), nullptr);
    EXPECT_TRUE(MenuItem(CommandId::RetrieveRecords)->isEnabled());
    // Nothing was asked of the instrument just to offer them.
    EXPECT_TRUE(rig.Commands().empty());
}

TEST_P(MenuTestRun, RetrieveDownloadsTheChosenRecordsAndShowsTheFirst)
{
    Install();
    const std::string folder = dir.File("downloads");
    std::filesystem::create_directory(folder);
    rig.prompter.folders.push_back(folder);

    QStringList listed;
    WhenShown<DeviceDirectoryDialog>([&](DeviceDirectoryDialog* dialog) {
        QTreeWidget* list = dialog->List();
        for (int r = 0; r < list->topLevelItemCount(); ++r)
            listed << list->topLevelItem(r)->text(0);
        ASSERT_NE(RowOf(list, "0012"), nullptr);
        ASSERT_NE(RowOf(list, "0007"), nullptr);
        RowOf(list, "0012")->setSelected(true);
        RowOf(list, "0007")->setSelected(true);
        dialog->DownloadButton()->click();
    });
    MenuItem(CommandId::RetrieveRecords)->trigger();
    ASSERT_FALSE(qt.bailedOut);

    EXPECT_EQ(listed, (QStringList{"0007", "0012", "0003"}));
    const std::string first = folder + "/Test7.test";
    EXPECT_TRUE(std::filesystem::exists(first));
    EXPECT_TRUE(std::filesystem::exists(folder + "/Test12.test"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/Test3.test"));

    // The first record, a static test, is the document and fills the view.
    EXPECT_EQ(doc.PathName(), first);
    EXPECT_EQ(doc.testLoaded, 1);
    EXPECT_EQ(frame->ShownMenu(), kMenuTestLoaded);
    EXPECT_EQ(Shown(HeaderField::Company), "Alpha Power");
    EXPECT_TRUE(frame->View().Grid()->isVisible());
    EXPECT_EQ(frame->View().Grid()->rowCount(), 3);
    EXPECT_FALSE(frame->View().LastLayout().graphShown);
    ASSERT_FALSE(recent.Files().empty());
    EXPECT_EQ(recent.Files().front(), first);
    // No window of the retrieval stays behind, and the commands are back.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(MenuItem(CommandId::RetrieveRecords)->isEnabled());
    EXPECT_TRUE(rig.prompter.Texts().empty()) << rig.prompter.Texts().front();
}

TEST_P(MenuTestRun, ADynamicTestRunFromTheMenuIsSavedAndShownAsAGraph)
{
    Install();
    const std::string path = dir.File("feeder 3.tst-tkan");
    rig.prompter.saveFiles.push_back(path);

    bool transferShown = false;
    rig.script
        .When([] { return Active<DynamicTestDialog>() != nullptr; },
              [] {
                  DynamicTestDialog* dialog = Active<DynamicTestDialog>();
                  dialog->HeaderEdit(0)->setText("North Grid");
                  dialog->HeaderEdit(2)->setText("Feeder 3");
                  dialog->HeaderEdit(1)->setText("Substation 9");
                  PostClick(dialog->StartButton());
              })
        .When(
            [] {
                DynamicTestDialog* dialog = Active<DynamicTestDialog>();
                return dialog && dialog->SaveButton()->isEnabled();
            },
            [] { PostClick(Active<DynamicTestDialog>()->SaveButton()); })
        .When([] { return Active<TransferDialog>() != nullptr; }, [&] { transferShown = true; });

    MenuItem(CommandId::DynamicTest)->trigger();
    ASSERT_FALSE(qt.bailedOut);
    ASSERT_TRUE(rig.script.Done());
    EXPECT_TRUE(transferShown);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(rig.prompter.Texts().empty()) << rig.prompter.Texts().front();

    // The saved file is the document, and a dynamic test is always a graph.
    EXPECT_EQ(doc.PathName(), path);
    EXPECT_EQ(doc.testLoaded, 1);
    EXPECT_EQ(frame->ShownMenu(), kMenuTestLoaded);
    EXPECT_TRUE(frame->View().LastLayout().graphShown);
    EXPECT_FALSE(frame->View().Grid()->isVisible());
    EXPECT_EQ(Shown(HeaderField::Company), "North Grid");
    EXPECT_EQ(Shown(HeaderField::Station), "Substation 9");
    EXPECT_EQ(Shown(HeaderField::Circuit), "Feeder 3");
    EXPECT_GT(doc.LargestSampleCount(), 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // What the window shows is what the file holds.
    TestRecord record;
    ASSERT_EQ(record.LoadTestFile(path), 1);
    EXPECT_EQ(record.header.company, "North Grid");
    EXPECT_EQ(record.header.station, "Substation 9");
}

// Cancelling either dialog leaves the test on screen as it was.
TEST_P(MenuTestRun, NothingSavedLeavesTheDocumentAlone)
{
    Install();
    const std::string shown = dir.File("shown.tst-tkan");
    ASSERT_EQ(WriteDemoTest(shown, DemoKind::Dynamic), 1);
    ASSERT_EQ(frame->OpenDocumentFile(shown), 1);

    WhenShown<DeviceDirectoryDialog>([](DeviceDirectoryDialog* dialog) {
        RowOf(dialog->List(), "0007")->setSelected(true);
        dialog->CancelButton()->click();
    });
    MenuItem(CommandId::RetrieveRecords)->trigger();
    ASSERT_FALSE(qt.bailedOut);
    EXPECT_EQ(doc.PathName(), shown);
    EXPECT_EQ(frame->ShownMenu(), kMenuTestLoaded);
    EXPECT_TRUE(FilesIn(dir.Path()) == std::vector<std::string>{"shown.tst-tkan"});

    // The dynamic test is on the other menu bar: left with Exit before it ran.
    ASSERT_TRUE(frame->RunCommand(CommandId::CloseTest));
    ASSERT_EQ(frame->ShownMenu(), kMenuNoTest);
    rig.script.When([] { return Active<DynamicTestDialog>() != nullptr; },
                    [] { PostClick(Active<DynamicTestDialog>()->ExitButton()); });
    MenuItem(CommandId::DynamicTest)->trigger();
    ASSERT_FALSE(qt.bailedOut);
    ASSERT_TRUE(rig.script.Done());
    EXPECT_EQ(doc.testLoaded, 0);
    EXPECT_EQ(frame->ShownMenu(), kMenuNoTest);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(FilesIn(dir.Path()) == std::vector<std::string>{"shown.tst-tkan"});
}

// Opening the Run Test menu shows it at once; the silent probe that enables
// the TKAN-only items runs after it has opened.
TEST_P(MenuTestRun, TheTkanItemsFollowAProbeMadeOnceTheMenuIsOpen)
{
    Install();
    QAction* item = MenuItem(CommandId::StaticV1V2V3);
    ASSERT_NE(item, nullptr);
    QMenu* menu = nullptr;
    for (QObject* owner : item->associatedObjects())
        menu = menu ? menu : qobject_cast<QMenu*>(owner);
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(item->isEnabled());

    QMetaObject::invokeMethod(menu, "aboutToShow");
    EXPECT_TRUE(rig.Commands().empty());
    for (int i = 0; i < 100 && !item->isEnabled(); ++i)
        QApplication::processEvents();
    EXPECT_TRUE(item->isEnabled());
    EXPECT_TRUE(Contains(rig.Commands(), "W"));
    EXPECT_TRUE(rig.prompter.Texts().empty());
}

// A regulator run of one step: three tap readings, saved, and shown as the
// document's readings.
TEST_P(MenuTestRun, ARegulatorRunFromTheMenuIsSavedAndShownAsReadings)
{
    Install();
    const std::string path = dir.File("taps.tst-tkan");
    rig.prompter.saveFiles.push_back(path);
    WhenShown<QDialog>([](QDialog* question) {
        ASSERT_EQ(question->windowTitle(), QStringLiteral("# of Steps"));
        question->findChild<QLineEdit*>()->setText(QStringLiteral("1"));
        WhenShown<TestCurrentDialog>([](TestCurrentDialog* choice) { choice->accept(); });
        question->accept();
    });
    int captures = 0;
    auto acceptable = [] {
        RunTestDialog* dialog = Active<RunTestDialog>();
        return dialog && dialog->Button(QStringLiteral("Accept Test"))->isEnabled();
    };
    auto capture = [&] {
        PostClick(Active<RunTestDialog>()->Button(QStringLiteral("Accept Test")));
        ++captures;
    };
    rig.script
        .When([] { return Active<RunTestDialog>() != nullptr; },
              [] {
                  RunTestDialog* dialog = Active<RunTestDialog>();
                  PostClick(dialog->Button(QStringLiteral("Start Test")));
              })
        .When(acceptable, capture)
        .When([&] { return acceptable() && captures == 1; }, capture)
        .When([&] { return acceptable() && captures == 2; }, capture)
        .When([] { return Active<RunTestDialog>()->Button(QStringLiteral("Save Test"))->isEnabled(); },
              [] { PostClick(Active<RunTestDialog>()->Button(QStringLiteral("Save Test"))); });

    MenuItem(CommandId::RegulatorV1)->trigger();
    ASSERT_FALSE(qt.bailedOut);
    ASSERT_TRUE(rig.script.Done());
    EXPECT_EQ(captures, 3);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(rig.prompter.Texts().empty()) << rig.prompter.Texts().front();

    EXPECT_EQ(doc.PathName(), path);
    EXPECT_EQ(doc.testLoaded, 1);
    EXPECT_FALSE(frame->View().LastLayout().graphShown);
    EXPECT_EQ(frame->View().Grid()->rowCount(), 3);
    EXPECT_EQ(doc.Main().tapsPerSide, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Links, MenuTestRun, ::testing::Values(Link::Serial, Link::Usb),
                         [](const auto& info) { return LinkName(info.param); });

}  // namespace
}  // namespace tkan::test
