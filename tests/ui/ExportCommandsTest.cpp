#include "app/qt/ExportCommands.h"

#include <QApplication>
#include <QProgressDialog>
#include <QStatusBar>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/UlkDoc.h"
#include "app/qt/MainFrame.h"
#include "device/SerialCom.h"
#include "platform/MessagePump.h"
#include "platform/TickSource.h"
#include "settings/AppInfo.h"
#include "support/DemoFiles.h"
#include "ui/MainFrameRig.h"

namespace tkan {
namespace {

class ExportCommandsTest : public ::testing::Test, protected test::MainFrameRig {
protected:
    ExportCommandsTest()
    {
        MakeFrame();
        ShowFrame(1200, 800);
    }
};

TEST_F(ExportCommandsTest, ExportTestWritesTheChosenTestsAndSaysSoInTheStatusBar)
{
    EXPECT_FALSE(frame->StateOf(CommandId::ExportTest).enabled);
    const std::vector<std::string> chosen = {dir.File("T1.tst-tkan"), dir.File("gone.test")};
    ASSERT_EQ(test::WriteDemoTest(chosen[0], test::DemoKind::Static), 1);
    InstallExportCommands(*frame, services, [&] { return chosen; });
    prompter.folders.push_back(dir.Path());
    ASSERT_TRUE(frame->RunCommand(CommandId::ExportTest));
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.File("T1.xlsx")));
    EXPECT_EQ(frame->statusBar()->currentMessage().toStdString(), "1 test exported; not loaded: gone.test");
}

TEST_F(ExportCommandsTest, TheBusyWindowStandsWhileTheExporterRuns)
{
    std::function<void(bool)> busy = MakeExporterBusyIndicator(frame.get());
    busy(true);
    QApplication::processEvents();
    auto* shown = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->labelText().toStdString(), "Generating report...");
    busy(false);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace tkan
