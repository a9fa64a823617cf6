#include "display/qt/DataPointsDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "display/qt/TestNoteDialog.h"
#include "platform/Prompter.h"
#include "platform/qt/QtText.h"

namespace tkan {

dlgDataPoints::dlgDataPoints(TestRecord& record, Prompter& prompter, QWidget* parent)
    : QDialog(parent), record_(record), prompter_(prompter), points_(record)
{
    setObjectName(QStringLiteral("dataPointsDialog"));
    setWindowTitle(QStringLiteral("Data Points"));

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("dataPointList"));
    list_->setAccessibleName(QStringLiteral("Data Points"));
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setColumnCount(static_cast<int>(kDataPointColumns.size()));
    QStringList headings;
    for (const DataPointColumn& column : kDataPointColumns)
        headings << QString::fromLatin1(column.name);
    list_->setHeaderLabels(headings);
    for (std::size_t c = 0; c < kDataPointColumns.size(); ++c)
        list_->setColumnWidth(static_cast<int>(c), kDataPointColumns[c].width);

    auto* side = new QVBoxLayout;
    auto addButton = [&](const char* text, auto slot) {
        auto* button = new QPushButton(QString::fromLatin1(text), this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, slot);
        side->addWidget(button);
    };
    addButton("Up", [this] { MoveRow(true); });
    addButton("Down", [this] { MoveRow(false); });
    addButton("Edit", [this] { EditComment(); });
    addButton("Delete", [this] { DeleteRows(); });
    side->addStretch();

    auto* top = new QHBoxLayout;
    top->addWidget(list_, 1);
    top->addLayout(side);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(buttons);

    int listWidth = 0;
    for (const DataPointColumn& column : kDataPointColumns)
        listWidth += column.width;
    resize(listWidth + 140, 360);
    Fill(-1);
}

void dlgDataPoints::Fill(int selectRow)
{
    list_->clear();
    for (int row = 0; row < points_.RowCount(); ++row) {
        QStringList cells;
        for (const std::string& cell : points_.RowTexts(row))
            cells << FromWindows1252(cell);
        list_->addTopLevelItem(new QTreeWidgetItem(cells));
    }
    if (QTreeWidgetItem* item = list_->topLevelItem(selectRow)) {
        list_->setCurrentItem(item);
        item->setSelected(true);
        list_->setFocus();
    }
}

std::vector<int> dlgDataPoints::SelectedRows() const
{
    std::vector<int> rows;
    for (int row = 0; row < list_->topLevelItemCount(); ++row)
        if (list_->topLevelItem(row)->isSelected())
            rows.push_back(row);
    return rows;
}

int dlgDataPoints::SingleRow()
{
    const std::vector<int> rows = SelectedRows();
    if (std::optional<std::string> problem = DataPointList::SingleSelectionProblem(static_cast<int>(rows.size()))) {
        prompter_.Message(MessageStyle::Tkan, *problem);
        return -1;
    }
    return rows.front();
}

void dlgDataPoints::MoveRow(bool up)
{
    const int row = SingleRow();
    if (row < 0)
        return;
    if (std::optional<int> moved = up ? points_.MoveUp(row) : points_.MoveDown(row))
        Fill(*moved);
}

void dlgDataPoints::EditComment()
{
    const int row = SingleRow();
    if (row < 0)
        return;
    dlgTestNote note(points_.PointOf(row).comment, this);
    if (note.exec() != QDialog::Accepted)
        return;
    points_.SetComment(row, note.Text());
    Fill(row);
}

void dlgDataPoints::DeleteRows()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty())
        return;
    points_.Delete(rows);
    Fill(std::min(rows.front(), points_.RowCount() - 1));
}

void dlgDataPoints::accept()
{
    points_.WriteTo(record_);
    QDialog::accept();
}

}  // namespace tkan
