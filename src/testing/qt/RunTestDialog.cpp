#include "testing/qt/RunTestDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/qt/QtMessagePump.h"
#include "platform/qt/QtText.h"
#include "testing/TestRunStatus.h"
#include "testing/TestingContext.h"
#include "testing/qt/HeaderBox.h"
#include "testing/qt/QtModalDialogs.h"
#include "testing/qt/TestingStyle.h"

namespace tkan {

namespace {

const QColor kAcceptColour(247, 251, 105);
const QColor kRaiseColour(102, 204, 255);

constexpr std::array<const char*, 9> kReadingColumns = {"Test", "Type", "Time", "R1", "R1s", "R2", "R2s", "R3", "R3s"};

void SetTextIfChanged(QLineEdit& edit, const QString& text)
{
    if (edit.text() != text)
        edit.setText(text);
}

}  // namespace

std::optional<std::string> RunStaticTestDialog(QWidget* parent, TestingContext& context,
                                               const RunTestParameters& parameters)
{
    if (!PumpDispatchesQtEvents(context.pump))
        InstallQtPump(context.pump);
    RunTestDialog dialog(parent, context, parameters);
    if (dialog.Open())
        dialog.exec();
    std::string saved = dialog.Controller().FileToOpen();
    if (saved.empty())
        return std::nullopt;
    return saved;
}

RunTestDialog::RunTestDialog(QWidget* parent, TestingContext& context, const RunTestParameters& parameters)
    : QDialog(parent), dialogs_(std::make_unique<QtModalDialogs>(this)),
      controller_(std::make_unique<dlgRunTest>(context, *dialogs_, parameters))
{
    setWindowTitle(QStringLiteral("Run Test - ") + FromWindows1252(parameters.testTypeName));
    BuildLayout();
}

RunTestDialog::~RunTestDialog() = default;

QPushButton* RunTestDialog::AddButton(const char* text, const QColor* colour, const QColor* pressed)
{
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    // Enter in a header or temperature field must not start or stop a test.
    button->setAutoDefault(false);
    button->setDefault(false);
    if (colour)
        StyleColouredButton(*button, *colour, pressed ? *pressed : colour->darker(115));
    buttons_.push_back(button);
    return button;
}

QWidget* RunTestDialog::BuildTemperatureBox()
{
    auto* box = new QGroupBox(QStringLiteral("Temperature Correction"), this);
    auto* grid = new QGridLayout(box);
    correction_ = new QCheckBox(QStringLiteral("Enable Equivalent Resistance"), box);
    grid->addWidget(correction_, 0, 0, 1, 3);

    auto* celsius = new QLabel(QStringLiteral("Celcius"), box);
    auto* fahrenheit = new QLabel(QStringLiteral("Fahrenheit"), box);
    grid->addWidget(celsius, 1, 1);
    grid->addWidget(fahrenheit, 1, 2);
    temperatureControls_ = {celsius, fahrenheit};

    const std::array<const char*, 2> rows = {"Measure Temp (Tm)", "Reference Temp (Ts)"};
    for (std::size_t row = 0; row < rows.size(); ++row) {
        auto* label = new QLabel(QString::fromLatin1(rows[row]), box);
        grid->addWidget(label, static_cast<int>(row) + 2, 0);
        temperatureControls_.push_back(label);
        for (std::size_t column = 0; column < 2; ++column) {
            auto* edit = new QLineEdit(box);
            edit->setMaximumWidth(90);
            // Two fields share each visible heading; each is named by both
            // of its labels, as a reader of the table would say it.
            edit->setAccessibleName(label->text() + QLatin1Char(' ') + (column == 0 ? celsius : fahrenheit)->text());
            if (column == 0)
                label->setBuddy(edit);
            grid->addWidget(edit, static_cast<int>(row) + 2, static_cast<int>(column) + 1);
            temperatures_[row * 2 + column] = edit;
            temperatureControls_.push_back(edit);
            const auto field = static_cast<TemperatureField>(row * 2 + column);
            connect(edit, &QLineEdit::textEdited, this, [this, field] { controller_->OnTemperatureChanged(field); });
        }
    }

    auto* tkLabel = new QLabel(QStringLiteral("Tk"), box);
    copper_ = new QRadioButton(QStringLiteral("Copper - 234.5 C"), box);
    aluminum_ = new QRadioButton(QStringLiteral("Aluminum - 225 C"), box);
    grid->addWidget(tkLabel, 4, 0);
    grid->addWidget(copper_, 4, 1);
    grid->addWidget(aluminum_, 4, 2);
    auto* formula = new QLabel(QStringLiteral("Rs = Rmeas * [(Ts+Tk) / (Tm + Tk)]"), box);
    grid->addWidget(formula, 5, 0, 1, 3);
    temperatureControls_.insert(temperatureControls_.end(), {tkLabel, copper_, aluminum_});

    connect(correction_, &QCheckBox::clicked, this, [this] { controller_->OnCorrectionClicked(); });
    return box;
}

void RunTestDialog::BuildLayout()
{
    header_ = new HeaderBox(this);

    auto* top = new QHBoxLayout;
    top->addWidget(header_, 3);
    top->addWidget(BuildTemperatureBox(), 2);

    readings_ = new QTableWidget(0, static_cast<int>(kReadingColumns.size()), this);
    readings_->setAccessibleName(QStringLiteral("Readings"));
    QStringList headings;
    for (const char* heading : kReadingColumns)
        headings << QString::fromLatin1(heading);
    readings_->setHorizontalHeaderLabels(headings);
    readings_->horizontalHeaderItem(0)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    readings_->setSelectionBehavior(QAbstractItemView::SelectRows);
    readings_->setSelectionMode(QAbstractItemView::SingleSelection);
    readings_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    readings_->verticalHeader()->setVisible(false);
    readings_->horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics metrics(readings_->font());
    const std::array<const char*, 3> samples = {"Test Num", "STATIC LTC V1 / V2XXX", "12:12:23:22:22 "};
    for (std::size_t c = 0; c < kReadingColumns.size(); ++c) {
        const char* sample = c < samples.size() ? samples[c] : "R1=1001 XXXXX OHMS";
        readings_->setColumnWidth(static_cast<int>(c), metrics.horizontalAdvance(QString::fromLatin1(sample)) + 12);
    }
    readings_->setMinimumHeight(200);
    // Every column in view at once: a reading is read across its whole row.
    int tableWidth = 2 * readings_->frameWidth() + 2;
    for (int c = 0; c < readings_->columnCount(); ++c)
        tableWidth += readings_->columnWidth(c);
    readings_->setMinimumWidth(tableWidth);

    auto* values = new QGridLayout;
    const std::array<const char*, 3> names = {"R1=", "R2=", "R3="};
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly(true);
        edit->setMinimumWidth(140);
        auto* label = new QLabel(QString::fromLatin1(names[i]), this);
        label->setBuddy(edit);
        settling_[i] = new QLabel(this);
        settling_[i]->setMinimumWidth(110);
        values->addWidget(label, static_cast<int>(i), 0);
        values->addWidget(edit, static_cast<int>(i), 1);
        values->addWidget(settling_[i], static_cast<int>(i), 2);
        resistance_[i] = edit;
    }

