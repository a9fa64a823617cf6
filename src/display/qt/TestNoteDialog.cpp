#include "display/qt/TestNoteDialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "display/DataPointList.h"
#include "platform/qt/QtText.h"

namespace tkan {

dlgTestNote::dlgTestNote(const std::string& comment, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("commentDialog"));
    setWindowTitle(QStringLiteral("Comment"));
    auto* layout = new QVBoxLayout(this);
    edit_ = new QLineEdit(FromWindows1252(comment), this);
    edit_->setObjectName(QStringLiteral("commentEdit"));
    edit_->setAccessibleName(QStringLiteral("Comment"));
    edit_->setMaxLength(kCommentMaxLength);
    edit_->setMinimumWidth(edit_->fontMetrics().averageCharWidth() * (kCommentMaxLength + 6));
    edit_->selectAll();
    layout->addWidget(edit_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::string dlgTestNote::Text() const
{
    return ToWindows1252(edit_->text());
}

}  // namespace tkan
