#pragma once

#include <ctime>
#include <functional>

namespace tkan {

class CAppInfo;
class CTestDlg;
class CXferDlg;
class dlgTestCurrent;
class MessagePump;
class Prompter;
class RovaDevice;
class SettingsStore;
class TestRecord;
class TickSource;

// What the test-run and retrieval dialogs work with: the program's single
// device connection, its settings and the platform seams. The application
// makes one and hands it to each dialog; a test makes its own.
struct TestingContext {
    RovaDevice& device;
    const CAppInfo& settings;
    SettingsStore& store;
    Prompter& prompter;
    TickSource& ticks;
    // The same pump the transports call while they wait.
    MessagePump& pump;
    // Runs for a record once it has been saved; empty until the export
    // subsystem provides one.
    std::function<void(const TestRecord&)> autoExport;
    // The wall clock of the readings' times and the reports; empty: the
    // system's.
    std::function<std::time_t()> clockTime;
};

// Shows the retrieval dialogs modally over their logic. The desktop opens
// windows; the tests and the command-line tool drive the logic directly.
class ModalDialogs {
public:
    virtual ~ModalDialogs() = default;

    // 1 when the dialog ended with OK.
    virtual int RunTransfer(CXferDlg& transfer) = 0;
    virtual int RunDirectory(CTestDlg& directory) = 0;
    // The Select Test Current dialog; a front that cannot ask takes its
    // defaults.
    virtual int RunTestCurrent(dlgTestCurrent& choice);
};

}  // namespace tkan
