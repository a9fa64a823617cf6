#include "app/qt/FileCommands.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/UlkDoc.h"
#include "app/qt/AppSetupDialog.h"
#include "app/qt/MainFrame.h"
#include "device/SerialCom.h"
#include "display/qt/UlkView.h"
#include "settings/AppInfo.h"
#include "support/DemoFiles.h"
#include "testlist/qt/OpenTestDialog.h"
#include "ui/MainFrameRig.h"
#include "ui/TestingDialogsRig.h"

namespace tkan {
namespace {

using test::DemoKind;
using test::WhenShown;

void Shoot(QWidget* widget, const char* name)
{
    QApplication::processEvents();
    QDir().mkpath(QStringLiteral(TKAN_SCREENSHOT_DIR));
    EXPECT_TRUE(widget->grab().save(QStringLiteral(TKAN_SCREENSHOT_DIR "/") + QString::fromLatin1(name))) << name;
}

// Selects the rows whose file names are given; false when one is missing.
bool SelectFiles(QTreeWidget* list, const QStringList& names)
{
    int found = 0;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        bool wanted = names.contains(item->text(0));
        item->setSelected(wanted);
        found += wanted ? 1 : 0;
    }
    return found == names.size();
}

class FileCommandsTest : public ::testing::Test, protected test::MainFrameRig {
protected:
    FileCommandsTest() : startFolder(std::filesystem::current_path())
    {
        settings.Load(store, dir.Path());
        settings.USBEnable = 0;
        MakeFrame().readLockKeys = [] { return LockKeys{}; };
        InstallFileCommands(*frame, doc, services, false);
        ShowFrame(1600, 1000);
    }

    ~FileCommandsTest() override { std::filesystem::current_path(startFolder); }

    std::string Demo(const std::string& name, DemoKind kind, int seconds, const char* company, SimDate date)
    {
        DemoParameters params;
        params.date = date;
        params.seconds = seconds;
        params.seed = static_cast<std::uint64_t>(seconds);
        params.windingResistance = 2450 + 300 * seconds;
        params.header.company = company;
        std::string path = dir.File(name);
        EXPECT_EQ(test::WriteDemoTest(path, kind, params), 1);
        return path;
    }

    std::filesystem::path startFolder;
};

TEST_F(FileCommandsTest, RecallOpensTheChosenTestAndOverlayLaysTwoMoreOverIt)
{
    const std::string main = Demo("Feeder 3.tst-tkan", DemoKind::Dynamic, 14, "North Grid", {2026, 12, 3, 14, 5});
    Demo("Feeder 3 before.test", DemoKind::Dynamic, 10, "North Grid", {2025, 11, 20, 9, 40});
    Demo("Feeder 3 after.test", DemoKind::Dynamic, 12, "North Grid", {2026, 12, 3, 15, 30});
    Demo("Tap readings.tst-tkan", DemoKind::Static, 15, "South Power", {2026, 2, 11, 11, 0});
    // Each overlay in a colour of its own, as an operator would set them.
    settings.graphs[1].crResistance = CanvasRgb(0, 150, 0);
    settings.graphs[2].crResistance = CanvasRgb(170, 0, 170);

    QString title, hint;
    int rows = 0, nameWidth = 0, nameNeeds = 0, keptWidth = 0;
    WhenShown<OpenTestDialog>([&](OpenTestDialog* dialog) {
        title = dialog->windowTitle();
        rows = dialog->List()->topLevelItemCount();
        // The first time, the names are shown whole.
        nameWidth = dialog->List()->columnWidth(0);
        nameNeeds = dialog->List()->fontMetrics().horizontalAdvance(QStringLiteral("Feeder 3 before.test"));
        Shoot(dialog, "open-test.png");
        dialog->OkButton()->click();  // nothing chosen yet: the dialog stays
        ASSERT_TRUE(SelectFiles(dialog->List(), {"Feeder 3.tst-tkan"}));
        dialog->OkButton()->click();
    });
    ASSERT_TRUE(frame->RunCommand(CommandId::RecallTest));
    EXPECT_EQ(title, QStringLiteral("Open Test"));
    EXPECT_EQ(rows, 4);
    EXPECT_GT(nameWidth, nameNeeds);
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"Please select test first"});
    EXPECT_EQ(doc.PathName(), main);
    EXPECT_EQ(frame->ShownMenu(), kMenuTestLoaded);

    WhenShown<OpenTestDialog>([&](OpenTestDialog* dialog) {
        title = dialog->windowTitle();
        hint = dialog->Hint()->text();
        keptWidth = dialog->List()->columnWidth(0);
        ASSERT_TRUE(SelectFiles(dialog->List(), {"Feeder 3 before.test", "Feeder 3 after.test"}));
        dialog->OkButton()->click();
    });
    ASSERT_TRUE(frame->RunCommand(CommandId::OverlayTest));
    EXPECT_EQ(title, QStringLiteral("Select Test(s)"));
    EXPECT_EQ(hint, QStringLiteral("To select multiple files hold down shift or control key"));
    EXPECT_EQ(doc.overlayCount, 2);
    EXPECT_EQ(keptWidth, nameWidth);  // kept from the first time on
    EXPECT_EQ(frame->View().Renderer().timeEnd, 14);
    Shoot(frame.get(), "main-two-overlays.png");

    WhenShown<OpenTestDialog>([](OpenTestDialog* dialog) { dialog->reject(); });
    ASSERT_TRUE(frame->RunCommand(CommandId::OverlayTest));
    EXPECT_EQ(doc.overlayCount, 0);
}

