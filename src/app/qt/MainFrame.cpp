#include "app/qt/MainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "app/RecentFileList.h"
#include "app/UlkApp.h"
#include "app/qt/AboutDlg.h"
#include "display/qt/UlkView.h"
#include "platform/qt/QSettingsStore.h"
#include "platform/qt/QtText.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

constexpr const char* kCommandProperty = "tkanCommand";
constexpr const char* kProbesProperty = "tkanProbes";
constexpr const char* kIndicatorTexts[3] = {"CAP", "NUM", "SCRL"};
// The keyboard lights are read this often; a lock key pressed while another
// window has the focus shows up here too.
constexpr int kIndicatorPollMs = 500;

QString FromText(std::string_view text)
{
    return FromWindows1252(std::string(text));
}

CommandId CommandOf(const QAction* action)
{
    return static_cast<CommandId>(action->property(kCommandProperty).toInt());
}

}  // namespace

LockKeys ReadKeyboardLocks()
{
    LockKeys keys;
#ifdef __linux__
    std::error_code error;
    std::filesystem::directory_iterator leds("/sys/class/leds", error);
    if (error)
        return keys;
    for (const auto& led : leds) {
        std::string name = led.path().filename().string();
        bool* target = nullptr;
        if (name.ends_with("::capslock"))
            target = &keys.caps;
        else if (name.ends_with("::numlock"))
            target = &keys.num;
        else if (name.ends_with("::scrolllock"))
            target = &keys.scroll;
        if (!target)
            continue;
        std::ifstream brightness(led.path() / "brightness");
        int value = 0;
        if (brightness >> value && value > 0)
            *target = true;
    }
#endif
    return keys;
}

CMainFrame::CMainFrame(AppServices& services, CUlkDoc& doc, QWidget* parent)
    : QMainWindow(parent), services_(services), doc_(doc)
{
    setObjectName(QStringLiteral("mainFrame"));
    // The title is the program's and, once an instrument answered, the
    // instrument's; the document's name never goes into it.
    setWindowTitle(QString::fromLatin1(kWindowTitle));

    view_ = new CUlkView(doc_, services_.settings, services_.prompter, this);
    setCentralWidget(view_);
    // The window opens maximised; where nothing maximises it (no window
    // manager) or once it is restored, it still has room for a page.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        resize(screen->availableGeometry().size() * 4 / 5);

    openFolder = [](const std::string& folder) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(FromPath(folder)));
    };
    readLockKeys = ReadKeyboardLocks;

    // The bar's own items leave their prompt behind when the mouse moves on.
    menuBar()->installEventFilter(this);
    BuildMenuSet(kMenuNoTest, noTestMenus_);
    BuildMenuSet(kMenuTestLoaded, loadedMenus_);
    InstallShortcuts();
    InstallStatusBar();
    InstallDefaultHandlers();

    doc_.SetHost(this);
    services_.device.SetTitleSink(this);
    ShowMenu(doc_.MenuId());
}

CMainFrame::~CMainFrame()
{
    services_.device.SetTitleSink(nullptr);
    doc_.SetHost(nullptr);
}

// ---- commands ----

void CMainFrame::SetCommandHandler(CommandId id, Handler handler)
{
    if (handler)
        handlers_[id] = std::move(handler);
    else
        handlers_.erase(id);
    UpdateCommandStates();
}

bool CMainFrame::HasHandler(CommandId id) const
{
    return handlers_.contains(id);
}

CommandState CMainFrame::StateOf(CommandId id) const
{
    CommandState state = QueryCommand(id, doc_.Context(tkanConnected_));
    // A command nested inside a wait for the instrument would start a second
    // exchange or swap the document under the first.
    if (!HasHandler(id) || (services_.device.IsBusy() && !probing_))
        state.enabled = false;
    return state;
}

bool CMainFrame::RunCommand(CommandId id)
{
    if (probing_) {
        pendingCommand_ = id;
        return true;
    }
    if (!StateOf(id).enabled)
        return false;
    // A copy: the handler may replace itself.
    Handler handler = handlers_.at(id);
    handler();
    UpdateCommandStates();
    return true;
}

void CMainFrame::InstallDefaultHandlers()
{
    handlers_[CommandId::CloseTest] = [this] {
        if (!doc_.SaveModified())
            return;
        doc_.OnNewDocument();
        UpdateAllViews();
    };
    handlers_[CommandId::SaveTest] = [this] { doc_.SaveTest(); };
    handlers_[CommandId::FileSave] = [this] { doc_.SaveTest(); };
    handlers_[CommandId::SaveAs] = [this] { doc_.SaveAs(); };
    handlers_[CommandId::FileManipulation] = [this] { OnFileManipulation(); };
    handlers_[CommandId::GraphResults] = [this] { doc_.ToggleGraph(); };
    handlers_[CommandId::Exit] = [this] { close(); };
    handlers_[CommandId::About] = [this] { OnAbout(); };
}

