#include "app/UlkDoc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/RecentFileList.h"
#include "settings/AppInfo.h"
#include "support/DemoFiles.h"
#include "support/MemorySettingsStore.h"
#include "support/RecordingPrompter.h"
#include "support/TempDir.h"

namespace tkan {
namespace {

using test::DemoKind;
using test::WriteDemoTest;

// Stands in for the window: keeps what the document asked of it and plays
// the operator's edits when asked to commit them.
class RecordingHost : public DocumentHost {
public:
    void CommitEdits() override
    {
        ++commits;
        if (edit)
            edit();
    }
    void ShowMenu(int menuId) override { menus.push_back(menuId); }
    void UpdateAllViews() override { ++updates; }
    void InitialUpdate() override { ++initialUpdates; }

    int commits = 0;
    int updates = 0;
    int initialUpdates = 0;
    std::vector<int> menus;
    std::function<void()> edit;
};

class UlkDocTest : public ::testing::Test {
protected:
    UlkDocTest() : doc(settings, prompter, recent, store)
    {
        settings.FilePath = dir.Path();
        doc.SetHost(&host);
    }

    std::string Demo(const std::string& name, DemoKind kind = DemoKind::Static)
    {
        std::string path = dir.File(name);
        EXPECT_EQ(WriteDemoTest(path, kind), 1);
        return path;
    }

    // The company stored in a file, as a fresh load reads it.
    static std::string CompanyIn(const std::string& path)
    {
        TestRecord record;
        if (!record.LoadTestFile(path))
            return "<no file>";
        return record.header.company;
    }

    test::TempDir dir;
    CAppInfo settings;
    test::RecordingPrompter prompter;
    RecentFileList recent;
    test::MemorySettingsStore store;
    RecordingHost host;
    CUlkDoc doc;
};

TEST_F(UlkDocTest, OpeningATestSwitchesToTheLoadedMenuAndRemembersTheFile)
{
    std::string path = Demo("a.test");
    doc.showGraph = 1;
    doc.overlayCount = 2;

    ASSERT_EQ(doc.OpenDocumentFile(path), 1);
    EXPECT_EQ(doc.testLoaded, 1);
    EXPECT_EQ(doc.showGraph, 0);
    EXPECT_EQ(doc.overlayCount, 0);
    EXPECT_EQ(doc.MenuId(), kMenuTestLoaded);
    EXPECT_EQ(host.menus, std::vector<int>{kMenuTestLoaded});
    EXPECT_EQ(host.initialUpdates, 1);
    EXPECT_EQ(doc.PathName(), path);
    EXPECT_EQ(doc.Main().header.fileName, "a.test");
    ASSERT_EQ(recent.Files().size(), 1u);
    EXPECT_EQ(recent.Files()[0], path);
    EXPECT_EQ(store.Get(kRecentFileSection, "File1"), path);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(UlkDocTest, AFileThatDoesNotLoadLeavesTheTestOnScreenAndSaysSo)
{
    std::string good = Demo("good.test");
    std::string bad = dir.File("bad.test");
    test::WriteFileText(bad, "not a test file");
    ASSERT_EQ(doc.OpenDocumentFile(good), 1);
    host.menus.clear();

    EXPECT_EQ(doc.OpenDocumentFile(bad), 0);
    EXPECT_EQ(doc.OpenDocumentFile(dir.File("missing.test")), 0);
    EXPECT_EQ(doc.testLoaded, 1);
    EXPECT_EQ(doc.PathName(), good);
    EXPECT_EQ(doc.Main().header.fileName, "good.test");
    EXPECT_EQ(doc.Main().readingCount, 17);
    EXPECT_TRUE(host.menus.empty());
    EXPECT_EQ(recent.Files().size(), 1u);
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[0].text, std::string(kOpenFailedText) + "\n" + bad);
}

TEST_F(UlkDocTest, CloseTestEmptiesTheDocumentAndReturnsToTheFirstMenu)
{
    ASSERT_EQ(doc.OpenDocumentFile(Demo("a.test")), 1);
    EXPECT_EQ(doc.OnNewDocument(), 1);
    EXPECT_EQ(doc.testLoaded, 0);
    EXPECT_EQ(doc.PathName(), "");
    EXPECT_EQ(doc.MenuId(), kMenuNoTest);
    EXPECT_EQ(host.menus.back(), kMenuNoTest);
    EXPECT_FALSE(doc.GraphShown());
    // Nothing to name: no question, no dialog.
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_TRUE(prompter.saveRequests.empty());
}

TEST_F(UlkDocTest, SaveTestAsksBeforeOverwritingAndYesWritesTheEdits)
{
    std::string path = Demo("a.test");
    ASSERT_EQ(doc.OpenDocumentFile(path), 1);
    host.edit = [&] { doc.Main().header.company = "Edited Co"; };
    prompter.answers = {Answer::Yes};
    int updatesBefore = host.updates;

    EXPECT_EQ(doc.SaveTest(), 1);
    EXPECT_EQ(host.commits, 1);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, kOverwriteQuestion);
    EXPECT_EQ(prompter.shown[0].style, MessageStyle::Tkan);
    EXPECT_TRUE(prompter.saveRequests.empty());
    EXPECT_EQ(CompanyIn(path), "Edited Co");
    EXPECT_EQ(doc.PathName(), path);
    EXPECT_GT(host.updates, updatesBefore);
    EXPECT_TRUE(doc.Main().exportOnSave);
}

TEST_F(UlkDocTest, SaveTestNoOpensTheDialogAndCancelWritesNothing)
{
    std::string path = Demo("a.test");
    ASSERT_EQ(doc.OpenDocumentFile(path), 1);
    host.edit = [&] { doc.Main().header.company = "Edited Co"; };

    // Cancel at the question.
    prompter.answers = {Answer::Cancel};
    EXPECT_EQ(doc.SaveTest(), 0);
    EXPECT_NE(CompanyIn(path), "Edited Co");

    // No, then a new name: written there, and that becomes the document.
    std::string other = dir.File("b.test");
    prompter.answers = {Answer::No};
    prompter.saveFiles = {other};
    EXPECT_EQ(doc.SaveTest(), 1);
    ASSERT_EQ(prompter.saveRequests.size(), 1u);
    EXPECT_EQ(prompter.saveRequests[0].defaultExtension, ".test");
    EXPECT_EQ(prompter.saveRequests[0].filter, "Test (*.test) |*.test||");
    EXPECT_EQ(prompter.saveRequests[0].initialFolder, dir.Path());
    EXPECT_NE(CompanyIn(path), "Edited Co");
    EXPECT_EQ(CompanyIn(other), "Edited Co");
    EXPECT_EQ(doc.PathName(), other);
    EXPECT_EQ(doc.Main().header.fileName, "b.test");
    EXPECT_EQ(recent.Files()[0], other);

    // No, a name that exists too (asked again), then Cancel at the dialog.
    prompter.shown.clear();
    prompter.answers = {Answer::No, Answer::No};
    prompter.saveFiles = {path};
    EXPECT_EQ(doc.SaveTest(), 0);
    EXPECT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.saveRequests.size(), 3u);
    EXPECT_EQ(doc.PathName(), other);
}

