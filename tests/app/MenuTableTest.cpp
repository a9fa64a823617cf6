#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Commands.h"

namespace tkan {
namespace {

using Texts = std::vector<std::string>;

Texts TextsOf(const std::vector<MenuEntry>& entries)
{
    Texts texts;
    for (const MenuEntry& entry : entries)
        texts.emplace_back(entry.text);
    return texts;
}

const MenuEntry& Child(const std::vector<MenuEntry>& entries, std::string_view text)
{
    for (const MenuEntry& entry : entries)
        if (entry.text == text)
            return entry;
    ADD_FAILURE() << "no entry " << text;
    static const MenuEntry none;
    return none;
}

TEST(MenuTableTest, TheNoTestMenuHasItsItemsInOrder)
{
    const auto& bar = MenuBar(kMenuNoTest);
    EXPECT_EQ(TextsOf(bar),
              (Texts{"&File", "Recall-Test", "Retrieve-Test", "Run Test", "File-Utilities", "Application", "&Help"}));
    const MenuEntry& file = Child(bar, "&File");
    EXPECT_EQ(TextsOf(file.children),
              (Texts{"Recall Test\tCtrl+O", "Close Test", "Save Test", "Retrieve Test Record From Device...\tCtrl+D",
                     "File Utilities", "Application Setup...", "&Print...\tCtrl+P", "Print Pre&view", "P&rint Setup...",
                     "Recent File", "E&xit"}));
    EXPECT_EQ(Child(file.children, "Recent File").kind, MenuEntry::Kind::RecentFiles);
    Texts utilities{"File Manipulation", "Export Test", "Export Trace...", "Overlay Test"};
    EXPECT_EQ(TextsOf(Child(file.children, "File Utilities").children), utilities);
    EXPECT_EQ(TextsOf(Child(bar, "File-Utilities").children), utilities);

    const MenuEntry& run = Child(bar, "Run Test");
    EXPECT_EQ(TextsOf(run.children),
              (Texts{"Static Resistance Test", "TKAN/VLTG Regulartor Resistance Test", "Dynamic Resistance Test"}));
    const MenuEntry& statics = Child(run.children, "Static Resistance Test");
    const MenuEntry& regulator = Child(run.children, "TKAN/VLTG Regulartor Resistance Test");
    Texts windings{"V1 & V2  V3", "V1 && V2", "V1 Only"};
    EXPECT_EQ(TextsOf(statics.children), windings);
    EXPECT_EQ(TextsOf(regulator.children), windings);
    EXPECT_EQ(statics.children[0].id, CommandId::StaticV1V2V3);
    EXPECT_EQ(regulator.children[0].id, CommandId::RegulatorV1V2V3);
    EXPECT_EQ(regulator.children[2].id, CommandId::RegulatorV1);
    EXPECT_EQ(TextsOf(Child(bar, "&Help").children), Texts{"&About ..."});
}

TEST(MenuTableTest, TheLoadedTestMenuKeepsTheFileMenuAndAddsTheViewCommands)
{
    const auto& bar = MenuBar(kMenuTestLoaded);
    EXPECT_EQ(TextsOf(bar),
              (Texts{"&File", "Graph/Results", "Close", "Overlay Test", "Save", "Print", "Application", "&Help"}));
    EXPECT_EQ(TextsOf(Child(bar, "&File").children), TextsOf(Child(MenuBar(kMenuNoTest), "&File").children));
    const MenuEntry& save = Child(bar, "Save");
    EXPECT_EQ(TextsOf(save.children), (Texts{"Overwrite", "Save As"}));
    EXPECT_EQ(save.children[0].id, CommandId::SaveTest);
    EXPECT_EQ(Child(bar, "Close").id, CommandId::CloseTest);
    EXPECT_EQ(Child(bar, "Graph/Results").id, CommandId::GraphResults);
    // Any other number is the no-test menu.
    EXPECT_EQ(&MenuBar(0), &MenuBar(kMenuNoTest));
}

TEST(MenuTableTest, KeysReachCommandsWithAndWithoutMenuItems)
{
    auto find = [](std::string_view key) {
        for (const Accelerator& a : Accelerators())
            if (a.key == key)
                return a.id;
        ADD_FAILURE() << "no key " << key;
        return CommandId::About;
    };
    EXPECT_EQ(find("Ctrl+O"), CommandId::RecallTest);
    EXPECT_EQ(find("Ctrl+N"), CommandId::CloseTest);
    EXPECT_EQ(find("Ctrl+S"), CommandId::FileSave);
    EXPECT_EQ(find("Ctrl+D"), CommandId::RetrieveRecords);
    EXPECT_EQ(find("Ctrl+P"), CommandId::Print);
    EXPECT_TRUE(IsStandardEditCommand(find("Shift+Ins")));
    for (int menu : {kMenuNoTest, kMenuTestLoaded})
        for (const MenuEntry* entry : CommandEntries(MenuBar(menu)))
            EXPECT_NE(entry->id, CommandId::FileSave);
}

TEST(MenuTableTest, StatusPrompts)
{
    EXPECT_EQ(StatusPrompt(CommandId::RetrieveRecords), "Display the Test Directory");
    EXPECT_EQ(StatusPrompt(CommandId::RecallTest), "Load a test from disk.");
    EXPECT_EQ(StatusPrompt(CommandId::ApplicationSetup), "Display Application settings");
    EXPECT_EQ(StatusPrompt(CommandId::ExportTest), "Exports the test to an ASCII file");
    EXPECT_EQ(StatusPrompt(CommandId::CloseTest), "Create a new document");
    EXPECT_EQ(StatusPrompt(CommandId::SaveTest), "");
    EXPECT_EQ(kIdleStatus, "Ready");
}

TEST(MenuTableTest, EnableRulesFollowTheDocumentAndTheInstrument)
{
    CommandContext empty;
    for (CommandId id :
         {CommandId::SaveTest, CommandId::FileSave, CommandId::SaveAs, CommandId::OverlayTest, CommandId::GraphResults,
          CommandId::RecentFile, CommandId::StaticV1V2V3, CommandId::RegulatorV1V2V3, CommandId::ExportTrace})
        EXPECT_FALSE(QueryCommand(id, empty).enabled) << static_cast<int>(id);
    for (CommandId id : {CommandId::RecallTest, CommandId::CloseTest, CommandId::RetrieveRecords, CommandId::Exit,
                         CommandId::StaticV1V2, CommandId::RegulatorV1, CommandId::DynamicTest, CommandId::About})
        EXPECT_TRUE(QueryCommand(id, empty).enabled) << static_cast<int>(id);

    CommandContext dynamic{.testLoaded = true, .mainIsStatic = false};
    EXPECT_TRUE(QueryCommand(CommandId::SaveTest, dynamic).enabled);
    EXPECT_TRUE(QueryCommand(CommandId::OverlayTest, dynamic).enabled);
    EXPECT_TRUE(QueryCommand(CommandId::GraphResults, dynamic).enabled);
    EXPECT_TRUE(QueryCommand(CommandId::ExportTrace, dynamic).enabled);

    CommandContext staticGraph{.testLoaded = true, .mainIsStatic = true, .showGraph = 1};
    CommandState graph = QueryCommand(CommandId::GraphResults, staticGraph);
    EXPECT_TRUE(graph.enabled);
    EXPECT_TRUE(graph.checked);
    EXPECT_FALSE(QueryCommand(CommandId::ExportTrace, staticGraph).enabled);
    staticGraph.showGraph = 0;
    EXPECT_FALSE(QueryCommand(CommandId::GraphResults, staticGraph).checked);

    CommandContext tkan{.recentFilesPresent = true, .tkanConnected = true};
    EXPECT_TRUE(QueryCommand(CommandId::StaticV1V2V3, tkan).enabled);
    EXPECT_TRUE(QueryCommand(CommandId::RegulatorV1V2V3, tkan).enabled);
    EXPECT_TRUE(QueryCommand(CommandId::RecentFile, tkan).enabled);
    EXPECT_TRUE(NeedsInstrumentProbe(CommandId::StaticV1V2V3));
    EXPECT_FALSE(NeedsInstrumentProbe(CommandId::StaticV1V2));
}

}  // namespace
}  // namespace tkan