    QPushButton* start = AddButton("Start Test", &kStartColour, nullptr);
    QPushButton* accept = AddButton("Accept Test", &kAcceptColour, nullptr);
    QPushButton* repeat = AddButton("Repeat Test", &kStartColour, nullptr);
    QPushButton* stop = AddButton("Stop Test", &kStopColour, nullptr);
    raise_ = AddButton("Raise", &kRaiseColour, &kStopColour);
    lower_ = AddButton("Lower", &kStartColour, &kStopColour);
    QPushButton* save = AddButton("Save Test", nullptr, nullptr);
    QPushButton* exit = AddButton("Exit", nullptr, nullptr);

    elapsed_ = new QLabel(this);
    StyleStatusLine(*elapsed_, font());
    elapsed_->setMinimumWidth(QFontMetrics(elapsed_->font()).horizontalAdvance(QStringLiteral("00:00:00")) + 24);
    elapsed_->setAccessibleName(QStringLiteral("Elapsed Time"));

    auto* commands = new QGridLayout;
    commands->addWidget(start, 0, 0);
    commands->addWidget(accept, 0, 1);
    commands->addWidget(repeat, 0, 2);
    commands->addWidget(stop, 0, 3);
    commands->addWidget(raise_, 1, 0);
    commands->addWidget(lower_, 1, 1);
    commands->addWidget(elapsed_, 1, 2, 1, 2);

