#include "testing/qt/TestCurrentDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/qt/QtText.h"
#include "testing/TestCurrent.h"

namespace tkan {

namespace {

QString Latin(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TestCurrentDialog::TestCurrentDialog(QWidget* parent, dlgTestCurrent& controller)
    : QDialog(parent), controller_(controller)
{
    setWindowTitle(QStringLiteral("Select Test Current"));
    const TestCurrentValues& initial = controller.Initial();

    auto* currentBox = new QGroupBox(QStringLiteral("Test Current"), this);
    auto* currentLayout = new QVBoxLayout(currentBox);
    currents_ = new QButtonGroup(this);
    for (std::size_t i = 0; i < kStaticTestCurrentLabels.size(); ++i) {
        auto* radio = new QRadioButton(Latin(kStaticTestCurrentLabels[i]), currentBox);
        currents_->addButton(radio, static_cast<int>(i));
        currentLayout->addWidget(radio);
    }
    if (QAbstractButton* chosen = currents_->button(initial.currentIndex))
        chosen->setChecked(true);

    auto* captureBox = new QGroupBox(QStringLiteral("Capture"), this);
    auto* captureLayout = new QGridLayout(captureBox);
    manual_ = new QRadioButton(QStringLiteral("Manual"), captureBox);
    timed_ = new QRadioButton(QStringLiteral("Timed Limit"), captureBox);
    (initial.timed ? timed_ : manual_)->setChecked(true);
    duration_ = new QLineEdit(FromWindows1252(initial.durationText), captureBox);
    duration_->setMaximumWidth(60);
    auto* durationLabel = new QLabel(QStringLiteral("Duration:"), captureBox);
    durationLabel->setBuddy(duration_);
    captureLayout->addWidget(manual_, 0, 0, 1, 3);
    captureLayout->addWidget(timed_, 1, 0, 1, 3);
    captureLayout->addWidget(durationLabel, 2, 0);
    captureLayout->addWidget(duration_, 2, 1);
    captureLayout->addWidget(new QLabel(QStringLiteral("(Minutes 1-45)"), captureBox), 2, 2);

    auto* boxes = new QHBoxLayout;
    boxes->addWidget(currentBox);
    boxes->addWidget(captureBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(boxes);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &TestCurrentDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TestCurrentDialog::reject);
    connect(manual_, &QRadioButton::clicked, this, &TestCurrentDialog::ShowEnabled);
    connect(timed_, &QRadioButton::clicked, this, &TestCurrentDialog::ShowEnabled);
    ShowEnabled();
}

QRadioButton* TestCurrentDialog::CurrentButton(int index) const
{
    return qobject_cast<QRadioButton*>(currents_->button(index));
}

void TestCurrentDialog::ShowEnabled()
{
    TestCurrentValues values;
    values.timed = timed_->isChecked();
    const TestCurrentEnabled enabled = controller_.Enabled(values);
    for (QAbstractButton* button : currents_->buttons())
        button->setEnabled(enabled.currents);
    manual_->setEnabled(enabled.captureChoice);
    timed_->setEnabled(enabled.captureChoice);
    duration_->setEnabled(enabled.duration);
}

void TestCurrentDialog::accept()
{
    TestCurrentValues values;
    values.currentIndex = std::max(0, currents_->checkedId());
    values.timed = timed_->isChecked();
    values.durationText = ToWindows1252(duration_->text());
    if (controller_.OnOk(values))
        QDialog::accept();
}

int TestCurrentDialog::Run()
{
    return exec() == QDialog::Accepted ? 1 : 0;
}

std::optional<int> AskNumberOfSteps(QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("# of Steps"));
    auto* answer = new QLineEdit(&dialog);
    answer->setMinimumWidth(220);
    // The question stands beside the field too: a window manager may not
    // show the title, and a screen reader names the field by it.
    auto* question = new QLabel(QStringLiteral("# of Steps"), &dialog);
    question->setBuddy(answer);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(question);
    layout->addWidget(answer);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return StepsFromAnswer(ToWindows1252(answer->text()));
}

}  // namespace tkan
