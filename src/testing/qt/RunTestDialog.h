#pragma once

#include <QDialog>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "testing/RunTest.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QTimer;

namespace tkan {

class HeaderBox;
class QtModalDialogs;
struct TestingContext;

// Runs the Run Test dialog modally. The saved test file when the dialog
// saved one (the caller opens it as the document), otherwise nothing.
std::optional<std::string> RunStaticTestDialog(QWidget* parent, TestingContext& context,
                                               const RunTestParameters& parameters);

// The Qt face of dlgRunTest: shows what the controller says and hands it
// every click and edit. Its poll loop runs inside the first tick of the
// start-up timer, and the clicks reach it through the message pump.
class RunTestDialog : public QDialog, private RunTestView {
    Q_OBJECT

public:
    RunTestDialog(QWidget* parent, TestingContext& context, const RunTestParameters& parameters);
    ~RunTestDialog() override;

    // The controller's opening; false when the dialog has already ended and
    // is not to be shown.
    bool Open();

    dlgRunTest& Controller() { return *controller_; }

    QPushButton* Button(const QString& text) const;
    QTableWidget* ReadingsList() const { return readings_; }
    QLabel* StatusLine() const { return status_; }
    QLabel* ElapsedLine() const { return elapsed_; }
    QLineEdit* ResistanceEdit(int winding) const { return resistance_.at(static_cast<std::size_t>(winding)); }
    QLabel* SettlingLabel(int winding) const { return settling_.at(static_cast<std::size_t>(winding)); }
    QLineEdit* TemperatureEdit(TemperatureField field) const;
    QCheckBox* CorrectionBox() const { return correction_; }

public slots:
    // The close box and Esc: closing without the question of Exit.
    void reject() override;

private:
    void ShowValues(const RunTestValues& values) override;
    RunTestValues ReadValues() override;
    void ShowReadings(const StaticReadings& readings, bool withR3, int scrollTo) override;
    int SelectedReading() override;
    void ShowStatus(const std::string& text) override;
    void ShowResistances(const RunTestResistances& resistances) override;
    void ShowElapsed(const std::string& text) override;
    void ShowButtons(const RunTestButtons& buttons) override;
    void SetTimer(int id, int milliseconds) override;
    void KillTimer(int id) override;
    void EndDialog() override;

    void BuildLayout();
    QWidget* BuildTemperatureBox();
    QPushButton* AddButton(const char* text, const QColor* colour, const QColor* pressed);
    void ReleaseRelay();

    std::unique_ptr<QtModalDialogs> dialogs_;
    std::unique_ptr<dlgRunTest> controller_;
    std::map<int, QTimer*> timers_;
    // Which relay button is held, if any: Raise true, Lower false.
    std::optional<bool> heldRelay_;

    HeaderBox* header_ = nullptr;
    QCheckBox* correction_ = nullptr;
    std::array<QLineEdit*, 4> temperatures_{};
    QRadioButton* copper_ = nullptr;
    QRadioButton* aluminum_ = nullptr;
    std::vector<QWidget*> temperatureControls_;
    QTableWidget* readings_ = nullptr;
    std::array<QLineEdit*, 3> resistance_{};
    std::array<QLabel*, 3> settling_{};
    QLabel* status_ = nullptr;
    QLabel* elapsed_ = nullptr;
    std::vector<QPushButton*> buttons_;
    QPushButton* raise_ = nullptr;
    QPushButton* lower_ = nullptr;
};

}  // namespace tkan
