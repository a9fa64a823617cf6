#pragma once

#include <QDialog>

#include <optional>

class QButtonGroup;
class QLineEdit;
class QRadioButton;

namespace tkan {

class dlgTestCurrent;

// The Qt face of dlgTestCurrent: the static test's current and its capture
// mode. OK hands the choice to the controller, which may keep it open.
class TestCurrentDialog : public QDialog {
    Q_OBJECT

public:
    TestCurrentDialog(QWidget* parent, dlgTestCurrent& controller);

    // 1 when the operator chose, 0 on Cancel.
    int Run();

    QRadioButton* CurrentButton(int index) const;
    QRadioButton* ManualButton() const { return manual_; }
    QRadioButton* TimedButton() const { return timed_; }
    QLineEdit* DurationEdit() const { return duration_; }

public slots:
    void accept() override;

private:
    void ShowEnabled();

    dlgTestCurrent& controller_;
    QButtonGroup* currents_ = nullptr;
    QRadioButton* manual_ = nullptr;
    QRadioButton* timed_ = nullptr;
    QLineEdit* duration_ = nullptr;
};

// The "# of Steps" question of a regulator run: the number of steps, or
// nothing when the operator cancelled.
std::optional<int> AskNumberOfSteps(QWidget* parent);

}  // namespace tkan
