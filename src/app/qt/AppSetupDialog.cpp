#include "app/qt/AppSetupDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/FileFilter.h"
#include "platform/Prompter.h"
#include "platform/qt/QtText.h"
#include "testlist/RovaOpenFileDlg.h"

namespace tkan {

namespace {

constexpr std::array<const char*, 3> kPageColourLabels{"Foreground:", "Background:", "Graph Background:"};

QString Text(const char* text)
{
    return FromWindows1252(text);
}

QPushButton* SelectButtonFor(const QString& what, QWidget* parent)
{
    auto* button = new QPushButton(QStringLiteral("Select"), parent);
    // Every "Select" looks the same; the accessible description says which.
    button->setAccessibleName(button->text());
    button->setAccessibleDescription(what);
    button->setAutoDefault(false);
    return button;
}

QLineEdit* ReadOnlyText(const QString& name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    edit->setAccessibleName(name);
    return edit;
}

QCheckBox* Check(const QString& text, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    box->setAccessibleName(text);
    return box;
}

}  // namespace

AppSetupDialog::AppSetupDialog(CAppSetup& setup, Prompter& prompter, QWidget* parent)
    : QDialog(parent), setup_(setup), prompter_(prompter)
{
    setWindowTitle(Text(kAppSetupTitle));
    setObjectName(QStringLiteral("appSetupDialog"));
    const CAppInfo& v = setup_.values;

    pickColour = [this](CanvasColour start) -> std::optional<CanvasColour> {
        QColor chosen = QColorDialog::getColor(QColor(RedOf(start), GreenOf(start), BlueOf(start)), this);
        if (!chosen.isValid())
            return std::nullopt;
        return CanvasRgb(chosen.red(), chosen.green(), chosen.blue());
    };
    chooseLogo = [this](const std::string& start) -> std::optional<std::string> {
        QStringList filters;
        for (const std::string& filter : QtNameFilters(kLogoFilter))
            filters << FromWindows1252(filter);
        QString file =
            QFileDialog::getOpenFileName(this, QString(), FromPath(start), filters.join(QStringLiteral(";;")));
        if (file.isEmpty())
            return std::nullopt;
        return ToPath(file);
    };

    // Left: print, link, date, folders and exports. Right: the colours.
    auto* orientation = new QGroupBox(QStringLiteral("Default Print Orientation"), this);
    landscape_ = new QRadioButton(QStringLiteral("Landscape"), orientation);
    portrait_ = new QRadioButton(QStringLiteral("Portrait"), orientation);
    landscape_->setAccessibleName(landscape_->text());
    portrait_->setAccessibleName(portrait_->text());
    (v.Orientation == 0 ? landscape_ : portrait_)->setChecked(true);
    auto* orientationRow = new QHBoxLayout(orientation);
    orientationRow->addWidget(landscape_);
    orientationRow->addWidget(portrait_);
    orientationRow->addStretch();

    auto* comms = new QGroupBox(QStringLiteral("Communications"), this);
    usb_ = Check(QStringLiteral("Use USB port"), comms);
    usb_->setChecked(v.USBEnable != 0);
    auto* comLabel = new QLabel(QStringLiteral("COM Port:"), comms);
    comPort_ = new QComboBox(comms);
    comPort_->setAccessibleName(comLabel->text());
    comLabel->setBuddy(comPort_);
    for (const ComPortEntry& entry : setup_.ComPortEntries())
        comPort_->addItem(FromPath(entry.text));
    comPort_->setCurrentIndex(setup_.ComPortIndex());
    comPort_->setMaxVisibleItems(16);
    auto* commsGrid = new QGridLayout(comms);
    commsGrid->addWidget(usb_, 0, 0, 1, 2);
    commsGrid->addWidget(comLabel, 1, 0);
    commsGrid->addWidget(comPort_, 1, 1);
    commsGrid->setColumnStretch(1, 1);
    connect(comPort_, &QComboBox::currentIndexChanged, this, [this](int index) { setup_.ChooseComPort(index); });

    auto* localization = new QGroupBox(QStringLiteral("Localization"), this);
    auto* dateLabel = new QLabel(QStringLiteral("Date Format:"), localization);
    dateFormat_ = new QComboBox(localization);
    dateFormat_->setAccessibleName(dateLabel->text());
    dateLabel->setBuddy(dateFormat_);
    for (const char* format : kDateFormats)
        dateFormat_->addItem(Text(format));
    dateFormat_->setCurrentIndex(v.DateFormat == 1 ? 1 : 0);
    auto* dateRow = new QHBoxLayout(localization);
    dateRow->addWidget(dateLabel);
    dateRow->addWidget(dateFormat_, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(orientation);
    left->addWidget(comms);
    left->addWidget(localization);
    left->addWidget(BuildFolders());
    left->addStretch();

    auto* right = new QVBoxLayout;
    right->addWidget(BuildColours(), 1);
    right->addWidget(BuildTransitions());

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right);

    auto* buttons = new QDialogButtonBox(this);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    ok_->setAccessibleName(ok_->text());
    cancel->setAccessibleName(cancel->text());
    ok_->setDefault(true);
    buttons->addButton(ok_, QDialogButtonBox::AcceptRole);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    connect(ok_, &QPushButton::clicked, this, &AppSetupDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &AppSetupDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);

    ShowGraph();
}

QWidget* AppSetupDialog::BuildColours()
{
    auto* box = new QGroupBox(QStringLiteral("Graph and Overlay Settings"), this);
    auto* grid = new QGridLayout(box);
    auto addRow = [&](int row, QWidget* label, int gridRow) {
        auto* swatch = new QLabel(box);
        swatch->setFixedSize(48, 20);
        swatch->setFrameStyle(QFrame::Box | QFrame::Plain);
        swatch->setAutoFillBackground(true);
        QString what =
            label->accessibleName().isEmpty() ? qobject_cast<QLabel*>(label)->text() : label->accessibleName();
        swatch->setAccessibleName(what);
        QPushButton* select = SelectButtonFor(what, box);
        grid->addWidget(label, gridRow, 0);
        grid->addWidget(swatch, gridRow, 1);
        grid->addWidget(select, gridRow, 2);
        swatches_[static_cast<std::size_t>(row)] = swatch;
        selects_[static_cast<std::size_t>(row)] = select;
        connect(select, &QPushButton::clicked, this, [this, row] { PickColour(row); });
    };
    int gridRow = 0;
    for (std::size_t i = 0; i < kPageColourLabels.size(); ++i)
        addRow(static_cast<int>(i), new QLabel(Text(kPageColourLabels[i]), box), gridRow++);

    auto* graphLabel = new QLabel(QStringLiteral("Graph Color:"), box);
    graph_ = new QComboBox(box);
    graph_->setAccessibleName(graphLabel->text());
    graphLabel->setBuddy(graph_);
    for (const char* choice : kGraphChoices)
        graph_->addItem(Text(choice));
    grid->addWidget(graphLabel, gridRow, 0);
    grid->addWidget(graph_, gridRow++, 1, 1, 2);
    connect(graph_, &QComboBox::currentIndexChanged, this, [this](int index) {
        // The ticks shown belong to the record chosen before.
        for (int r = 0; r < kTraceRowCount; ++r)
            setup_.SetShown(static_cast<TraceRow>(r), checks_[static_cast<std::size_t>(r)]->isChecked());
        setup_.ChooseGraph(index);
        ShowGraph();
    });

    for (int r = 0; r < kTraceRowCount; ++r) {
        QCheckBox* check = Check(Text(TraceRowLabel(static_cast<TraceRow>(r))), box);
        checks_[static_cast<std::size_t>(r)] = check;
        addRow(3 + r, check, gridRow++);
    }
    grid->setRowStretch(gridRow, 1);
    return box;
}

QWidget* AppSetupDialog::BuildFolders()
{
    auto* holder = new QWidget(this);
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(0, 0, 0, 0);
    const CAppInfo& v = setup_.values;

    // A read-only path with its "Select" beside it.
    auto pathRow = [this](QLayout* into, QLineEdit*& edit, const QString& name, const std::string& value) {
        edit = ReadOnlyText(name, this);
        edit->setText(FromPath(value));
        QPushButton* select = SelectButtonFor(name, this);
        auto* row = new QHBoxLayout;
        row->addWidget(edit, 1);
        row->addWidget(select);
        if (auto* box = qobject_cast<QBoxLayout*>(into))
            box->addLayout(row);
        return select;
    };
    auto chooseFolder = [this](std::string& value, QLineEdit* edit) {
        std::string start = value.empty() ? std::string(".") : value;
        if (std::optional<std::string> chosen = prompter_.ChooseFolder(kSelectPathTitle, start)) {
            value = *chosen;
            edit->setText(FromPath(value));
        }
    };

    auto* files = new QGroupBox(QStringLiteral("File Path"), this);
    auto* filesLayout = new QVBoxLayout(files);
    QPushButton* selectPath = pathRow(filesLayout, filePath_, files->title(), v.FilePath);
    connect(selectPath, &QPushButton::clicked, this,
            [this, chooseFolder] { chooseFolder(setup_.values.FilePath, filePath_); });

    auto* logo = new QGroupBox(QStringLiteral("Application Logo"), this);
    auto* logoLayout = new QVBoxLayout(logo);
    QPushButton* selectLogo = pathRow(logoLayout, logo_, logo->title(), v.LogoFile);
    connect(selectLogo, &QPushButton::clicked, this, [this] {
        if (!chooseLogo)
            return;
        if (std::optional<std::string> chosen = chooseLogo(setup_.values.LogoFile)) {
            setup_.values.LogoFile = *chosen;
            logo_->setText(FromPath(*chosen));
        }
    });

    auto* autoBox = new QGroupBox(QStringLiteral("Auto Export Settings"), this);
    auto* autoLayout = new QVBoxLayout(autoBox);
    autoExport_ = Check(QStringLiteral("Enable Auto Export to Excel"), autoBox);
    autoExport_->setChecked(v.AutoExport != 0);
    autoLayout->addWidget(autoExport_);
    QPushButton* selectAuto = pathRow(autoLayout, autoExportDir_, autoBox->title(), v.AutoExportDir);
    connect(selectAuto, &QPushButton::clicked, this,
            [this, chooseFolder] { chooseFolder(setup_.values.AutoExportDir, autoExportDir_); });

    // The report exporter's switches, which otherwise only a settings file
    // edited by hand could change.
    auto* reports = new QGroupBox(QStringLiteral("Report Export After a Test Is Saved"), this);
    auto* reportsLayout = new QVBoxLayout(reports);
    auto* kinds = new QHBoxLayout;
    exportXml_ = Check(QStringLiteral("XML report"), reports);
    exportExcel_ = Check(QStringLiteral("Spreadsheet"), reports);
    exportPdf_ = Check(QStringLiteral("PDF report"), reports);
    exportXml_->setChecked(v.AutoExportXml != 0);
    exportExcel_->setChecked(v.AutoExportExcel != 0);
    exportPdf_->setChecked(v.AutoExportPdf != 0);
    kinds->addWidget(exportXml_);
    kinds->addWidget(exportExcel_);
    kinds->addWidget(exportPdf_);
    kinds->addStretch();
    reportsLayout->addLayout(kinds);
    QPushButton* selectReports = pathRow(reportsLayout, exportFolder_, reports->title(), v.AutoExportFolder);
    connect(selectReports, &QPushButton::clicked, this,
            [this, chooseFolder] { chooseFolder(setup_.values.AutoExportFolder, exportFolder_); });

    for (QWidget* box : {static_cast<QWidget*>(files), static_cast<QWidget*>(logo), static_cast<QWidget*>(autoBox),
                         static_cast<QWidget*>(reports)})
        column->addWidget(box);
    return holder;
}

QWidget* AppSetupDialog::BuildTransitions()
{
    auto* box = new QGroupBox(QStringLiteral("Transitions"), this);
    auto* grid = new QGridLayout(box);
    for (std::size_t i = 0; i < kTransitionFields.size(); ++i) {
        const TransitionField& field = kTransitionFields[i];
        auto* label = new QLabel(Text(field.label), box);
        auto* edit = new QLineEdit(FromWindows1252(setup_.values.*field.text), box);
        edit->setAccessibleName(label->text());
        if (!field.threshold)
            edit->setPlaceholderText(QStringLiteral("no limit"));
        label->setBuddy(edit);
        grid->addWidget(label, static_cast<int>(i), 0);
        grid->addWidget(edit, static_cast<int>(i), 1);
        transitionEdits_[i] = edit;
    }
    return box;
}

CanvasColour AppSetupDialog::ColourAt(int row) const
{
    const CAppInfo& v = setup_.values;
    switch (row) {
    case 0: return v.crForeGround;
    case 1: return v.crBackground;
    case 2: return v.crGraphBG;
    default: return setup_.RowColour(static_cast<TraceRow>(row - 3));
    }
}

void AppSetupDialog::SetColourAt(int row, CanvasColour colour)
{
    CAppInfo& v = setup_.values;
    switch (row) {
    case 0: v.crForeGround = colour; break;
    case 1: v.crBackground = colour; break;
    case 2: v.crGraphBG = colour; break;
    default: setup_.SetRowColour(static_cast<TraceRow>(row - 3), colour); break;
    }
}

void AppSetupDialog::PickColour(int row)
{
    if (!pickColour)
        return;
    if (std::optional<CanvasColour> chosen = pickColour(ColourAt(row))) {
        SetColourAt(row, *chosen);
        PaintSwatches();
    }
}

void AppSetupDialog::PaintSwatches()
{
    for (int row = 0; row < kColourRows; ++row) {
        CanvasColour colour = ColourAt(row);
        QLabel* swatch = swatches_[static_cast<std::size_t>(row)];
        QPalette palette = swatch->palette();
        palette.setColor(QPalette::Window, QColor(RedOf(colour), GreenOf(colour), BlueOf(colour)));
        swatch->setPalette(palette);
    }
}

void AppSetupDialog::ShowGraph()
{
    for (int r = 0; r < kTraceRowCount; ++r)
        checks_[static_cast<std::size_t>(r)]->setChecked(setup_.Shown(static_cast<TraceRow>(r)));
    PaintSwatches();
}

void AppSetupDialog::accept()
{
    CAppInfo& v = setup_.values;
    for (std::size_t i = 0; i < kTransitionFields.size(); ++i)
        v.*kTransitionFields[i].text = ToWindows1252(transitionEdits_[i]->text().trimmed());
    // A number the analysis cannot use is put right here, not found out
    // when a test is judged by it.
    const FieldProblem problem = CheckTransitionFields(v);
    if (problem.field >= 0) {
        prompter_.Message(MessageStyle::Warning, problem.message);
        QLineEdit* edit = TransitionEdit(problem.field);
        edit->setFocus();
        edit->selectAll();
        return;
    }
    v.Orientation = portrait_->isChecked() ? 1 : 0;
    v.USBEnable = usb_->isChecked() ? 1 : 0;
    v.DateFormat = dateFormat_->currentIndex() == 1 ? 1 : 0;
    v.AutoExport = autoExport_->isChecked() ? 1 : 0;
    v.AutoExportXml = exportXml_->isChecked() ? 1 : 0;
    v.AutoExportExcel = exportExcel_->isChecked() ? 1 : 0;
    v.AutoExportPdf = exportPdf_->isChecked() ? 1 : 0;
    for (int r = 0; r < kTraceRowCount; ++r)
        setup_.SetShown(static_cast<TraceRow>(r), checks_[static_cast<std::size_t>(r)]->isChecked());
    setup_.Finish();
    QDialog::accept();
}

}  // namespace tkan
