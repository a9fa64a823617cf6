#include "app/qt/AboutDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/UlkApp.h"
#include "platform/qt/QSettingsStore.h"
#include "platform/qt/QtText.h"

namespace tkan {

CAboutDlg::CAboutDlg(const std::string& versionReply, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About Device"));

    auto* layout = new QVBoxLayout(this);
    auto* program = new QLabel(QString::fromLatin1(kWindowTitle), this);
    layout->addWidget(program);

    auto* form = new QFormLayout;
    version_ = new QLineEdit(FromWindows1252(versionReply), this);
    version_->setObjectName(QStringLiteral("versionEdit"));
    version_->setReadOnly(true);
    version_->setMinimumWidth(version_->fontMetrics().averageCharWidth() * 28);
    form->addRow(QStringLiteral("Device Version:"), version_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

}  // namespace tkan
