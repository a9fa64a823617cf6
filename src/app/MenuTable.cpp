#include <array>

#include "app/Commands.h"

namespace tkan {

namespace {

using Kind = MenuEntry::Kind;

MenuEntry Item(std::string_view text, CommandId id)
{
    return {Kind::Command, text, id, {}};
}

MenuEntry Popup(std::string_view text, std::vector<MenuEntry> children)
{
    return {Kind::Popup, text, CommandId::About, std::move(children)};
}

MenuEntry RecentFiles()
{
    return {Kind::RecentFiles, "Recent File", CommandId::RecentFile, {}};
}

MenuEntry FileMenu()
{
    return Popup("&File", {
                              Item("Recall Test\tCtrl+O", CommandId::RecallTest),
                              Item("Close Test", CommandId::CloseTest),
                              Item("Save Test", CommandId::SaveTest),
                              Item("Retrieve Test Record From Device...\tCtrl+D", CommandId::RetrieveRecords),
                              Popup("File Utilities",
                                    {
                                        Item("File Manipulation", CommandId::FileManipulation),
                                        Item("Export Test", CommandId::ExportTest),
                                        Item("Export Trace...", CommandId::ExportTrace),
                                        Item("Overlay Test", CommandId::OverlayTest),
                                    }),
                              Item("Application Setup...", CommandId::ApplicationSetup),
                              Item("&Print...\tCtrl+P", CommandId::Print),
                              Item("Print Pre&view", CommandId::PrintPreview),
                              Item("P&rint Setup...", CommandId::PrintSetup),
                              RecentFiles(),
                              Item("E&xit", CommandId::Exit),
                          });
}

MenuEntry HelpMenu()
{
    return Popup("&Help", {Item("&About ...", CommandId::About)});
}

std::vector<MenuEntry> BuildNoTestMenu()
{
    return {
        FileMenu(),
        Item("Recall-Test", CommandId::RecallTest),
        Item("Retrieve-Test", CommandId::RetrieveRecords),
        Popup("Run Test",
              {
                  Popup("Static Resistance Test",
                        {
                            Item("V1 & V2  V3", CommandId::StaticV1V2V3),
                            Item("V1 && V2", CommandId::StaticV1V2),
                            Item("V1 Only", CommandId::StaticV1),
                        }),
                  Popup("TKAN/VLTG Regulartor Resistance Test",
                        {
                            Item("V1 & V2  V3", CommandId::RegulatorV1V2V3),
                            Item("V1 && V2", CommandId::RegulatorV1V2),
                            Item("V1 Only", CommandId::RegulatorV1),
                        }),
                  Item("Dynamic Resistance Test", CommandId::DynamicTest),
              }),
        Popup("File-Utilities",
              {
                  Item("File Manipulation", CommandId::FileManipulation),
                  Item("Export Test", CommandId::ExportTest),
                  Item("Export Trace...", CommandId::ExportTrace),
                  Item("Overlay Test", CommandId::OverlayTest),
              }),
        Item("Application", CommandId::ApplicationSetup),
        HelpMenu(),
    };
}

std::vector<MenuEntry> BuildTestLoadedMenu()
{
    return {
        FileMenu(),
        Item("Graph/Results", CommandId::GraphResults),
        Item("Close", CommandId::CloseTest),
        Item("Overlay Test", CommandId::OverlayTest),
        Popup("Save",
              {
                  Item("Overwrite", CommandId::SaveTest),
                  Item("Save As", CommandId::SaveAs),
              }),
        Item("Print", CommandId::Print),
        Item("Application", CommandId::ApplicationSetup),
        HelpMenu(),
    };
}

void CollectCommands(const std::vector<MenuEntry>& entries, std::vector<const MenuEntry*>& out)
{
    for (const MenuEntry& entry : entries) {
        if (entry.kind == Kind::Popup)
            CollectCommands(entry.children, out);
        else
            out.push_back(&entry);
    }
}

constexpr std::array kAccelerators{
    Accelerator{"Ctrl+O", CommandId::RecallTest},   Accelerator{"Ctrl+N", CommandId::CloseTest},
    Accelerator{"Ctrl+S", CommandId::FileSave},     Accelerator{"Ctrl+D", CommandId::RetrieveRecords},
    Accelerator{"Ctrl+P", CommandId::Print},        Accelerator{"Ctrl+C", CommandId::EditCopy},
    Accelerator{"Ctrl+V", CommandId::EditPaste},    Accelerator{"Ctrl+X", CommandId::EditCut},
    Accelerator{"Ctrl+Z", CommandId::EditUndo},     Accelerator{"Alt+Backspace", CommandId::EditUndo},
    Accelerator{"Shift+Del", CommandId::EditCut},   Accelerator{"Ctrl+Ins", CommandId::EditCopy},
    Accelerator{"Shift+Ins", CommandId::EditPaste},
};

}  // namespace

const std::vector<MenuEntry>& MenuBar(int menuId)
{
    static const std::vector<MenuEntry> noTest = BuildNoTestMenu();
    static const std::vector<MenuEntry> testLoaded = BuildTestLoadedMenu();
    return menuId == kMenuTestLoaded ? testLoaded : noTest;
}

std::vector<const MenuEntry*> CommandEntries(const std::vector<MenuEntry>& bar)
{
    std::vector<const MenuEntry*> out;
    CollectCommands(bar, out);
    return out;
}

std::span<const Accelerator> Accelerators()
{
    return kAccelerators;
}

bool IsStandardEditCommand(CommandId id)
{
    return id == CommandId::EditCopy || id == CommandId::EditCut || id == CommandId::EditPaste ||
           id == CommandId::EditUndo;
}

std::string_view StatusPrompt(CommandId id)
{
    switch (id) {
    case CommandId::RetrieveRecords: return "Display the Test Directory";
    case CommandId::RecallTest: return "Load a test from disk.";
    case CommandId::ApplicationSetup: return "Display Application settings";
    case CommandId::ExportTest: return "Exports the test to an ASCII file";
    case CommandId::ExportTrace: return "Export the dynamic test's trace as COMTRADE or CSV";
    // The framework's own prompts for its standard commands.
    case CommandId::CloseTest: return "Create a new document";
    case CommandId::FileSave: return "Save the active document";
    case CommandId::Print: return "Print the active document";
    case CommandId::PrintPreview: return "Display full pages";
    case CommandId::PrintSetup: return "Change the printer and printing options";
    case CommandId::RecentFile: return "Open this document";
    case CommandId::Exit: return "Quit the application; prompts to save documents";
    case CommandId::About: return "Display program information, version number and copyright";
    case CommandId::EditCopy: return "Copy the selection and put it on the Clipboard";
    case CommandId::EditCut: return "Cut the selection and put it on the Clipboard";
    case CommandId::EditPaste: return "Insert Clipboard contents";
    case CommandId::EditUndo: return "Undo the last action";
    default: return {};
    }
}

CommandState QueryCommand(CommandId id, const CommandContext& context)
{
    switch (id) {
    case CommandId::SaveTest:
    case CommandId::FileSave:
    case CommandId::SaveAs:
    case CommandId::OverlayTest: return {context.testLoaded, false};
    case CommandId::ExportTrace: return {context.testLoaded && !context.mainIsStatic, false};
    case CommandId::GraphResults: return {context.testLoaded, context.showGraph == 1};
    case CommandId::RecentFile: return {context.recentFilesPresent, false};
    case CommandId::StaticV1V2V3:
    case CommandId::RegulatorV1V2V3: return {context.tkanConnected, false};
    case CommandId::EditCopy:
    case CommandId::EditCut:
    case CommandId::EditPaste:
    case CommandId::EditUndo: return {false, false};
    default: return {true, false};
    }
}

bool NeedsInstrumentProbe(CommandId id)
{
    return id == CommandId::StaticV1V2V3 || id == CommandId::RegulatorV1V2V3;
}

}  // namespace tkan
