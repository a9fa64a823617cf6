#include "display/qt/UlkView.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStringList>
#include <QTableWidget>

#include <algorithm>

#include "display/ViewDocument.h"
#include "platform/qt/QtCanvas.h"
#include "platform/qt/QtImage.h"
#include "platform/qt/QtText.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

QColor ColourOf(CanvasColour colour)
{
    return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

Rect ClientRect(const QWidget& widget)
{
    return {0, 0, widget.width(), widget.height()};
}

QRect ToQRect(const Rect& rect)
{
    return QRect(rect.left, rect.top, rect.width(), rect.height());
}

const char* const kEditNames[kHeaderEditCount] = {"companyEdit", "stationEdit", "circuitEdit", "operatorEdit",
                                                  "mfrEdit",     "modelEdit",   "serialEdit",  "refTempEdit"};

}  // namespace

CUlkView::CUlkView(ViewDocument& doc, const CAppInfo& settings, QWidget* parent)
    : QWidget(parent), doc_(doc), settings_(settings)
{
    setObjectName(QStringLiteral("ulkView"));
    // Clicking the page takes the focus from the edits, so that Page Down
    // and End reach the view.
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);

    grid_ = new QTableWidget(this);
    grid_->setObjectName(QStringLiteral("resultsGrid"));
    // The cells hold blank-padded texts; a fixed pitch keeps the digits of
    // one column under each other.
    grid_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->setSortingEnabled(false);
    grid_->hide();
    ReloadLogo();
}

void CUlkView::ReloadLogo()
{
    logo_ = LoadImageFile(settings_.LogoFile);
}

void CUlkView::OnInitialUpdate()
{
    ForgetOperatorTyping();
    SetupGrid();
    OnUpdate();
}

void CUlkView::OnUpdate()
{
    // Children are placed now rather than at the next paint, so that
    // whatever is drawn next already finds them where they belong.
    QImage probe(1, 1, QImage::Format_RGB32);
    QPainter painter(&probe);
    QtCanvas canvas(painter);
    Rect client = ClientRect(*this);
    TextMetrics metrics = canvas.SelectFont(kHeaderFontFace, kFontNormal, HeaderFontHeight(client));
    ApplyLayout(LayoutScreenPage(metrics, client, doc_.Main(), doc_.TestLoaded(), doc_.GraphShown()));
    update();
}

void CUlkView::paintEvent(QPaintEvent*)
{
    std::lock_guard lock(displayLock_);
    QPainter painter(this);
    painter.fillRect(rect(), ColourOf(settings_.crBackground));
    std::array<const TestRecord*, 2> overlays = doc_.ShownOverlays();
    {
        QtCanvas canvas(painter);
        ScreenPageLayout layout = DrawScreenPage(canvas, ClientRect(*this), settings_, doc_.Main(), overlays,
                                                 doc_.TestLoaded(), doc_.GraphShown(), renderer_);
        ApplyLayout(layout);
        if (drawOverPage && layout.testLoaded)
            drawOverPage(canvas);
    }
    // The canvas ends with this paint; the renderer must not keep it.
    renderer_.Bind(nullptr, settings_, doc_.Main(), overlays, false);
    emit painted();
}

void CUlkView::resizeEvent(QResizeEvent*)
{
    OnUpdate();
}

QLineEdit* CUlkView::EnsureEdit(std::size_t index)
{
    if (edits_[index])
        return edits_[index];
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(kEditNames[index]));
    edit->setMaxLength(kHeaderEditMaxLength);
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::returnPressed, this, [this] { CommitAndRecompute(); });
    edits_[index] = edit;
    return edit;
}

void CUlkView::ApplyLayout(const ScreenPageLayout& layout)
{
    layout_ = layout;
    QFont editFont(QtCanvas::FamilyFor(kHeaderFontFace));
    editFont.setPixelSize(std::max(6, HeaderFontHeight(layout.client) * 17 / 20));

    for (std::size_t i = 0; i < edits_.size(); ++i) {
        const EditPlacement& placement = layout.edits[i];
        if (!layout.testLoaded || !placement.placed) {
            if (edits_[i]) {
                edits_[i]->hide();
                edits_[i]->setEnabled(false);
            }
            continue;
        }
        QLineEdit* edit = EnsureEdit(i);
        if (edit->font() != editFont)
            edit->setFont(editFont);
        QRect where = ToQRect(placement.rect);
        if (edit->geometry() != where)
            edit->setGeometry(where);
        // What the operator is typing stays until it is committed; anything
        // else shows the record.
        if (!edit->isModified()) {
            QString text = FromWindows1252(placement.text);
            if (edit->text() != text)
                edit->setText(text);
            shown_[i] = placement.text;
        }
        edit->setEnabled(true);
        if (edit->isHidden())
            edit->show();
    }

    if (layout.testLoaded && layout.gridShown) {
        QRect where = ToQRect(layout.gridRect);
        if (grid_->geometry() != where)
            grid_->setGeometry(where);
        if (grid_->isHidden())
            grid_->show();
    } else if (!grid_->isHidden()) {
        grid_->hide();
    }
}

