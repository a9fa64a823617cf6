#include "testing/qt/DynamicTestDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "records/TestRecord.h"
#include "support/TempDir.h"
#include "testing/qt/TestingStyle.h"
#include "testing/qt/TransferDialog.h"
#include "ui/TestingDialogsRig.h"

namespace tkan::test {
namespace {

std::vector<std::string> After(const std::vector<std::string>& log, const std::string& first)
{
    auto at = std::find(log.begin(), log.end(), first);
    return at == log.end() ? std::vector<std::string>{} : std::vector<std::string>(at + 1, log.end());
}

std::vector<std::string> Only(const std::vector<std::string>& log, const std::vector<std::string>& wanted)
{
    std::vector<std::string> kept;
    for (const std::string& command : log)
        if (std::find(wanted.begin(), wanted.end(), command) != wanted.end())
            kept.push_back(command);
    return kept;
}

QStringList Items(const QComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

TEST(DynamicTestDialog, OpensWithTheHeaderListsAndColoursAndKeepsTheHeaderOnClose)
{
    Rig rig(Link::Usb, FastInstrument(SimModel::Tkan40));
    QtRig qt(rig);
    rig.store.WriteText("Settings", "Company", "\xC5gesta Kraft");
    rig.store.WriteText("Settings", "SN", "SN-44");

    DynamicTestDialog dialog(nullptr, *rig.context);
    ASSERT_TRUE(dialog.Open());
    EXPECT_EQ(dialog.windowTitle(), "Dynamic Test");
    EXPECT_EQ(dialog.HeaderEdit(0)->text(), QString::fromUtf8("\u00C5gesta Kraft"));
    EXPECT_EQ(dialog.HeaderEdit(5)->text(), "SN-44");
    EXPECT_EQ(Items(dialog.LengthList()),
              (QStringList{"15 Seconds", "30 Seconds", "60 Seconds", "120 Seconds", "240 Seconds"}));
    // A 40 A instrument offers its own pair of currents.
    EXPECT_EQ(Items(dialog.CurrentList()), (QStringList{"10 AMPS", "40 AMPS"}));
    EXPECT_EQ(dialog.LengthList()->currentIndex(), 0);
    EXPECT_EQ(dialog.CurrentList()->currentIndex(), 0);
    EXPECT_TRUE(dialog.TapButton(kNoTapControl)->isChecked());
    EXPECT_TRUE(dialog.RelayModeButton(kLatch)->isChecked());

    // The carriage return the core keeps in front is not drawn.
    EXPECT_EQ(dialog.StatusLine()->text(), "*** PRESS START TO BEGIN ***");
    EXPECT_TRUE(dialog.StartButton()->isEnabled());
    EXPECT_FALSE(dialog.StopButton()->isEnabled());
    EXPECT_FALSE(dialog.SaveButton()->isEnabled());
    EXPECT_FALSE(dialog.RaiseLowerButton()->isEnabled());
    EXPECT_FALSE(dialog.RelayModeButton(kLatch)->isEnabled());
    EXPECT_FALSE(dialog.RelayModeButton(kMomentary)->isEnabled());
    EXPECT_EQ(dialog.RaiseLowerButton()->text(), "Raise / Lower");

    // Choosing a tap direction offers the relay modes.
    dialog.TapButton(kRaiseTap)->click();
    EXPECT_TRUE(dialog.RelayModeButton(kLatch)->isEnabled());
    EXPECT_TRUE(dialog.RelayModeButton(kMomentary)->isEnabled());

    dialog.resize(dialog.sizeHint());
    dialog.layout()->activate();
    EXPECT_GE(dialog.StatusLine()->font().weight(), QFont::ExtraBold);
    EXPECT_GT(dialog.StatusLine()->fontInfo().pixelSize(), dialog.fontInfo().pixelSize() * 3 / 2);
    EXPECT_PRED2(SameColour, FillColour(dialog.StatusLine()), kStatusBackground)
        << Rgb(FillColour(dialog.StatusLine()));
    EXPECT_EQ(dialog.StatusLine()->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_PRED2(SameColour, FillColour(dialog.StartButton()), kStartColour) << Rgb(FillColour(dialog.StartButton()));
    dialog.StopButton()->setEnabled(true);
    EXPECT_PRED2(SameColour, FillColour(dialog.StopButton()), kStopColour) << Rgb(FillColour(dialog.StopButton()));
    dialog.RaiseLowerButton()->setEnabled(true);
    EXPECT_PRED2(SameColour, FillColour(dialog.RaiseLowerButton()), kStartColour);
    dialog.RaiseLowerButton()->setDown(true);
    EXPECT_PRED2(SameColour, FillColour(dialog.RaiseLowerButton()), kStopColour);
    dialog.RaiseLowerButton()->setDown(false);

    // What was typed survives the close box, as Windows-1252 like the rest.
    dialog.HeaderEdit(1)->setText(QString::fromUtf8("Br\u00E4nnk\u00E4lla 7"));
    dialog.reject();
    EXPECT_TRUE(dialog.Controller().Ended());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(rig.store.ReadText("Settings", "Station", ""), "Br\xE4nnk\xE4lla 7");
    EXPECT_EQ(rig.store.ReadText("Settings", "Company", ""), "\xC5gesta Kraft");
    EXPECT_TRUE(rig.prompter.shown.empty());
}

TEST(DynamicTestDialog, DoesNotShowWhenTheInstrumentIsNoTkan)
{
    Rig rig(Link::Usb, FastInstrument(SimModel::Rkz10));
    QtRig qt(rig);
    // The dialog is never shown, so nothing but the watchdog could end a
    // window left open here.
    EXPECT_EQ(RunDynamicTestDialog(nullptr, *rig.context), std::nullopt);
    EXPECT_FALSE(qt.bailedOut);
    ASSERT_EQ(rig.prompter.shown.size(), 1u);
    EXPECT_EQ(rig.prompter.shown[0].style, MessageStyle::Warning);
    EXPECT_EQ(rig.prompter.shown[0].text, "Not a TKAN device");
}

// Lower Tap with Momentary: at READY the operator holds Raise / Lower, and the
// instrument hears the press and the release while the poll loop is reading.
TEST(DynamicTestDialog, RaiseLowerSendsThePressAndTheReleaseWhileTheLoopReads)
{
    Rig rig(Link::Usb);
    QtRig qt(rig);
    DynamicTestDialog dialog(nullptr, *rig.context);
    ASSERT_TRUE(dialog.Open());
    QPushButton* relay = dialog.RaiseLowerButton();

    std::vector<std::string> atPress;
    std::vector<std::string> atRelease;
    bool readWaitingAtPress = false;
    bool closedIdle = false;
    rig.script.Then([&] { PostClick(dialog.TapButton(kLowerTap)); })
        .When([&] { return dialog.RelayModeButton(kMomentary)->isEnabled(); },
              [&] { PostClick(dialog.RelayModeButton(kMomentary)); })
        .When([&] { return dialog.RelayModeButton(kMomentary)->isChecked(); }, [&] { PostClick(dialog.StartButton()); })
        .When([&] { return relay->isEnabled(); },
              [&] {
                  EXPECT_EQ(dialog.StatusLine()->text(), "   *** READY PRESS RAISE/LOWER BUTTON TO START ***");
                  atPress = rig.Commands();
                  PostMouse(relay, QEvent::MouseButtonPress);
              })
        .When([&] { return relay->isDown(); },
              [&] {
                  readWaitingAtPress = rig.device->IsBusy();
                  atRelease = rig.Commands();
                  PostMouse(relay, QEvent::MouseButtonRelease);
              })
        .When([&] { return !dialog.Controller().Running(); },
              [&] {
                  // Stopped by the countdown, with data to save: the close box
                  // still closes without asking.
                  closedIdle = dialog.Controller().Ready();
                  dialog.close();
              });
    dialog.exec();
    ASSERT_FALSE(qt.bailedOut);
    ASSERT_TRUE(rig.script.Done());

    EXPECT_TRUE(readWaitingAtPress);
    const std::vector<std::string> relays = {"G", "U", "D", "O"};
    EXPECT_EQ(Only(After(atPress, "Y"), relays), std::vector<std::string>{}) << "nothing driven before the press";
    EXPECT_EQ(Only(After(atRelease, "Y"), relays), std::vector<std::string>{"D"});
    EXPECT_EQ(Only(After(rig.Commands(), "Y"), relays), (std::vector<std::string>{"D", "O"}));
    EXPECT_TRUE(closedIdle);
    EXPECT_TRUE(rig.prompter.shown.empty());
    EXPECT_EQ(rig.store.ReadText("Settings", "Company", "unset"), "");
}

TEST(DynamicTestDialog, ARelayHeldWhenTheTestEndsIsReleased)
{
    Rig rig(Link::Usb);
    QtRig qt(rig);
    DynamicTestDialog dialog(nullptr, *rig.context);
    ASSERT_TRUE(dialog.Open());
    QPushButton* relay = dialog.RaiseLowerButton();
    dialog.TapButton(kRaiseTap)->click();
    dialog.RelayModeButton(kMomentary)->click();

    rig.script.Then([&] { PostClick(dialog.StartButton()); })
        .When([&] { return relay->isEnabled(); }, [&] { PostMouse(relay, QEvent::MouseButtonPress); })
        // Held through the countdown: the dialog stops the test at 15 s.
        .When([&] { return !dialog.Controller().Running(); }, [&] { PostClick(dialog.ExitButton()); });
    dialog.exec();
    ASSERT_FALSE(qt.bailedOut);

    const std::vector<std::string> log = After(rig.Commands(), "Y");
    EXPECT_EQ(Only(log, {"G", "U", "D", "O"}), (std::vector<std::string>{"U", "O"}));
    EXPECT_FALSE(relay->isDown());
    // Exit after READY without a save asks first; the script answers Yes.
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{"Exit test without saving ?"});
    rig.WithEngine([](SimInstrument& e) { EXPECT_EQ(e.RelayState(), SimInstrument::Relay::Off); });
}

TEST(DynamicTestDialog, SaveTestDownloadsThroughTheTransferDialogAndReturnsTheFile)
{
    Rig rig(Link::Usb);
    QtRig qt(rig);
    TempDir dir;
    const std::string path = dir.File("feeder 3.tst-tkan");
    rig.prompter.saveFiles.push_back(path);

    QString transferTitle;
    int barMaximum = -1;
    rig.script
        .When([] { return qobject_cast<DynamicTestDialog*>(QApplication::activeModalWidget()) != nullptr; },
              [] {
                  auto* dialog = qobject_cast<DynamicTestDialog*>(QApplication::activeModalWidget());
                  dialog->HeaderEdit(0)->setText("North Grid");
                  PostClick(dialog->StartButton());
              })
        .When(
            [] {
                auto* dialog = qobject_cast<DynamicTestDialog*>(QApplication::activeModalWidget());
                return dialog && dialog->SaveButton()->isEnabled();
            },
            [] {
                auto* dialog = qobject_cast<DynamicTestDialog*>(QApplication::activeModalWidget());
                PostClick(dialog->SaveButton());
            })
        .When(
            [] {
                auto* transfer = qobject_cast<TransferDialog*>(QApplication::activeModalWidget());
                return transfer && !transfer->ProgressText()->text().isEmpty();
            },
            [&] {
                auto* transfer = qobject_cast<TransferDialog*>(QApplication::activeModalWidget());
                transferTitle = transfer->windowTitle();
                barMaximum = transfer->ProgressBar()->maximum();
                EXPECT_EQ(transfer->StatusText()->text(), "Dynamic");
            });

    const std::optional<std::string> saved = RunDynamicTestDialog(nullptr, *rig.context);
    ASSERT_FALSE(qt.bailedOut);
    ASSERT_EQ(saved, path);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(transferTitle, "Transferring Test");
    // The size of a 15-second record is known, so the bar measures it.
    EXPECT_EQ(barMaximum, static_cast<int>(ExpectedDynamicRecordBytes(15)));
    EXPECT_TRUE(rig.prompter.shown.empty()) << rig.prompter.shown.front().text;

    TestRecord record;
    ASSERT_TRUE(record.LoadTestFile(path));
    EXPECT_EQ(record.header.company, "North Grid");
}

}  // namespace
}  // namespace tkan::test
