#pragma once

#include <QMainWindow>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/AppServices.h"
#include "app/Commands.h"
#include "app/UlkDoc.h"
#include "device/RovaDevice.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;

namespace tkan {

class CUlkView;

// The state of the three lock keys the status bar shows.
struct LockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The main window: the menu bar of menu 128 or 146, the window-wide keys,
// the status bar and the view of the document. It routes every command to
// the handler registered for it; a command without one stands in the menus
// greyed out, so nothing offers what the program cannot yet do.
class CMainFrame : public QMainWindow, public DocumentHost, public TitleSink {
    Q_OBJECT

public:
    using Handler = std::function<void()>;

    CMainFrame(AppServices& services, CUlkDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Where the dialogs of the test runs, the retrieval, the setup, the
    // export and the printing plug their commands in. An empty handler
    // takes the command away again.
    void SetCommandHandler(CommandId id, Handler handler);
    bool HasHandler(CommandId id) const;

    // The command's own rule, and whether anything runs it at all.
    CommandState StateOf(CommandId id) const;
    // Runs the command as its menu item or key would; false, doing nothing,
    // while it is disabled.
    bool RunCommand(CommandId id);

    // Opens a file as the document: the command line, the recent files and
    // the file a test-run dialog saved.
    int OpenDocumentFile(const std::string& path);

    CUlkView& View() { return *view_; }
    int ShownMenu() const { return shownMenu_; }
    // The items of the shown menu bar that run `id`, in menu order.
    std::vector<QAction*> ActionsFor(CommandId id) const;
    // Refreshes the enable and check marks of every item of the shown menu
    // bar, probing the instrument when `probe` and a probing item can run.
    void UpdateCommandStates(bool probe = false);
    // The File menu's recent-file items as they are now.
    std::vector<QAction*> RecentFileActions() const;
    // What the message pane shows while no prompt is up.
    QString IdleText() const;
    QLabel* IndicatorLabel(int index) const;  // 0 CAP, 1 NUM, 2 SCRL

    // The platform calls, replaceable by tests. The folder opener shows the
    // test folder in the desktop's file manager; the lock-key reader tells
    // the indicators what to show.
    std::function<bool(const std::string&)> openFolder;
    std::function<LockKeys()> readLockKeys;

    // DocumentHost
    void CommitEdits() override;
    void ShowMenu(int menuId) override;
    void UpdateAllViews() override;
    void InitialUpdate() override;

    // TitleSink
    std::string CurrentTitle() override;
    void SetTitle(const std::string& title) override;

    // Puts the lock keys' states on the indicators now.
    void UpdateIndicators();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // One menu bar's items, built once and kept: switching bars only takes
    // one set off the bar and puts the other on, so an item may switch the
    // bar from its own handler.
    struct MenuSet {
        std::vector<QAction*> topLevel;
        std::vector<QMenu*> menus;
        std::vector<QAction*> commands;
        QMenu* fileMenu = nullptr;
        QAction* recentAnchor = nullptr;
        std::vector<QAction*> recentItems;
    };

    void BuildMenuSet(int menuId, MenuSet& set);
    void AddEntries(QMenu* menu, const std::vector<MenuEntry>& entries, MenuSet& set);
    QAction* MakeCommandAction(const MenuEntry& entry, MenuSet& set);
    void InstallShortcuts();
    void InstallStatusBar();
    void InstallDefaultHandlers();
    MenuSet& Shown() { return shownMenu_ == kMenuTestLoaded ? loadedMenus_ : noTestMenus_; }
    const MenuSet& Shown() const { return shownMenu_ == kMenuTestLoaded ? loadedMenus_ : noTestMenus_; }
    void RefreshRecentFiles(MenuSet& set);
    void OpenRecentFile(std::size_t index);
    bool ProbeTkan();
    // The probe behind the TKAN-only items runs after the menu has opened,
    // not before: the menu shows the last answer at once, and a silent
    // instrument (seconds of time-outs) never holds the menu up.
    void ScheduleProbe();
    void RunProbe();

    void OnFileManipulation();
    void OnAbout();

    AppServices& services_;
    CUlkDoc& doc_;
    CUlkView* view_ = nullptr;
    std::map<CommandId, Handler> handlers_;
    MenuSet noTestMenus_;
    MenuSet loadedMenus_;
    int shownMenu_ = 0;
    bool tkanConnected_ = false;
    bool probeScheduled_ = false;
    bool probing_ = false;
    // A command chosen while the probe waited for the instrument; it runs
    // once the probe is done instead of being lost.
    std::optional<CommandId> pendingCommand_;

    QLabel* messagePane_ = nullptr;
    QLabel* indicators_[3] = {};
    QTimer* indicatorTimer_ = nullptr;
};

// The lock keys as the keyboard lights show them (Linux: the LED class of
// the input devices); all off where that cannot be read.
LockKeys ReadKeyboardLocks();

}  // namespace tkan