TEST_F(UlkDocTest, ARunTestDocumentIsNamedBeforeItIsSavedOrClosed)
{
    std::string runTest = Demo("RunTest.test");
    ASSERT_EQ(doc.OpenDocumentFile(runTest), 1);

    // Close Test: a name first; the chosen file is new, so no question.
    std::string named = dir.File("T2 tap test.test");
    prompter.saveFiles = {named};
    EXPECT_EQ(doc.OnNewDocument(), 1);
    EXPECT_EQ(prompter.saveRequests.size(), 1u);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_TRUE(std::filesystem::exists(named));
    EXPECT_EQ(doc.testLoaded, 0);
    EXPECT_EQ(doc.MenuId(), kMenuNoTest);

    // Exit: the same, through the close step; a cancelled name closes anyway.
    ASSERT_EQ(doc.OpenDocumentFile(runTest), 1);
    doc.OnCloseDocument();
    EXPECT_EQ(prompter.saveRequests.size(), 2u);

    // Save Test on it never overwrites RunTest.test without a name.
    prompter.saveFiles = {runTest};
    prompter.answers = {Answer::Yes};
    EXPECT_EQ(doc.SaveTest(), 1);
    EXPECT_EQ(prompter.saveRequests.size(), 3u);
    EXPECT_EQ(prompter.shown.back().text, kOverwriteQuestion);
}

TEST_F(UlkDocTest, SaveAsChoosesANameAndAskOnlyWhenTheFileExists)
{
    ASSERT_EQ(doc.OpenDocumentFile(Demo("a.test")), 1);
    EXPECT_EQ(doc.SaveAs(), 0);  // dialog cancelled
    prompter.saveFiles = {dir.File("new.test")};
    EXPECT_EQ(doc.SaveAs(), 1);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(doc.PathName(), dir.File("new.test"));
}

TEST_F(UlkDocTest, AFailedWriteIsReportedAndKeepsTheDocumentWhereItWas)
{
    std::string path = Demo("a.test");
    ASSERT_EQ(doc.OpenDocumentFile(path), 1);
    std::string unwritable = dir.File("no such folder/b.test");
    prompter.saveFiles = {unwritable};

    EXPECT_EQ(doc.SaveAs(), 0);
    EXPECT_EQ(doc.PathName(), path);
    EXPECT_EQ(recent.Files().size(), 1u);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, std::string(kSaveFailedText) + "\n" + unwritable);
}

