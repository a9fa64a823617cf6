#include "testing/qt/DeviceDirectoryDialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/qt/QSettingsStore.h"
#include "platform/qt/QtMessagePump.h"
#include "platform/qt/QtText.h"
#include "testing/RetrieveRecords.h"
#include "testing/TestingContext.h"
#include "testing/XferDlg.h"
#include "testing/qt/QtModalDialogs.h"

namespace tkan {

namespace {

// Cells with a little room inside them: the right-aligned test numbers would
// otherwise touch the type beside them.
class PaddedCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem cell(option);
        initStyleOption(&cell, index);
        const QString text = cell.text;
        cell.text.clear();
        const QWidget* widget = cell.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        // Background, selection and focus over the whole cell; the text inset.
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget).adjusted(2, 0, -8, 0);
        const bool selected = (cell.state & QStyle::State_Selected) != 0;
        painter->save();
        painter->setFont(cell.font);
        painter->setPen(cell.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(area, static_cast<int>(cell.displayAlignment), text);
        painter->restore();
    }
};

}  // namespace

std::optional<std::string> RunRetrieveRecordsDialog(QWidget* parent, TestingContext& context)
{
    if (!PumpDispatchesQtEvents(context.pump))
        InstallQtPump(context.pump);
    QtModalDialogs dialogs(parent);
    return RetrieveRecords(context, dialogs);
}

DeviceDirectoryDialog::DeviceDirectoryDialog(QWidget* parent, CTestDlg& controller)
    : QDialog(parent), controller_(controller)
{
    setWindowTitle(QStringLiteral("Device Directory"));

    list_ = new QTreeWidget(this);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->header()->setStretchLastSection(false);
    list_->setItemDelegate(new PaddedCellDelegate(list_));
    // The selection stays as visible when the focus moves to the prefix or
    // the buttons: it is what Download Test will fetch.
    QPalette palette = list_->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    list_->setPalette(palette);

    auto* prefixLabel = new QLabel(QStringLiteral("File Prefix:"), this);
    prefix_ = new QLineEdit(this);
    prefix_->setMaxLength(static_cast<int>(kFilePrefixLength));
    prefixLabel->setBuddy(prefix_);

    download_ = new QPushButton(QStringLiteral("Download Test"), this);
    download_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setAutoDefault(false);
    connect(download_, &QPushButton::clicked, this, [this] { controller_.OnDownloadTest(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { controller_.OnCancel(); });

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(prefixLabel);
    bottom->addWidget(prefix_, 1);
    bottom->addSpacing(24);
    bottom->addWidget(download_);
    bottom->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(bottom);
}

DeviceDirectoryDialog::~DeviceDirectoryDialog() = default;

void DeviceDirectoryDialog::Open()
{
    controller_.OnInitDialog(*this);
    int width = 0;
    for (int column = 0; column < list_->columnCount(); ++column)
        width += list_->columnWidth(column);
    resize(std::max(width + 40, 480), 360);
}

int DeviceDirectoryDialog::Run()
{
    Open();
    return exec() == QDialog::Accepted ? 1 : 0;
}

void DeviceDirectoryDialog::reject()
{
    controller_.OnCancel();
}

void DeviceDirectoryDialog::SetColumns(std::span<const DirectoryColumn> columns)
{
    QStringList titles;
    rightAligned_.clear();
    for (const DirectoryColumn& column : columns) {
        titles << QString::fromLatin1(column.title);
        rightAligned_.push_back(column.rightAligned);
    }
    list_->setColumnCount(static_cast<int>(columns.size()));
    list_->setHeaderLabels(titles);
    const QFontMetrics metrics(list_->font());
    QTreeWidgetItem* header = list_->headerItem();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const int column = static_cast<int>(i);
        // Each column is as wide as its sample text, plus the cell's margins.
        list_->setColumnWidth(column, metrics.horizontalAdvance(QString::fromLatin1(columns[i].widthSample)) + 24);
        if (columns[i].rightAligned)
            header->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void DeviceDirectoryDialog::AddRow(const std::vector<std::string>& cells)
{
    auto* item = new QTreeWidgetItem(list_);
    for (std::size_t i = 0; i < cells.size() && static_cast<int>(i) < list_->columnCount(); ++i) {
        const int column = static_cast<int>(i);
        item->setText(column, FromWindows1252(cells[i]));
        if (i < rightAligned_.size() && rightAligned_[i])
            item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void DeviceDirectoryDialog::ShowPrefix(const std::string& prefix)
{
    prefix_->setText(FromWindows1252(prefix));
}

std::string DeviceDirectoryDialog::ReadPrefix()
{
    return ToWindows1252(prefix_->text());
}

std::vector<int> DeviceDirectoryDialog::SelectedRows()
{
    std::vector<int> rows;
    for (QTreeWidgetItem* item : list_->selectedItems())
        rows.push_back(list_->indexOfTopLevelItem(item));
    return rows;
}

void DeviceDirectoryDialog::EndDialog(int result)
{
    done(result == 1 ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace tkan
