#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"
#include "testing/qt/DeviceDirectoryDialog.h"
#include "testing/qt/DynamicTestDialog.h"
#include "testing/qt/TransferDialog.h"
#include "ui/TestingDialogsRig.h"

namespace tkan::test {
namespace {

// Pictures of the dialogs as the operator sees them, kept in the build folder
// for a person to look over; the checks only make sure each was taken.
bool Save(QWidget* widget, const char* name)
{
    QDir().mkpath(QStringLiteral(TKAN_SCREENSHOT_DIR));
    const QPixmap picture = widget->grab();
    if (picture.width() < 200 || picture.height() < 80)
        return false;
    return picture.save(QStringLiteral(TKAN_SCREENSHOT_DIR "/") + QString::fromLatin1(name));
}

TEST(TestingScreenshots, DynamicTestWaitingForTheRaiseLowerButton)
{
    Rig rig(Link::Usb);
    QtRig qt(rig);
    rig.store.WriteText("Settings", "Company", "North Grid Utilities");
    rig.store.WriteText("Settings", "Station", "Eastfield 132 kV");
    rig.store.WriteText("Settings", "Circuit", "T2 HV");
    rig.store.WriteText("Settings", "Operator", "J. Lind");
    DynamicTestDialog dialog(nullptr, *rig.context);
    ASSERT_TRUE(dialog.Open());
    dialog.TapButton(kLowerTap)->click();
    dialog.RelayModeButton(kMomentary)->click();
    bool saved = false;
    rig.script.Then([&] { PostClick(dialog.StartButton()); })
        .When([&] { return dialog.RaiseLowerButton()->isEnabled(); },
              [&] {
                  saved = Save(&dialog, "dynamic-test.png");
                  dialog.close();
              });
    dialog.exec();
    EXPECT_FALSE(qt.bailedOut);
    EXPECT_TRUE(saved);
}

TEST(TestingScreenshots, DeviceDirectoryWithTwoRowsSelected)
{
    Rig rig(Link::Usb, FastInstrument(),
            {StaticRecord(7, 3, "North Grid Utilities"), DynamicRecord(8, 15), StaticRecord(12, 2, "Beta Grid"),
             StaticRecord(13, 4, "Gamma Energy")});
    QtRig qt(rig);
    bool saved = false;
    WhenShown<DeviceDirectoryDialog>([&](DeviceDirectoryDialog* dialog) {
        dialog->List()->topLevelItem(0)->setSelected(true);
        dialog->List()->topLevelItem(2)->setSelected(true);
        dialog->DownloadButton()->setFocus();
        saved = Save(dialog, "device-directory.png");
        dialog->reject();
    });
    RunRetrieveRecordsDialog(nullptr, *rig.context);
    EXPECT_FALSE(qt.bailedOut);
    EXPECT_TRUE(saved);
}

TEST(TestingScreenshots, TransferringTestPartWay)
{
    Rig rig(Link::Usb, FastInstrument(), {DynamicRecord(1, 60)});
    QtRig qt(rig);
    TempDir dir;
    CXferDlg transfer(*rig.context);
    transfer.singleRecord = true;
    transfer.singleFileName = dir.File("picture.tst-tkan");
    transfer.expectedBytes = ExpectedDynamicRecordBytes(60);
    TransferDialog dialog(nullptr, transfer);
    bool saved = false;
    rig.script.When([&] { return dialog.ProgressBar()->value() > dialog.ProgressBar()->maximum() / 3; },
                    [&] { saved = Save(&dialog, "transferring-test.png"); });
    EXPECT_EQ(dialog.Run(), 1);
    EXPECT_FALSE(qt.bailedOut);
    EXPECT_TRUE(saved);
}

}  // namespace
}  // namespace tkan::test
