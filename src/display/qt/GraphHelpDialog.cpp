#include "display/qt/GraphHelpDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "display/GraphHelp.h"

namespace tkan {

dlgHelp::dlgHelp(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("graphHelpDialog"));
    setWindowTitle(QStringLiteral("Graph Help"));
    auto* layout = new QVBoxLayout(this);

    // Carriage returns end the lines; a tab at a line's start indents it.
    QString text = QString::fromLatin1(kGraphHelpText);
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text_ = new QLabel(text, this);
    text_->setObjectName(QStringLiteral("helpText"));
    text_->setTextFormat(Qt::PlainText);
    text_->setAccessibleName(text);
    layout->addWidget(text_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

}  // namespace tkan