    auto* middle = new QHBoxLayout;
    middle->addLayout(values);
    middle->addStretch(1);
    middle->addLayout(commands);

    status_ = new QLabel(this);
    StyleStatusLine(*status_, font());
    status_->setAccessibleName(QStringLiteral("Status"));

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(save);
    bottom->addWidget(exit);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(readings_, 1);
    layout->addLayout(middle);
    layout->addWidget(status_);
    layout->addLayout(bottom);

    connect(start, &QPushButton::clicked, this, [this] { controller_->StartTest(); });
    connect(accept, &QPushButton::clicked, this, [this] { controller_->AcceptReading(); });
    connect(repeat, &QPushButton::clicked, this, [this] { controller_->RepeatReading(); });
    connect(stop, &QPushButton::clicked, this, [this] { controller_->StopTest(); });
    connect(save, &QPushButton::clicked, this, [this] { controller_->SaveTest(); });
    connect(exit, &QPushButton::clicked, this, [this] { controller_->ExitTest(); });
    // Press and release each reach the instrument: the relay drives the tap
    // changer for as long as the operator holds the button.
    for (QPushButton* relay : {raise_, lower_}) {
        const bool raise = relay == raise_;
        connect(relay, &QPushButton::pressed, this, [this, raise] {
            heldRelay_ = raise;
            controller_->RelayButtonEvent(kRelayPressed, raise);
        });
        connect(relay, &QPushButton::released, this, &RunTestDialog::ReleaseRelay);
    }
    connect(copper_, &QRadioButton::clicked, this, [this] { controller_->OnCorrectionClicked(); });
    connect(aluminum_, &QRadioButton::clicked, this, [this] { controller_->OnCorrectionClicked(); });
}

bool RunTestDialog::Open()
{
    controller_->OnInitDialog(*this);
    return !controller_->Ended();
}

void RunTestDialog::reject()
{
    if (controller_->Ended()) {
        QDialog::reject();
        return;
    }
    controller_->CloseTest();
}

QPushButton* RunTestDialog::Button(const QString& text) const
{
    for (QPushButton* button : buttons_)
        if (button->text() == text)
            return button;
    return nullptr;
}

QLineEdit* RunTestDialog::TemperatureEdit(TemperatureField field) const
{
    return temperatures_.at(static_cast<std::size_t>(field));
}

void RunTestDialog::ReleaseRelay()
{
    // One release per press, whichever way the button was let go.
    if (!heldRelay_)
        return;
    const bool raise = *heldRelay_;
    heldRelay_.reset();
    controller_->RelayButtonEvent(kRelayReleased, raise);
}

// --- RunTestView ---------------------------------------------------------------

void RunTestDialog::ShowValues(const RunTestValues& values)
{
    header_->Show(values.header);
    const TemperatureEntry& t = values.temperatures;
    const std::array<const std::string*, 4> texts = {&t.tmCelsius, &t.tmFahrenheit, &t.tsCelsius, &t.tsFahrenheit};
    for (std::size_t i = 0; i < texts.size(); ++i)
        SetTextIfChanged(*temperatures_[i], FromWindows1252(*texts[i]));
    correction_->setChecked(t.correctionEnabled);
    (t.copper ? copper_ : aluminum_)->setChecked(true);
}

RunTestValues RunTestDialog::ReadValues()
{
    RunTestValues values;
    values.header = header_->Read();
    TemperatureEntry& t = values.temperatures;
    std::array<std::string*, 4> texts = {&t.tmCelsius, &t.tmFahrenheit, &t.tsCelsius, &t.tsFahrenheit};
    for (std::size_t i = 0; i < texts.size(); ++i)
        *texts[i] = ToWindows1252(temperatures_[i]->text());
    t.correctionEnabled = correction_->isChecked();
    t.copper = !aluminum_->isChecked();
    return values;
}