int CMainFrame::OpenDocumentFile(const std::string& path)
{
    int opened = doc_.OpenDocumentFile(path);
    UpdateCommandStates();
    return opened;
}

void CMainFrame::OnFileManipulation()
{
    if (openFolder)
        openFolder(services_.settings.FilePath);
}

void CMainFrame::OnAbout()
{
    std::string reply;
    services_.device.GetVersion(reply, 1);
    CAboutDlg about(reply, this);
    about.exec();
}

void CMainFrame::OpenRecentFile(std::size_t index)
{
    const std::vector<std::string>& files = services_.recent.Files();
    if (index >= files.size() || services_.device.IsBusy())
        return;
    std::string path = files[index];
    // Asked here, so that a cancelled question is not taken for a file
    // that no longer opens.
    if (!doc_.SaveModified())
        return;
    if (!OpenDocumentFile(path)) {
        // The document has said why; a file that no longer opens leaves
        // the list rather than failing again next time.
        const std::vector<std::string>& now = services_.recent.Files();
        for (std::size_t i = 0; i < now.size(); ++i)
            if (now[i] == path) {
                services_.recent.Remove(i);
                services_.recent.Save(services_.store);
                break;
            }
    }
    UpdateCommandStates();
}

bool CMainFrame::ProbeTkan()
{
    return services_.device.Connect(0) == 1 && services_.device.IsTkan != 0;
}

// ---- menus ----

QAction* CMainFrame::MakeCommandAction(const MenuEntry& entry, MenuSet& set)
{
    auto* action = new QAction(FromText(entry.text), this);
    action->setProperty(kCommandProperty, static_cast<int>(entry.id));
    action->setStatusTip(FromText(StatusPrompt(entry.id)));
    action->setMenuRole(QAction::NoRole);
    if (entry.id == CommandId::GraphResults)
        action->setCheckable(true);
    CommandId id = entry.id;
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    set.commands.push_back(action);
    return action;
}

void CMainFrame::AddEntries(QMenu* menu, const std::vector<MenuEntry>& entries, MenuSet& set)
{
    bool probes = false;
    for (const MenuEntry& entry : entries) {
        switch (entry.kind) {
        case MenuEntry::Kind::Popup: {
            auto* sub = new QMenu(FromText(entry.text), this);
            set.menus.push_back(sub);
            AddEntries(sub, entry.children, set);
            menu->addMenu(sub);
            break;
        }
        case MenuEntry::Kind::RecentFiles: {
            // Stands where the file names go, greyed while the list is empty.
            auto* anchor = new QAction(FromText(entry.text), this);
            anchor->setEnabled(false);
            anchor->setStatusTip(FromText(StatusPrompt(CommandId::RecentFile)));
            menu->addAction(anchor);
            set.fileMenu = menu;
            set.recentAnchor = anchor;
            break;
        }
        case MenuEntry::Kind::Command:
            menu->addAction(MakeCommandAction(entry, set));
            probes = probes || NeedsInstrumentProbe(entry.id);
            break;
        }
    }
    menu->setProperty(kProbesProperty, probes);
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        if (menu == Shown().fileMenu)
            RefreshRecentFiles(Shown());
        UpdateCommandStates(menu->property(kProbesProperty).toBool());
    });
    // Back to the idle text once the menu is gone, whatever was hovered last.
    connect(menu, &QMenu::aboutToHide, this, [this] { statusBar()->clearMessage(); });
}

void CMainFrame::BuildMenuSet(int menuId, MenuSet& set)
{
    for (const MenuEntry& entry : MenuBar(menuId)) {
        if (entry.kind == MenuEntry::Kind::Popup) {
            auto* menu = new QMenu(FromText(entry.text), this);
            set.menus.push_back(menu);
            AddEntries(menu, entry.children, set);
            set.topLevel.push_back(menu->menuAction());
        } else {
            set.topLevel.push_back(MakeCommandAction(entry, set));
        }
    }
}

void CMainFrame::ShowMenu(int menuId)
{
    if (menuId != kMenuTestLoaded)
        menuId = kMenuNoTest;
    if (menuId == shownMenu_)
        return;
    // Taking the items off the bar deletes nothing: the items are the
    // window's, so the one whose handler switched the bar lives on.
    menuBar()->clear();
    shownMenu_ = menuId;
    for (QAction* action : Shown().topLevel)
        menuBar()->addAction(action);
    UpdateCommandStates();
}

void CMainFrame::RefreshRecentFiles(MenuSet& set)
{
    if (!set.fileMenu || !set.recentAnchor)
        return;
    for (QAction* item : set.recentItems) {
        set.fileMenu->removeAction(item);
        item->deleteLater();
    }
    set.recentItems.clear();
    const std::vector<std::string>& files = services_.recent.Files();
    for (std::size_t i = 0; i < files.size(); ++i) {
        QString shown = QDir::toNativeSeparators(FromPath(files[i]));
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* item = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), this);
        item->setStatusTip(FromText(StatusPrompt(CommandId::RecentFile)));
        item->setProperty(kCommandProperty, static_cast<int>(CommandId::RecentFile));
        connect(item, &QAction::triggered, this, [this, i] { OpenRecentFile(i); });
        set.fileMenu->insertAction(set.recentAnchor, item);
        set.recentItems.push_back(item);
    }
    set.recentAnchor->setVisible(files.empty());
}

