#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QDialog;
class QPrinter;

namespace tkan {

class CAppInfo;
class CMainFrame;
class Prompter;

inline constexpr char kPrintFailedText[] = "Failed to print document.";

// "Print...", "Print Preview" and "Print Setup..." of the main window, and
// Ctrl+C on the view, which copies the graph as a picture. The printer is
// made the first time the user prints, previews or sets up the page, never
// at start: a machine without a print system starts as fast as any. Its
// orientation starts from the "Orientation" setting and then keeps what the
// user chose for the rest of the run.
class CPrintCommands : public QObject {
    Q_OBJECT

public:
    CPrintCommands(CMainFrame& frame, const CAppInfo& settings, Prompter& prompter);
    ~CPrintCommands() override;

    // The print dialog, then the pages chosen.
    void Print();
    void Preview();
    void PageSetup();
    // The graph on screen onto the clipboard; nothing while no graph shows.
    void CopyGraph();
    // After Application Setup: the orientation goes back to the setting.
    void ApplyOrientationSetting();

    // Null until the user first prints.
    QPrinter* Printer() const { return printer_.get(); }

    // Runs the print, preview and setup dialogs; tests replace it so that
    // nothing waits for a person. Returns whether the dialog was accepted.
    std::function<bool(QDialog&)> runDialog;

private:
    QPrinter& EnsurePrinter();
    // Pages [first, last] of the open test on `printer`; the view is
    // repainted afterwards, since the printed graph moved the renderer's
    // plot. False when the printer took no page (a file that cannot be
    // written).
    bool PaintPages(QPrinter& printer, int first, int last, int copies);

    CMainFrame& frame_;
    const CAppInfo& settings_;
    Prompter& prompter_;
    std::unique_ptr<QPrinter> printer_;
};

// Makes the commands, owned by the frame, and plugs them in.
CPrintCommands* InstallPrintCommands(CMainFrame& frame, const CAppInfo& settings, Prompter& prompter);

}  // namespace tkan
