#include "display/qt/UlkView.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStringList>
#include <QTableWidget>
#include <QWheelEvent>

#include <algorithm>
#include <optional>

#include "display/TransitionMarks.h"
#include "display/ViewDocument.h"
#include "display/qt/DataPointsDialog.h"
#include "display/qt/GraphHelpDialog.h"
#include "display/qt/KeptPage.h"
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

MouseState MouseOf(const QMouseEvent& event)
{
    return {(event.buttons() & Qt::LeftButton) != 0, (event.buttons() & Qt::RightButton) != 0,
            (event.modifiers() & Qt::ShiftModifier) != 0};
}

QRegion RegionOf(const std::vector<Rect>& parts)
{
    QRegion region;
    for (const Rect& part : parts)
        if (!part.empty())
            region += QRect(part.left, part.top, part.width(), part.height());
    return region;
}

const char* const kEditNames[kHeaderEditCount] = {"companyEdit", "stationEdit", "circuitEdit", "operatorEdit",
                                                  "mfrEdit",     "modelEdit",   "serialEdit",  "refTempEdit"};

}  // namespace

CUlkView::CUlkView(ViewDocument& doc, const CAppInfo& settings, Prompter& prompter, QWidget* parent)
    : QWidget(parent), doc_(doc), settings_(settings), prompter_(prompter),
      graph_(renderer_, doc, settings, prompter, displayLock_)
{
    setObjectName(QStringLiteral("ulkView"));
    // The cursor follows the mouse without a button held.
    setMouseTracking(true);
    graph_.repaint = [this](bool page) {
        if (page)
            RedrawPage();
        else
            RepaintMarks();
    };
    graph_.showHelp = [this] {
        dlgHelp help(this);
        help.exec();
    };
    graph_.showDataPoints = [this] { ShowDataPoints(); };
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

    motorRunLabel_ = new QLabel(this);
    motorRunLabel_->setObjectName(QStringLiteral("motorRunLabel"));
    motorRunLabel_->hide();
    transitionsTable_ = new QTableWidget(this);
    transitionsTable_->setObjectName(QStringLiteral("transitionsTable"));
    transitionsTable_->setAccessibleName(QStringLiteral("Transitions"));
    transitionsTable_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    transitionsTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    transitionsTable_->setSelectionMode(QAbstractItemView::SingleSelection);
    transitionsTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    transitionsTable_->verticalHeader()->hide();
    transitionsTable_->horizontalHeader()->setStretchLastSection(true);
    transitionsTable_->hide();
    connect(transitionsTable_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { ZoomToTransitionRow(row); });
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
    marksPainted_ = QRegion();
    OnUpdate();
}

void CUlkView::OnUpdate()
{
    // Application Setup may have changed the threshold or the limits.
    RefreshTransitions(false);
    // Children are placed now rather than at the next paint, so that
    // whatever is drawn next already finds them where they belong.
    QImage probe(1, 1, QImage::Format_RGB32);
    QPainter painter(&probe);
    QtCanvas canvas(painter);
    Rect client = ClientRect(*this);
    TextMetrics metrics = canvas.SelectFont(kHeaderFontFace, kFontNormal, HeaderFontHeight(client));
    ApplyLayout(LayoutScreenPage(metrics, client, doc_.Main(), doc_.TestLoaded(), doc_.GraphShown()));
    RedrawPage();
}

void CUlkView::RedrawPage()
{
    pageStale_ = true;
    update();
}

void CUlkView::RepaintMarks()
{
    const QRegion now = RegionOf(graph_.OverlayParts());
    update(marksPainted_ + now);
    marksPainted_ = now;
}

void CUlkView::DrawPageImage()
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (page_.size() != pixels) {
        page_ = QImage(pixels, QImage::Format_RGB32);
        page_.setDevicePixelRatio(ratio);
    }
    page_.fill(ColourOf(settings_.crBackground));
    std::array<const TestRecord*, 2> overlays = doc_.ShownOverlays();
    {
        QPainter painter(&page_);
        QtCanvas canvas(painter);
        ScreenPageLayout layout = DrawScreenPage(canvas, ClientRect(*this), settings_, doc_.Main(), overlays,
                                                 doc_.TestLoaded(), doc_.GraphShown(), renderer_);
        ApplyLayout(layout);
    }
    // The canvas ends here; the renderer must not keep it.
    renderer_.Bind(nullptr, settings_, doc_.Main(), overlays, false);
    pageStale_ = false;
}