TEST_F(UlkDocTest, SavingCarriesTheAutomaticExportSettings)
{
    settings.AutoExport = 1;
    settings.AutoExportDir = "/exports";
    int exported = 0;
    doc.autoExport = [&](const TestRecord& record) {
        ++exported;
        EXPECT_TRUE(record.autoExport);
        EXPECT_EQ(record.autoExportDir, "/exports");
    };
    ASSERT_EQ(doc.OpenDocumentFile(Demo("a.test")), 1);
    prompter.saveFiles = {dir.File("b.test")};
    EXPECT_EQ(doc.SaveAs(), 1);
    EXPECT_EQ(exported, 1);
}

TEST_F(UlkDocTest, TheViewsQuestionsFollowTheRecordsAndTheSwitch)
{
    ASSERT_EQ(doc.OpenDocumentFile(Demo("dyn.test", DemoKind::Dynamic)), 1);
    EXPECT_TRUE(doc.GraphShown());
    doc.ToggleGraph();  // nothing for a dynamic test
    EXPECT_EQ(doc.showGraph, 0);
    EXPECT_EQ(doc.LargestSampleCount(), 4000);

    std::string longer = dir.File("long.test");
    DemoParameters params;
    params.seconds = 3;
    ASSERT_EQ(WriteDemoTest(longer, DemoKind::Dynamic, params), 1);
    ASSERT_EQ(doc.Overlay(1).LoadTestFile(longer), 1);
    doc.overlayCount = 1;  // the longer record sits in the slot not in use
    EXPECT_EQ(doc.LargestSampleCount(), 4000);
    doc.overlayCount = 2;
    EXPECT_EQ(doc.LargestSampleCount(), 6000);
    EXPECT_EQ(doc.ShownOverlays()[1], &doc.Overlay(1));

    ASSERT_EQ(doc.OpenDocumentFile(Demo("static.test")), 1);
    EXPECT_EQ(doc.ShownOverlays()[0], nullptr);
    EXPECT_FALSE(doc.GraphShown());
    doc.ToggleGraph();
    EXPECT_TRUE(doc.GraphShown());
    doc.ToggleGraph();
    EXPECT_FALSE(doc.GraphShown());
}

TEST_F(UlkDocTest, OverlaysLoadFromTheFirstSlotAndTooManyOrCancelLeaveNone)
{
    ASSERT_EQ(doc.OpenDocumentFile(Demo("main.test", DemoKind::Dynamic)), 1);
    DemoParameters longer;
    longer.seconds = 3;
    const std::string second = dir.File("long.test");
    ASSERT_EQ(WriteDemoTest(second, DemoKind::Dynamic, longer), 1);
    const std::string damaged = dir.File("damaged.test");
    test::WriteFileText(damaged, "not a test");
    using Files = std::optional<std::vector<std::string>>;

    // A first file that does not load leaves no gap before the second.
    int views = host.initialUpdates;
    EXPECT_EQ(doc.OverlayTests([&] { return Files{{damaged, second}}; }), 1);
    EXPECT_EQ(doc.overlayCount, 1);
    ASSERT_NE(doc.ShownOverlays()[0], nullptr);
    EXPECT_EQ(doc.ShownOverlays()[0]->header.fileName, "long.test");
    EXPECT_EQ(doc.LargestSampleCount(), 6000);
    // The view takes the longer time axis.
    EXPECT_EQ(host.initialUpdates, views + 1);
    EXPECT_TRUE(prompter.shown.empty());

    EXPECT_EQ(doc.OverlayTests([&] { return Files{{second, second}}; }), 2);

    // Three are refused, and the two shown before are gone.
    EXPECT_EQ(doc.OverlayTests([&] { return Files{{second, second, second}}; }), 0);
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"A maximum of 2 tests can be overlayed"});
    EXPECT_EQ(doc.ShownOverlays()[0], nullptr);

    // The overlays are gone while the operator chooses, and Cancel keeps it so.
    ASSERT_EQ(doc.OverlayTests([&] { return Files{{second}}; }), 1);
    int countWhileChoosing = -1;
    EXPECT_EQ(doc.OverlayTests([&] {
        countWhileChoosing = doc.overlayCount;
        return Files{};
    }),
              0);
    EXPECT_EQ(countWhileChoosing, 0);
    EXPECT_EQ(doc.ShownOverlays()[0], nullptr);
}

}  // namespace
}  // namespace tkan
