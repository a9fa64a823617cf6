#include "reports/ExportTests.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/Transitions.h"
#include "support/DemoFiles.h"
#include "support/MemorySettingsStore.h"
#include "support/RecordingPrompter.h"
#include "support/TempDir.h"

namespace tkan {
namespace {

TEST(ExportTestsTest, OneWorkbookPerLoadedTestAndTheFolderRemembered)
{
    test::TempDir dir;
    ASSERT_EQ(test::WriteDemoTest(dir.File("T1.tst-tkan"), test::DemoKind::Static), 1);
    test::WriteFileText(dir.File("T2.test"), "damaged");
    ASSERT_EQ(test::WriteDemoTest(dir.File("T3.test"), test::DemoKind::Dynamic), 1);
    test::MemorySettingsStore store;
    store.Set("AppInfo", "ExportDir", "/last/time");
    test::RecordingPrompter prompter;
    prompter.folders.push_back(dir.File("out/"));
    std::filesystem::create_directories(dir.File("out"));

    const std::vector<std::string> chosen = {dir.File("T3.test"), dir.File("T2.test"), dir.File("T1.tst-tkan")};
    std::optional<std::string> status = ExportTests([&] { return chosen; }, {}, store, prompter);
    EXPECT_EQ(status, "2 tests exported; not loaded: T2.test");
    EXPECT_EQ(test::FilesIn(dir.File("out")), (std::vector<std::string>{"T1.xlsx", "T3.xlsx"}));
    ASSERT_EQ(prompter.folderRequests.size(), 1u);
    EXPECT_EQ(prompter.folderRequests[0].first, "Select Folder to Export To");
    EXPECT_EQ(prompter.folderRequests[0].second, "/last/time");
    EXPECT_EQ(store.Get("AppInfo", "ExportDir"), dir.File("out/"));
    EXPECT_TRUE(prompter.shown.empty());

    // Cancelling either chooser exports nothing and keeps the folder.
    store.Set("AppInfo", "ExportDir", "/kept");
    EXPECT_EQ(ExportTests([&] { return chosen; }, {}, store, prompter), std::nullopt);
    EXPECT_EQ(ExportTests([] { return std::nullopt; }, {}, store, prompter), std::nullopt);
    EXPECT_EQ(store.Get("AppInfo", "ExportDir"), "/kept");
    EXPECT_EQ(prompter.folderRequests.size(), 2u);
}

}  // namespace
}  // namespace tkan