void CUlkView::paintEvent(QPaintEvent* event)
{
    std::lock_guard lock(displayLock_);
    const qreal ratio = devicePixelRatioF();
    if (pageStale_ || page_.size() != (QSizeF(size()) * ratio).toSize())
        DrawPageImage();
    QPainter painter(this);
    const bool marks = layout_.testLoaded && layout_.graphShown;
    graph_.SetPage(ClientRect(*this));
    PaintKeptPage(painter, page_, event->region(), marks ? &graph_ : nullptr);
    marksPainted_ = marks ? RegionOf(graph_.OverlayParts()) : QRegion();
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
    // The label beside it is drawn on the page, not a widget a screen
    // reader could find, so the edit carries its text itself.
    edit->setAccessibleName(FromWindows1252(HeaderEditLabel(static_cast<HeaderField>(index))));
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

    if (layout.testLoaded && layout.transitionsShown) {
        const int labelHeight = motorRunLabel_->sizeHint().height();
        const Rect& area = layout.gridRect;
        motorRunLabel_->setGeometry(area.left, area.top, area.width(), labelHeight);
        transitionsTable_->setGeometry(area.left, area.top + labelHeight + labelHeight / 2, area.width(),
                                       std::max(0, area.height() - labelHeight - labelHeight / 2));
        motorRunLabel_->show();
        transitionsTable_->show();
    } else {
        motorRunLabel_->hide();
        transitionsTable_->hide();
    }
}