void CUlkView::SetupGrid()
{
    std::lock_guard lock(displayLock_);
    const TestRecord& main = doc_.Main();
    ResetForNewTest(renderer_, main, doc_.ShownOverlays(), doc_.TestLoaded());
    if (!doc_.TestLoaded() || main.IsDynamic()) {
        grid_->hide();
        notesColumn_ = -1;
        return;
    }
    FillGrid(BuildResultsGrid(main));
    FitColumns();
}

void CUlkView::FillGrid(const ResultsGridContents& contents)
{
    grid_->blockSignals(true);
    grid_->clear();
    grid_->setColumnCount(contents.columnCount);
    grid_->setRowCount(static_cast<int>(contents.cells.size()));
    QStringList headings;
    for (const std::string& h : contents.headings)
        headings << FromWindows1252(h);
    grid_->setHorizontalHeaderLabels(headings);
    QStringList rows;
    for (const std::string& r : contents.rowHeadings)
        rows << FromWindows1252(r);
    grid_->setVerticalHeaderLabels(rows);
    for (std::size_t r = 0; r < contents.cells.size(); ++r) {
        const auto& row = contents.cells[r];
        for (std::size_t c = 0; c < row.size(); ++c) {
            auto* item = new QTableWidgetItem(FromWindows1252(row[c]));
            Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
            if (!contents.ReadOnly(static_cast<int>(c)))
                flags |= Qt::ItemIsEditable;
            item->setFlags(flags);
            grid_->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    }
    notesColumn_ = contents.notesColumn;
    grid_->blockSignals(false);
}

void CUlkView::FitColumns()
{
    grid_->resizeColumnsToContents();
    int extra = 2 * grid_->fontMetrics().averageCharWidth();
    for (int c = 0; c + 1 < grid_->columnCount(); ++c)
        grid_->setColumnWidth(c, grid_->columnWidth(c) + extra);
}

std::array<HeaderEditValue, kHeaderEditCount> CUlkView::EditValues() const
{
    std::array<HeaderEditValue, kHeaderEditCount> values{};
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        if (!edits_[i])
            continue;
        values[i].exists = true;
        values[i].shown = shown_[i];
        values[i].current = ToWindows1252(edits_[i]->text());
    }
    return values;
}

std::vector<std::string> CUlkView::GridNotes() const
{
    std::vector<std::string> notes;
    if (notesColumn_ < 0)
        return notes;
    for (int r = 0; r < grid_->rowCount(); ++r) {
        const QTableWidgetItem* item = grid_->item(r, notesColumn_);
        notes.push_back(item ? ToWindows1252(item->text()) : std::string());
    }
    return notes;
}

void CUlkView::ForgetOperatorTyping()
{
    for (QLineEdit* edit : edits_)
        if (edit)
            edit->setModified(false);
}

void CUlkView::CommitEdits()
{
    if (!doc_.TestLoaded())
        return;
    // An edit still open in the grid holds its text in the editor, not yet
    // in the cell; moving the current cell away commits and closes it.
    grid_->setCurrentItem(nullptr);
    TestRecord& main = doc_.Main();
    std::vector<std::string> notes = GridNotes();
    tkan::CommitEdits(main, EditValues(), main.IsDynamic() ? nullptr : &notes);
    ForgetOperatorTyping();
}

void CUlkView::CommitAndRecompute()
{
    if (!doc_.TestLoaded())
        return;
    TestRecord& main = doc_.Main();
    std::vector<std::string> notes = GridNotes();
    ResultsGridContents contents = CommitHeaderEnter(main, EditValues(), main.IsDynamic() ? nullptr : &notes);
    ForgetOperatorTyping();
    if (!main.IsDynamic())
        FillGrid(contents);
    update();
}

void CUlkView::MoveFocus(QLineEdit* from, bool backwards)
{
    std::vector<QLineEdit*> order;
    for (QLineEdit* edit : edits_)
        if (edit && edit->isVisible() && edit->isEnabled())
            order.push_back(edit);
    auto at = std::find(order.begin(), order.end(), from);
    if (order.empty() || at == order.end())
        return;
    std::size_t index = static_cast<std::size_t>(at - order.begin());
    std::size_t next = backwards ? (index + order.size() - 1) % order.size() : (index + 1) % order.size();
    order[next]->setFocus(Qt::TabFocusReason);
    order[next]->selectAll();
}

bool CUlkView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* edit = qobject_cast<QLineEdit*>(watched);
        auto* key = static_cast<QKeyEvent*>(event);
        bool tab = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
        bool backTab =
            key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
        if (edit && (tab || backTab)) {
            MoveFocus(edit, backTab);
            CommitAndRecompute();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CUlkView::keyReleaseEvent(QKeyEvent* event)
{
    // Keys an edit or the grid did not want come up here too; only the
    // page's own keys switch the presentation.
    bool pageKey = event->key() == Qt::Key_PageDown || event->key() == Qt::Key_End;
    if (pageKey && hasFocus() && doc_.TestLoaded() && !doc_.GraphShown()) {
        doc_.ToggleGraph();
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

}  // namespace tkan
