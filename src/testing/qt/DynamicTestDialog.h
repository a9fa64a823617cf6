#pragma once

#include <QDialog>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "testing/DynamicTest.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace tkan {

class HeaderBox;
class QtModalDialogs;
struct TestingContext;

// Runs the Dynamic Test dialog modally. The saved test file when the dialog
// saved one (the caller opens it as the document), otherwise nothing.
std::optional<std::string> RunDynamicTestDialog(QWidget* parent, TestingContext& context);

// The Qt face of dlgDynamicTest: shows what the controller says and hands it
// every click. Its poll loop runs inside the first tick of the start-up timer,
// and the clicks reach it through the message pump while it waits.
class DynamicTestDialog : public QDialog, private DynamicTestView {
    Q_OBJECT

public:
    DynamicTestDialog(QWidget* parent, TestingContext& context);
    ~DynamicTestDialog() override;

    // The controller's opening: connects, fills the lists, starts the timer.
    // False when the dialog has already ended (no instrument, not a TKAN),
    // in which case it is not to be shown.
    bool Open();

    dlgDynamicTest& Controller() { return *controller_; }

    QLabel* StatusLine() const { return status_; }
    QPushButton* StartButton() const { return start_; }
    QPushButton* StopButton() const { return stop_; }
    QPushButton* SaveButton() const { return save_; }
    QPushButton* ExitButton() const { return exit_; }
    QPushButton* RaiseLowerButton() const { return raiseLower_; }
    QComboBox* LengthList() const { return length_; }
    QComboBox* CurrentList() const { return current_; }
    QRadioButton* TapButton(int tapControl) const;
    QRadioButton* RelayModeButton(int relayMode) const;
    // The edit of header field `field`, in the header table's order.
    QLineEdit* HeaderEdit(int field) const;

public slots:
    // The close box and Esc: closing without the question of Exit.
    void reject() override;

private:
    void ShowValues(const DynamicTestValues& values) override;
    DynamicTestValues ReadValues() override;
    void SetCurrentChoices(const std::vector<std::string>& choices) override;
    void ShowStatus(const std::string& text) override;
    void ShowButtons(const DynamicTestButtons& buttons) override;
    void SetTimer(int id, int milliseconds) override;
    void KillTimer(int id) override;
    void EndDialog() override;

    void BuildLayout();

    std::unique_ptr<QtModalDialogs> dialogs_;
    std::unique_ptr<dlgDynamicTest> controller_;
    std::map<int, QTimer*> timers_;

    HeaderBox* header_ = nullptr;
    QComboBox* length_ = nullptr;
    QComboBox* current_ = nullptr;
    QButtonGroup* tapGroup_ = nullptr;
    QButtonGroup* relayGroup_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* exit_ = nullptr;
    QPushButton* raiseLower_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace tkan
