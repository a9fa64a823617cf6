#include "testing/qt/DeviceDirectoryDialog.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "testing/qt/TransferDialog.h"
#include "ui/TestingDialogsRig.h"

namespace tkan::test {
namespace {

QTreeWidgetItem* RowOf(QTreeWidget* list, const QString& number)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == number)
            return list->topLevelItem(i);
    return nullptr;
}

// The Abort button, and Esc and the close box that act as it, reach the
// download while it reads; the window stays until the download gave up.
class TransferAbort : public ::testing::TestWithParam<bool> {};

TEST_P(TransferAbort, StopsTheDownloadAndWritesNothing)
{
    const bool escape = GetParam();
    Rig rig(Link::Usb, FastInstrument(), {DynamicRecord(1, 60)});
    QtRig qt(rig);
    TempDir dir;
    CXferDlg transfer(*rig.context);
    transfer.singleRecord = true;
    transfer.singleFileName = dir.File("aborted.tst-tkan");

    TransferDialog dialog(nullptr, transfer);
    int barMaximum = -1;
    bool stayedAfterClose = false;
    rig.script
        .When([&] { return !dialog.ProgressText()->text().isEmpty(); },
              [&] {
                  barMaximum = dialog.ProgressBar()->maximum();
                  if (escape)
                      QCoreApplication::postEvent(&dialog,
                                                  new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
                  else
                      PostClick(dialog.AbortButton());
              })
        .When([&] { return transfer.abortRequested; }, [&] { stayedAfterClose = dialog.isVisible(); });

    EXPECT_EQ(dialog.Run(), 0);
    ASSERT_FALSE(qt.bailedOut);
    EXPECT_EQ(dialog.windowTitle(), "Transferring Test");
    EXPECT_EQ(dialog.AbortButton()->text(), "Abort");
    EXPECT_EQ(dialog.StatusText()->text(), "Dynamic");
    EXPECT_TRUE(dialog.ProgressText()->text().startsWith("Transferred "));
    // Nobody said how large the record is: the bar only shows activity.
    EXPECT_EQ(barMaximum, 0);
    EXPECT_TRUE(transfer.abortRequested);
    EXPECT_TRUE(stayedAfterClose);
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{"Error reading data from device"});
    EXPECT_FALSE(std::filesystem::exists(transfer.singleFileName));
}

INSTANTIATE_TEST_SUITE_P(AbortOrCloseBox, TransferAbort, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Escape" : "AbortButton"; });

TEST(DeviceDirectoryDialog, ListsTheRecordsAndDownloadsTheSelectedOnesInListOrder)
{
    Rig rig(Link::Usb, FastInstrument(),
            {StaticRecord(7, 3, "Alpha Power"), StaticRecord(12, 2, "Beta Grid"), StaticRecord(3, 4, "Gamma")});
    QtRig qt(rig);
    TempDir dir;
    rig.prompter.folders.push_back(dir.Path());

    QStringList headers;
    QStringList numbers;
    QString company;
    bool rightAligned = false;
    bool extended = false;
    QString prefixShown;
    std::vector<std::string> afterEmptyDownload;
    WhenShown<DeviceDirectoryDialog>([&](DeviceDirectoryDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Device Directory");
        QTreeWidget* list = dialog->List();
        for (int c = 0; c < list->columnCount(); ++c)
            headers << list->headerItem()->text(c);
        for (int r = 0; r < list->topLevelItemCount(); ++r)
            numbers << list->topLevelItem(r)->text(0);
        company = list->topLevelItem(1)->text(3);
        rightAligned = (list->topLevelItem(0)->textAlignment(0) & Qt::AlignRight) != 0;
        extended = list->selectionMode() == QAbstractItemView::ExtendedSelection;
        prefixShown = dialog->PrefixEdit()->text();

        dialog->DownloadButton()->click();
        afterEmptyDownload = rig.prompter.Texts();

        // Clicked 12 first, then 7: the list's order decides.
        RowOf(list, "0012")->setSelected(true);
        RowOf(list, "0007")->setSelected(true);
        dialog->PrefixEdit()->setText("Run");
        dialog->DownloadButton()->click();
    });

    const std::optional<std::string> opened = RunRetrieveRecordsDialog(nullptr, *rig.context);
    ASSERT_FALSE(qt.bailedOut);
    EXPECT_EQ(headers, (QStringList{"Test", "Type", "Date", "Company", "Station", "Circuit"}));
    EXPECT_EQ(numbers, (QStringList{"0007", "0012", "0003"}));
    EXPECT_EQ(company, "Beta Grid");
    EXPECT_TRUE(rightAligned);
    EXPECT_TRUE(extended);
    EXPECT_EQ(prefixShown, "Test");
    ASSERT_FALSE(rig.prompter.shown.empty());
    EXPECT_EQ(rig.prompter.shown[0].style, MessageStyle::Brennix);
    EXPECT_EQ(afterEmptyDownload, std::vector<std::string>{"Please select test first"});

    ASSERT_TRUE(opened.has_value());
    EXPECT_EQ(std::filesystem::path(*opened).filename(), "Run7.test");
    EXPECT_TRUE(std::filesystem::exists(dir.File("Run7.test")));
    EXPECT_TRUE(std::filesystem::exists(dir.File("Run12.test")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("Run3.test")));
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{"Please select test first"});
}

TEST(DeviceDirectoryDialog, APrefixCannotLeadOutOfTheChosenFolder)
{
    Rig rig(Link::Usb, FastInstrument(), {StaticRecord(7, 3, "Alpha Power")});
    QtRig qt(rig);
    TempDir dir;
    const std::string chosen = dir.File("chosen");
    std::filesystem::create_directory(chosen);
    rig.prompter.folders.push_back(chosen);
    WhenShown<DeviceDirectoryDialog>([&](DeviceDirectoryDialog* dialog) {
        RowOf(dialog->List(), "0007")->setSelected(true);
        dialog->PrefixEdit()->setText("../elsewhere/Feeder-");
        dialog->DownloadButton()->click();
    });
    const std::optional<std::string> opened = RunRetrieveRecordsDialog(nullptr, *rig.context);
    ASSERT_FALSE(qt.bailedOut);
    ASSERT_TRUE(opened.has_value()) << ::testing::PrintToString(rig.prompter.Texts());
    EXPECT_EQ(std::filesystem::path(*opened).filename(), "Feeder-7.test");
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(chosen) / "Feeder-7.test"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("elsewhere")));
}

TEST(DeviceDirectoryDialog, AFullDirectoryShowsTheLimitMessageAndItsFirstHundredRecords)
{
    SimOptions options = FastInstrument();
    std::vector<SimStoredRecord> records;
    FillRecordMemory(records, options.model, options.clockStart, 104);
    Rig rig(Link::Usb, options, records);
    QtRig qt(rig);
    int rows = -1;
    QString last;
    WhenShown<DeviceDirectoryDialog>([&](DeviceDirectoryDialog* dialog) {
        rows = dialog->List()->topLevelItemCount();
        last = dialog->List()->topLevelItem(rows - 1)->text(0);
        dialog->reject();
    });
    EXPECT_EQ(RunRetrieveRecordsDialog(nullptr, *rig.context), std::nullopt);
    ASSERT_FALSE(qt.bailedOut);
    EXPECT_EQ(rows, 100);
    EXPECT_EQ(last.toInt(), records[99].number);
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{"Directory limit of 100 exceeded"});
}

}  // namespace
}  // namespace tkan::test
