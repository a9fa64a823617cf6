#include "testing/qt/HeaderBox.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "platform/qt/QtText.h"

namespace tkan {

namespace {

// The header table's fields in the order the edits are laid out, left
// column first.
constexpr std::array<std::size_t, kHeaderFieldCount> kLayoutOrder = {0, 2, 4, 6, 1, 3, 5, 7};

}  // namespace

HeaderBox::HeaderBox(QWidget* parent) : QGroupBox(QStringLiteral("Test Header Information"), parent)
{
    auto* grid = new QGridLayout(this);
    for (std::size_t at = 0; at < kLayoutOrder.size(); ++at) {
        const HeaderFieldInfo& field = kHeaderFields[kLayoutOrder[at]];
        auto* edit = new QLineEdit(this);
        edit->setMinimumWidth(150);
        auto* label =
            new QLabel(QString::fromLatin1(field.label.data(), static_cast<qsizetype>(field.label.size())), this);
        label->setBuddy(edit);
        const int row = static_cast<int>(at % 4);
        const int column = static_cast<int>(at / 4) * 2;
        grid->addWidget(label, row, column);
        grid->addWidget(edit, row, column + 1);
        edits_[kLayoutOrder[at]] = edit;
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnMinimumWidth(2, 70);
}

void HeaderBox::Show(const Texts& texts)
{
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        const QString text = FromWindows1252(texts[i]);
        if (edits_[i]->text() != text)
            edits_[i]->setText(text);
    }
}

HeaderBox::Texts HeaderBox::Read() const
{
    Texts texts;
    for (std::size_t i = 0; i < edits_.size(); ++i)
        texts[i] = ToWindows1252(edits_[i]->text());
    return texts;
}

}  // namespace tkan