void CUlkView::SetupGrid()
{
    std::lock_guard lock(displayLock_);
    const TestRecord& main = doc_.Main();
    ResetForNewTest(renderer_, main, doc_.ShownOverlays(), doc_.TestLoaded());
    RefreshTransitions(true);
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

void CUlkView::RefreshTransitions(bool testChanged)
{
    std::lock_guard lock(displayLock_);
    const TransitionSettings settings = TransitionSettingsFrom(settings_);
    if (!testChanged && analysedWith_ == settings)
        return;
    analysedWith_ = settings;
    const bool dynamic = doc_.TestLoaded() && doc_.Main().IsDynamic();
    transitions_ = dynamic ? AnalyseTransitions(doc_.Main(), settings) : TransitionReport{};
    std::array<const TransitionReport*, kMaxOverlays> shown{};
    const std::array<const TestRecord*, 2> overlays = doc_.ShownOverlays();
    for (std::size_t i = 0; i < overlayTransitions_.size(); ++i) {
        const TestRecord* overlay = overlays[i];
        overlayTransitions_[i] = dynamic && overlay ? AnalyseTransitions(*overlay, settings) : TransitionReport{};
        if (dynamic && overlay && overlay->IsDynamic())
            shown[i] = &overlayTransitions_[i];
    }
    renderer_.transitionMarks = dynamic ? &transitions_ : nullptr;
    table_ = BuildTransitionTable(transitions_, shown);
    FillTransitionsTable();
    pageStale_ = true;
}

void CUlkView::FillTransitionsTable()
{
    motorRunLabel_->setText(FromWindows1252(table_.motorRun));
    QTableWidget& table = *transitionsTable_;
    table.clear();
    table.setColumnCount(static_cast<int>(table_.headings.size()));
    table.setRowCount(static_cast<int>(table_.rows.size()));
    QStringList headings;
    for (const std::string& h : table_.headings)
        headings << FromWindows1252(h);
    table.setHorizontalHeaderLabels(headings);
    const QColor failColour = ColourOf(kTransitionFailColour);
    for (std::size_t r = 0; r < table_.rows.size(); ++r) {
        const TransitionTableRow& row = table_.rows[r];
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            auto* item = new QTableWidgetItem(FromWindows1252(row.cells[c]));
            item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            // Numbers line up on their decimal point; the words on the left.
            const bool figure = c < table_.figures.size() && table_.figures[c];
            item->setTextAlignment(Qt::AlignVCenter | (figure ? Qt::AlignRight : Qt::AlignLeft));
            if (row.flagged)
                item->setForeground(failColour);
            table.setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    }
    table.resizeColumnsToContents();
    const int extra = 2 * table.fontMetrics().averageCharWidth();
    for (int c = 0; c + 1 < table.columnCount(); ++c)
        table.setColumnWidth(c, table.columnWidth(c) + extra);
}

void CUlkView::ZoomToTransitionRow(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= table_.rows.size())
        return;
    constexpr double kMarginS = 0.05;
    const TransitionTableRow& shown = table_.rows[static_cast<std::size_t>(row)];
    {
        std::lock_guard lock(displayLock_);
        renderer_.timeStart = std::max(0.0, shown.startS - kMarginS);
        renderer_.timeEnd = shown.endS + kMarginS;
    }
    if (!doc_.GraphShown())
        doc_.ToggleGraph();
    RedrawPage();
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
    RedrawPage();
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

void CUlkView::ShowDataPoints()
{
    dlgDataPoints points(doc_.Main(), prompter_, this);
    points.exec();
}

void CUlkView::keyReleaseEvent(QKeyEvent* event)
{
    // Keys an edit or the grid did not want come up here too. The function
    // keys work wherever the focus is; the page and arrow keys only when
    // the page itself has it, as the edits and the grid use them.
    struct KeyOfGraph {
        int qtKey;
        GraphKey key;
        bool pageOnly;
    };
    static constexpr KeyOfGraph kKeys[] = {
        {Qt::Key_F1, GraphKey::F1, false},
        {Qt::Key_F5, GraphKey::F5, false},
        {Qt::Key_F6, GraphKey::F6, false},
        {Qt::Key_F7, GraphKey::F7, false},
        {Qt::Key_F8, GraphKey::F8, false},
        {Qt::Key_F9, GraphKey::F9, false},
        {Qt::Key_PageDown, GraphKey::PageDown, true},
        {Qt::Key_End, GraphKey::End, true},
        {Qt::Key_PageUp, GraphKey::PageUp, true},
        {Qt::Key_Home, GraphKey::Home, true},
        {Qt::Key_Left, GraphKey::Left, true},
        {Qt::Key_Right, GraphKey::Right, true},
    };
    std::optional<GraphKey> key;
    bool pageKey = false;
    for (const KeyOfGraph& entry : kKeys)
        if (entry.qtKey == event->key()) {
            key = entry.key;
            pageKey = entry.pageOnly;
        }
    // A held key repeats its release too; only the arrows should repeat.
    const bool repeats = key == GraphKey::Left || key == GraphKey::Right;
    if (key && (!pageKey || hasFocus()) && (repeats || !event->isAutoRepeat()) &&
        graph_.KeyReleased(*key, (event->modifiers() & Qt::ShiftModifier) != 0)) {
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void CUlkView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    graph_.MouseMoved(at.x(), at.y(), MouseOf(*event));
}

void CUlkView::mouseReleaseEvent(QMouseEvent* event)
{
    // The release ends a drag: the buttons it reports are those still held.
    mouseMoveEvent(event);
}

void CUlkView::leaveEvent(QEvent*)
{
    // Gone to the menu or another window: the values no longer follow it.
    graph_.MouseMoved(-1, -1, {});
}

void CUlkView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
        graph_.DoubleClicked(event->button() == Qt::LeftButton);
}

void CUlkView::wheelEvent(QWheelEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QWidget::wheelEvent(event);
        return;
    }
    // One notch is 120 eighths of a degree; touch pads send less at a time.
    wheelRemainder_ += event->angleDelta().y();
    const int notches = wheelRemainder_ / 120;
    wheelRemainder_ -= notches * 120;
    const QPoint at = event->position().toPoint();
    graph_.WheelZoom(at.x(), at.y(), notches);
    event->accept();
}

}  // namespace tkan
