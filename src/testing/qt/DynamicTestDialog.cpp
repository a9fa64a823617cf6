#include "testing/qt/DynamicTestDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <array>

#include "platform/qt/QSettingsStore.h"
#include "platform/qt/QtMessagePump.h"
#include "platform/qt/QtText.h"
#include "testing/TestingContext.h"
#include "testing/qt/HeaderBox.h"
#include "testing/qt/QtModalDialogs.h"
#include "testing/qt/TestingStyle.h"

namespace tkan {

namespace {

QPushButton* PlainButton(const char* text, QWidget* parent)
{
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    // Enter in a header field must not start or stop a test.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}  // namespace

std::optional<std::string> RunDynamicTestDialog(QWidget* parent, TestingContext& context)
{
    if (!PumpDispatchesQtEvents(context.pump))
        InstallQtPump(context.pump);
    DynamicTestDialog dialog(parent, context);
    if (dialog.Open())
        dialog.exec();
    const dlgDynamicTest& controller = dialog.Controller();
    if (!controller.Saved() || controller.SavedPath().empty())
        return std::nullopt;
    return controller.SavedPath();
}

DynamicTestDialog::DynamicTestDialog(QWidget* parent, TestingContext& context)
    : QDialog(parent), dialogs_(std::make_unique<QtModalDialogs>(this)),
      controller_(std::make_unique<dlgDynamicTest>(context, *dialogs_))
{
    setWindowTitle(QStringLiteral("Dynamic Test"));
    BuildLayout();
}

DynamicTestDialog::~DynamicTestDialog() = default;

void DynamicTestDialog::BuildLayout()
{
    header_ = new HeaderBox(this);

    length_ = new QComboBox(this);
    for (std::string_view choice : kTestLengthChoices)
        length_->addItem(QString::fromLatin1(choice.data(), static_cast<qsizetype>(choice.size())));
    current_ = new QComboBox(this);
    auto* lengthLabel = new QLabel(QStringLiteral("Test Length"), this);
    lengthLabel->setBuddy(length_);
    auto* currentLabel = new QLabel(QStringLiteral("Test Current"), this);
    currentLabel->setBuddy(current_);
    auto* choices = new QHBoxLayout;
    choices->addWidget(lengthLabel);
    choices->addWidget(length_);
    choices->addSpacing(24);
    choices->addWidget(currentLabel);
    choices->addWidget(current_);
    choices->addStretch(1);

    auto* tapBox = new QGroupBox(QStringLiteral("Tap Control"), this);
    auto* tapLayout = new QVBoxLayout(tapBox);
    tapGroup_ = new QButtonGroup(this);
    const std::array<std::pair<const char*, int>, 3> taps{
        {{"No Tap Control", kNoTapControl}, {"Raise Tap", kRaiseTap}, {"Lower Tap", kLowerTap}}};
    for (const auto& [text, id] : taps) {
        auto* radio = new QRadioButton(QString::fromLatin1(text), tapBox);
        tapGroup_->addButton(radio, id);
        tapLayout->addWidget(radio);
    }

    auto* relayBox = new QGroupBox(QStringLiteral("Relay"), this);
    auto* relayLayout = new QVBoxLayout(relayBox);
    relayGroup_ = new QButtonGroup(this);
    const std::array<std::pair<const char*, int>, 2> modes{{{"Latch", kLatch}, {"Momentary", kMomentary}}};
    for (const auto& [text, id] : modes) {
        auto* radio = new QRadioButton(QString::fromLatin1(text), relayBox);
        relayGroup_->addButton(radio, id);
        relayLayout->addWidget(radio);
    }
    relayLayout->addStretch(1);

    raiseLower_ = PlainButton("Raise / Lower", this);
    // Green at rest, orange while held: orange is the relay driving the tap
    // changer.
    StyleColouredButton(*raiseLower_, kStartColour, kStopColour);
    raiseLower_->setMinimumHeight(56);
    raiseLower_->setMinimumWidth(150);

    auto* tapRow = new QHBoxLayout;
    tapRow->addWidget(tapBox, 2);
    tapRow->addWidget(relayBox, 1);
    tapRow->addWidget(raiseLower_, 0, Qt::AlignVCenter);

    status_ = new QLabel(this);
    StyleStatusLine(*status_, font());

    start_ = PlainButton("Start Test", this);
    StyleColouredButton(*start_, kStartColour, kStartColour.darker(115));
    stop_ = PlainButton("Stop Test", this);
    StyleColouredButton(*stop_, kStopColour, kStopColour.darker(115));
    save_ = PlainButton("Save Test", this);
    exit_ = PlainButton("Exit", this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    buttons->addStretch(1);
    buttons->addWidget(save_);
    buttons->addWidget(exit_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(header_);
    layout->addLayout(choices);
    layout->addLayout(tapRow);
    layout->addWidget(status_);
    layout->addLayout(buttons);

    connect(start_, &QPushButton::clicked, this, [this] { controller_->StartTest(); });
    connect(stop_, &QPushButton::clicked, this, [this] { controller_->StopTest(); });
    connect(save_, &QPushButton::clicked, this, [this] { controller_->SaveTest(); });
    connect(exit_, &QPushButton::clicked, this, [this] { controller_->ExitTest(); });
    // Press and release each reach the instrument: the relay drives the tap
    // changer for as long as the operator holds the button.
    connect(raiseLower_, &QPushButton::pressed, this, [this] { controller_->RelayButtonEvent(kRelayPressed); });
    connect(raiseLower_, &QPushButton::released, this, [this] { controller_->RelayButtonEvent(kRelayReleased); });
    // Only the operator's clicks, not the dialog showing its values.
    connect(tapGroup_, &QButtonGroup::idClicked, this, [this](int) { controller_->OnTapControlClicked(); });
}

bool DynamicTestDialog::Open()
{
    controller_->OnInitDialog(*this);
    return !controller_->Ended();
}

void DynamicTestDialog::reject()
{
    if (controller_->Ended()) {
        QDialog::reject();
        return;
    }
    controller_->CloseTest();
}

QRadioButton* DynamicTestDialog::TapButton(int tapControl) const
{
    return qobject_cast<QRadioButton*>(tapGroup_->button(tapControl));
}

QRadioButton* DynamicTestDialog::RelayModeButton(int relayMode) const
{
    return qobject_cast<QRadioButton*>(relayGroup_->button(relayMode));
}

QLineEdit* DynamicTestDialog::HeaderEdit(int field) const
{
    return field < 0 ? nullptr : header_->Edit(static_cast<std::size_t>(field));
}

// --- DynamicTestView ---------------------------------------------------------

void DynamicTestDialog::ShowValues(const DynamicTestValues& values)
{
    header_->Show(values.header);
    length_->setCurrentIndex(values.lengthIndex);
    if (current_->count() > 0)
        current_->setCurrentIndex(values.currentIndex);
    if (QAbstractButton* tap = tapGroup_->button(values.tapControl))
        tap->setChecked(true);
    if (QAbstractButton* mode = relayGroup_->button(values.relayMode))
        mode->setChecked(true);
}

DynamicTestValues DynamicTestDialog::ReadValues()
{
    DynamicTestValues values;
    values.header = header_->Read();
    values.lengthIndex = std::max(0, length_->currentIndex());
    values.currentIndex = std::max(0, current_->currentIndex());
    values.tapControl = std::max(0, tapGroup_->checkedId());
    values.relayMode = std::max(0, relayGroup_->checkedId());
    return values;
}

void DynamicTestDialog::SetCurrentChoices(const std::vector<std::string>& choices)
{
    current_->clear();
    for (const std::string& choice : choices)
        current_->addItem(FromWindows1252(choice));
}

void DynamicTestDialog::ShowStatus(const std::string& text)
{
    const QString shown = StatusTextForScreen(text);
    if (status_->text() != shown)
        status_->setText(shown);
}

void DynamicTestDialog::ShowButtons(const DynamicTestButtons& buttons)
{
    start_->setEnabled(buttons.startTest);
    stop_->setEnabled(buttons.stopTest);
    save_->setEnabled(buttons.saveTest);
    RelayModeButton(kLatch)->setEnabled(buttons.latch);
    RelayModeButton(kMomentary)->setEnabled(buttons.momentary);
    // Greyed under the operator's finger: the controller has released the
    // relay already, and the button is to look released too.
    if (!buttons.raiseLower && raiseLower_->isDown())
        raiseLower_->setDown(false);
    raiseLower_->setEnabled(buttons.raiseLower);
}

void DynamicTestDialog::SetTimer(int id, int milliseconds)
{
    QTimer*& timer = timers_[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { controller_->OnTimer(id); });
    }
    timer->start(milliseconds);
}

void DynamicTestDialog::KillTimer(int id)
{
    auto it = timers_.find(id);
    if (it != timers_.end() && it->second)
        it->second->stop();
}

void DynamicTestDialog::EndDialog()
{
    for (auto& [id, timer] : timers_)
        if (timer)
            timer->stop();
    done(QDialog::Rejected);
}

}  // namespace tkan