TEST_F(FileCommandsTest, SetupCancelChangesNothingAndOkReachesThePage)
{
    const CAppInfo before = settings;
    const CanvasColour picked = CanvasRgb(40, 90, 160);
    WhenShown<AppSetupDialog>([&](AppSetupDialog* dialog) {
        dialog->pickColour = [&](CanvasColour) { return picked; };
        dialog->SelectButton(1)->click();  // Background
        dialog->SelectButton(3)->click();  // R1 of the main graph
        dialog->TraceCheck(TraceRow::R2)->setChecked(false);
        dialog->reject();
    });
    ASSERT_TRUE(frame->RunCommand(CommandId::ApplicationSetup));
    EXPECT_EQ(settings, before);
    EXPECT_FALSE(store.Has(kSettingsSection, "crBackground"));

    int entries = 0;
    QString swatch;
    WhenShown<AppSetupDialog>([&](AppSetupDialog* dialog) {
        entries = dialog->ComPortList()->count();
        dialog->pickColour = [&](CanvasColour) { return picked; };
        dialog->SelectButton(1)->click();
        swatch = dialog->Swatch(1)->palette().color(QPalette::Window).name();
        dialog->GraphList()->setCurrentIndex(1);
        dialog->TraceCheck(TraceRow::R2)->setChecked(false);
        Shoot(dialog, "application-setup.png");
        dialog->OkButton()->click();
    });
    ASSERT_TRUE(frame->RunCommand(CommandId::ApplicationSetup));
    EXPECT_GE(entries, 100);
    EXPECT_EQ(swatch, QStringLiteral("#285aa0"));
    EXPECT_EQ(settings.crBackground, picked);
    EXPECT_EQ(settings.graphs[1].DisplayR2, 0);
    EXPECT_EQ(settings.graphs[0].DisplayR2, 1);
    EXPECT_EQ(store.Get(kSettingsSection, "crBackground"), "0xa05a28");
    EXPECT_EQ(store.Get(kSettingsSection, "DisplayR22"), "0");

    // The view paints in the new background at once.
    QApplication::processEvents();
    QImage page = frame->View().grab().toImage();
    EXPECT_EQ(page.pixelColor(5, 5), QColor(40, 90, 160));
}

TEST_F(FileCommandsTest, SetupFieldsAreNamedByTheLabelOrTitleTheyShowUnder)
{
    // A screen reader announces a field by its name, so that name must be
    // one the operator can see: its own label, else its group's title.
    QStringList unseen;
    WhenShown<AppSetupDialog>([&](AppSetupDialog* dialog) {
        QList<QWidget*> fields;
        for (QLineEdit* edit : dialog->findChildren<QLineEdit*>())
            if (!qobject_cast<QComboBox*>(edit->parentWidget()))
                fields << edit;
        for (QComboBox* list : dialog->findChildren<QComboBox*>())
            fields << list;
        for (QWidget* field : fields) {
            QStringList shown;
            for (QLabel* label : dialog->findChildren<QLabel*>())
                if (label->buddy() == field)
                    shown << label->text();
            if (auto* group = qobject_cast<QGroupBox*>(field->parentWidget()))
                shown << group->title();
            if (!shown.contains(field->accessibleName()))
                unseen << field->accessibleName();
        }
        dialog->reject();
    });
    ASSERT_TRUE(frame->RunCommand(CommandId::ApplicationSetup));
    EXPECT_TRUE(unseen.isEmpty()) << unseen.join(QStringLiteral(", ")).toStdString();
}

TEST_F(FileCommandsTest, SetupTransitionFieldsTakeOnlyUsableNumbers)
{
    settings.TransitionMaxMs = "80";
    WhenShown<AppSetupDialog>([&](AppSetupDialog* dialog) {
        dialog->TransitionEdit(0)->setText(QStringLiteral("3"));
        dialog->TransitionEdit(1)->clear();
        dialog->reject();
    });
    ASSERT_TRUE(frame->RunCommand(CommandId::ApplicationSetup));
    EXPECT_EQ(settings.TransitionThreshold, "1");
    EXPECT_EQ(settings.TransitionMaxMs, "80");

    QStringList names;
    bool openAfterBadNumbers = true;
    WhenShown<AppSetupDialog>([&](AppSetupDialog* dialog) {
        for (int k = 0; k < 4; ++k)
            names << dialog->TransitionEdit(k)->accessibleName();
        dialog->TransitionEdit(0)->setText(QStringLiteral("100"));
        dialog->OkButton()->click();
        dialog->TransitionEdit(0)->setText(QStringLiteral(" 2.5 "));
        dialog->TransitionEdit(1)->clear();  // no limit
        dialog->TransitionEdit(3)->setText(QStringLiteral("fast"));
        dialog->OkButton()->click();
        openAfterBadNumbers = dialog->isVisible();
        dialog->TransitionEdit(3)->setText(QStringLiteral("150"));
        dialog->OkButton()->click();
    });
    ASSERT_TRUE(frame->RunCommand(CommandId::ApplicationSetup));
    EXPECT_EQ(names,
              (QStringList{"Threshold (%):", "Maximum duration (ms):", "Maximum ripple (%):", "Maximum slope (A/s):"}));
    EXPECT_TRUE(openAfterBadNumbers);
    EXPECT_EQ(prompter.Texts(),
              (std::vector<std::string>{"Threshold (%) must be a number above 0 and below 100.",
                                        "Maximum slope (A/s) must be a number of 0 or more, or empty for no limit."}));
    EXPECT_EQ(settings.TransitionThreshold, "2.5");
    EXPECT_EQ(settings.TransitionMaxMs, "");
    EXPECT_EQ(store.Get(kSettingsSection, "TransitionMaxSlope"), "150");
}

}  // namespace
}  // namespace tkan
