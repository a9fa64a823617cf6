#pragma once

#include <span>
#include <string_view>
#include <vector>

namespace tkan {

// The main window's commands, numbered as in the Windows program's resources
// so that anything keyed by command number (help, automation) still matches.
enum class CommandId : int {
    RecallTest = 32774,
    CloseTest = 57600,  // the framework's "new document"
    SaveTest = 32790,
    FileSave = 57603,  // Ctrl+S only; no menu item
    SaveAs = 32792,
    RetrieveRecords = 32772,
    FileManipulation = 32788,
    ExportTest = 32779,
    // Ours, outside the range the Windows program's resources use.
    ExportTrace = 33100,
    OverlayTest = 32794,
    ApplicationSetup = 32775,
    Print = 57607,
    PrintPreview = 57609,
    PrintSetup = 57606,
    RecentFile = 57616,
    Exit = 57665,
    StaticV1V2V3 = 32802,
    StaticV1V2 = 32797,
    StaticV1 = 32798,
    RegulatorV1V2V3 = 32803,
    RegulatorV1V2 = 32800,
    RegulatorV1 = 32801,
    DynamicTest = 32807,
    GraphResults = 32795,
    About = 57664,
    // The standard edit commands: keys are bound to them, nothing handles them.
    EditCopy = 57634,
    EditCut = 57635,
    EditPaste = 57637,
    EditUndo = 57643,
};

// Menu 128 is shown while no test is loaded, menu 146 while one is.
constexpr int kMenuNoTest = 128;
constexpr int kMenuTestLoaded = 146;

// One entry of a menu bar or pop-up. Texts keep the Windows mnemonic marks
// ("&" before the key letter, "&&" for an ampersand) and the "\t" before the
// key shown at the right, which Qt's menus read the same way.
struct MenuEntry {
    enum class Kind { Command, Popup, RecentFiles };

    Kind kind = Kind::Command;
    std::string_view text;
    CommandId id = CommandId::About;
    std::vector<MenuEntry> children;
};

// The menu bar of menu 128 or 146; any other number gives menu 128.
const std::vector<MenuEntry>& MenuBar(int menuId);

// Every command entry of a menu bar, pop-ups walked depth first, in the
// order the menus show them.
std::vector<const MenuEntry*> CommandEntries(const std::vector<MenuEntry>& bar);

// Window-wide keys. They are kept apart from the menus, as an accelerator
// table is, so a key works whether or not its command shows the key in a
// menu (Ctrl+N for "Close Test") or has a menu item at all (Ctrl+S).
struct Accelerator {
    std::string_view key;  // Qt's portable key text, e.g. "Ctrl+O"
    CommandId id;
};
std::span<const Accelerator> Accelerators();

// The edit keys belong to whichever edit has the focus; binding them on the
// window would take copy and paste away from the header edits and the grid.
bool IsStandardEditCommand(CommandId id);

// The status-bar prompt of a command; empty when it has none.
std::string_view StatusPrompt(CommandId id);
// What the status bar says when no prompt is showing.
inline constexpr std::string_view kIdleStatus = "Ready";

// What the enable rules look at: the document's state, and the instrument's
// answer to a silent probe made when a submenu holding a probing item opens.
struct CommandContext {
    bool testLoaded = false;
    bool mainIsStatic = false;  // the loaded test is not dynamic
    int showGraph = 0;
    bool recentFilesPresent = false;
    bool tkanConnected = false;  // Connect(0) succeeded and IsTkan
};

struct CommandState {
    bool enabled = false;
    bool checked = false;
};

// The command's own enable rule. Whether the window can run the command at
// all (its dialog exists) is the window's business, on top of this.
CommandState QueryCommand(CommandId id, const CommandContext& context);

// The commands whose enable rule probes the instrument; the probe runs only
// when a submenu holding one of them opens.
bool NeedsInstrumentProbe(CommandId id);

}  // namespace tkan