std::vector<QAction*> CMainFrame::RecentFileActions() const
{
    return Shown().recentItems;
}

void CMainFrame::UpdateCommandStates(bool probe)
{
    const MenuSet& set = Shown();
    if (probe)
        ScheduleProbe();
    for (QAction* action : set.commands) {
        CommandState state = StateOf(CommandOf(action));
        action->setEnabled(state.enabled);
        if (action->isCheckable())
            action->setChecked(state.checked);
    }
    for (QAction* item : set.recentItems)
        item->setEnabled(!services_.device.IsBusy());
}

void CMainFrame::ScheduleProbe()
{
    bool wanted = false;
    for (const QAction* action : Shown().commands)
        wanted = wanted || (NeedsInstrumentProbe(CommandOf(action)) && HasHandler(CommandOf(action)));
    // Only a probe that can enable something is worth a word to the
    // instrument.
    if (!wanted || probeScheduled_ || probing_ || services_.device.IsBusy())
        return;
    probeScheduled_ = true;
    QTimer::singleShot(0, this, &CMainFrame::RunProbe);
}

void CMainFrame::RunProbe()
{
    probeScheduled_ = false;
    if (services_.device.IsBusy())
        return;
    probing_ = true;
    tkanConnected_ = ProbeTkan();
    probing_ = false;
    UpdateCommandStates();
    if (std::optional<CommandId> chosen = std::exchange(pendingCommand_, std::nullopt))
        RunCommand(*chosen);
}

std::vector<QAction*> CMainFrame::ActionsFor(CommandId id) const
{
    std::vector<QAction*> found;
    for (QAction* action : Shown().commands)
        if (CommandOf(action) == id)
            found.push_back(action);
    return found;
}

void CMainFrame::InstallShortcuts()
{
    for (const Accelerator& accelerator : Accelerators()) {
        // The edit keys stay with the edit or grid that has the focus.
        if (IsStandardEditCommand(accelerator.id))
            continue;
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(accelerator.key)), this);
        CommandId id = accelerator.id;
        connect(shortcut, &QShortcut::activated, this, [this, id] { RunCommand(id); });
    }
}

// ---- status bar ----

void CMainFrame::InstallStatusBar()
{
    messagePane_ = new QLabel(IdleText(), this);
    messagePane_->setObjectName(QStringLiteral("messagePane"));
    statusBar()->addWidget(messagePane_, 1);
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(kIndicatorTexts[i]).toLower() + QStringLiteral("Indicator"));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        // As wide as its text, lit or not, so the panes do not jump.
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QString::fromLatin1(kIndicatorTexts[i])) +
                               2 * label->fontMetrics().averageCharWidth());
        statusBar()->addPermanentWidget(label);
        indicators_[i] = label;
    }
    indicatorTimer_ = new QTimer(this);
    connect(indicatorTimer_, &QTimer::timeout, this, &CMainFrame::UpdateIndicators);
    indicatorTimer_->start(kIndicatorPollMs);
    UpdateIndicators();
}

QString CMainFrame::IdleText() const
{
    return FromText(kIdleStatus);
}

QLabel* CMainFrame::IndicatorLabel(int index) const
{
    return index >= 0 && index < 3 ? indicators_[index] : nullptr;
}

void CMainFrame::UpdateIndicators()
{
    LockKeys keys = readLockKeys ? readLockKeys() : LockKeys{};
    const bool on[3] = {keys.caps, keys.num, keys.scroll};
    for (int i = 0; i < 3; ++i) {
        QString text = on[i] ? QString::fromLatin1(kIndicatorTexts[i]) : QString();
        if (indicators_[i]->text() != text)
            indicators_[i]->setText(text);
    }
}

// ---- document host and title ----

void CMainFrame::CommitEdits()
{
    view_->CommitEdits();
}

void CMainFrame::UpdateAllViews()
{
    view_->OnUpdate();
    UpdateCommandStates();
}

void CMainFrame::InitialUpdate()
{
    view_->OnInitialUpdate();
}

std::string CMainFrame::CurrentTitle()
{
    return ToWindows1252(windowTitle());
}

void CMainFrame::SetTitle(const std::string& title)
{
    setWindowTitle(FromWindows1252(title));
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Leave && qobject_cast<QMenuBar*>(watched))
        statusBar()->clearMessage();
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // Closing inside a wait would tear the window down under the exchange
    // that is still running on the stack.
    if (services_.device.IsBusy()) {
        event->ignore();
        return;
    }
    if (!doc_.SaveModified()) {
        event->ignore();
        return;
    }
    doc_.OnCloseDocument();
    event->accept();
}

}  // namespace tkan