void RunTestDialog::ShowReadings(const StaticReadings& readings, bool withR3, int scrollTo)
{
    readings_->setColumnHidden(7, !withR3);
    readings_->setColumnHidden(8, !withR3);
    const auto& rows = readings.Rows();
    readings_->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const ReadingRow& row = rows[r];
        const std::array<const std::string*, 9> cells = {&row.test, &row.type, &row.time, &row.r1, &row.r1s,
                                                         &row.r2,   &row.r2s,  &row.r3,   &row.r3s};
        for (std::size_t c = 0; c < cells.size(); ++c) {
            const QString text = FromWindows1252(*cells[c]);
            QTableWidgetItem* item = readings_->item(static_cast<int>(r), static_cast<int>(c));
            if (!item) {
                item = new QTableWidgetItem;
                if (c == 0)
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                readings_->setItem(static_cast<int>(r), static_cast<int>(c), item);
            }
            if (item->text() != text)
                item->setText(text);
        }
    }
    if (scrollTo >= 0 && scrollTo < readings_->rowCount()) {
        readings_->selectRow(scrollTo);
        readings_->scrollToItem(readings_->item(scrollTo, 0));
    }
}

int RunTestDialog::SelectedReading()
{
    const QList<QTableWidgetItem*> selected = readings_->selectedItems();
    return selected.isEmpty() ? -1 : selected.front()->row();
}

void RunTestDialog::ShowStatus(const std::string& text)
{
    const QString shown = StatusTextForScreen(text);
    if (status_->text() != shown)
        status_->setText(shown);
}

void RunTestDialog::ShowResistances(const RunTestResistances& resistances)
{
    for (std::size_t i = 0; i < 3; ++i) {
        SetTextIfChanged(*resistance_[i], FromWindows1252(resistances.texts[i]));
        const QString settling = FromWindows1252(resistances.settling[i]);
        if (settling_[i]->text() != settling) {
            settling_[i]->setText(settling);
            const bool stable = settling.endsWith(QStringLiteral("stable"));
            settling_[i]->setStyleSheet(stable ? QStringLiteral("color: rgb(0, 120, 0); font-weight: bold;")
                                               : QString());
        }
    }
}

void RunTestDialog::ShowElapsed(const std::string& text)
{
    const QString shown = FromWindows1252(text);
    if (elapsed_->text() != shown)
        elapsed_->setText(shown);
}

void RunTestDialog::ShowButtons(const RunTestButtons& buttons)
{
    Button(QStringLiteral("Start Test"))->setEnabled(buttons.startTest);
    Button(QStringLiteral("Accept Test"))->setEnabled(buttons.acceptTest);
    Button(QStringLiteral("Repeat Test"))->setEnabled(buttons.repeatTest);
    Button(QStringLiteral("Stop Test"))->setEnabled(buttons.stopTest);
    Button(QStringLiteral("Save Test"))->setEnabled(buttons.saveTest);
    // The controller has sent the release of a relay that goes grey; the
    // button only has to stop looking held.
    if (!buttons.raise && heldRelay_) {
        heldRelay_.reset();
        raise_->setDown(false);
        lower_->setDown(false);
    }
    raise_->setEnabled(buttons.raise);
    lower_->setEnabled(buttons.lower);
    raise_->setVisible(buttons.relaysVisible);
    lower_->setVisible(buttons.relaysVisible);
    for (QWidget* control : temperatureControls_)
        control->setEnabled(buttons.temperatureControls);
    elapsed_->setVisible(buttons.elapsedVisible);
}

void RunTestDialog::SetTimer(int id, int milliseconds)
{
    QTimer*& timer = timers_[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { controller_->OnTimer(id); });
    }
    timer->start(milliseconds);
}

void RunTestDialog::KillTimer(int id)
{
    auto it = timers_.find(id);
    if (it != timers_.end() && it->second)
        it->second->stop();
}

void RunTestDialog::EndDialog()
{
    for (auto& [id, timer] : timers_)
        if (timer)
            timer->stop();
    done(QDialog::Rejected);
}

}  // namespace tkan
