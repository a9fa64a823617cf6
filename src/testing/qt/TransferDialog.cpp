#include "testing/qt/TransferDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

#include "platform/qt/QSettingsStore.h"
#include "platform/qt/QtText.h"

namespace tkan {

TransferDialog::TransferDialog(QWidget* parent, CXferDlg& controller) : QDialog(parent), controller_(controller)
{
    setWindowTitle(QStringLiteral("Transferring Test"));

    auto* statusLabel = new QLabel(QStringLiteral("Status:"), this);
    status_ = new QLabel(this);
    status_->setTextFormat(Qt::PlainText);
    progress_ = new QLabel(this);
    progress_->setTextFormat(Qt::PlainText);
    // Room for "Transferred 2097152 bytes" without the window growing as the
    // count does.
    progress_->setMinimumWidth(progress_->fontMetrics().horizontalAdvance(QStringLiteral("Transferred 2097152 bytes")) +
                               16);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 0);
    bar_->setTextVisible(false);
    bar_->setMinimumWidth(300);

    abort_ = new QPushButton(QStringLiteral("Abort"), this);
    abort_->setAutoDefault(false);
    connect(abort_, &QPushButton::clicked, this, [this] { controller_.OnAbort(); });

    auto* texts = new QGridLayout;
    texts->addWidget(statusLabel, 0, 0);
    texts->addWidget(status_, 0, 1);
    texts->addWidget(progress_, 1, 0, 1, 2);
    texts->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(abort_);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(texts);
    layout->addWidget(bar_);
    layout->addLayout(buttons);
    setModal(true);
}

TransferDialog::~TransferDialog() = default;

void TransferDialog::Open()
{
    controller_.OnInitDialog(*this);
}

int TransferDialog::Run()
{
    Open();
    if (ended_)
        return result() == QDialog::Accepted ? 1 : 0;
    return exec() == QDialog::Accepted ? 1 : 0;
}

void TransferDialog::reject()
{
    if (ended_) {
        QDialog::reject();
        return;
    }
    controller_.OnAbort();
}

void TransferDialog::ShowTexts(const std::string& status, const std::string& progress)
{
    status_->setText(FromWindows1252(status));
    progress_->setText(FromWindows1252(progress));
}

void TransferDialog::ShowProgress(std::size_t received, std::size_t expected)
{
    if (expected == 0) {
        // Nobody knows how much is coming: the bar shows that work goes on.
        if (bar_->maximum() != 0)
            bar_->setRange(0, 0);
        return;
    }
    const int maximum = static_cast<int>(std::min<std::size_t>(expected, INT_MAX));
    if (bar_->maximum() != maximum || bar_->minimum() != 0)
        bar_->setRange(0, maximum);
    bar_->setValue(static_cast<int>(std::min<std::size_t>(received, static_cast<std::size_t>(maximum))));
}

void TransferDialog::SetTimer(int id, int milliseconds)
{
    if (!timer_) {
        timer_ = new QTimer(this);
        connect(timer_, &QTimer::timeout, this, [this] { controller_.OnTimer(timerId_); });
    }
    timerId_ = id;
    timer_->start(milliseconds);
}

void TransferDialog::KillTimer(int id)
{
    if (timer_ && id == timerId_)
        timer_->stop();
}

void TransferDialog::EndDialog(int result)
{
    ended_ = true;
    if (timer_)
        timer_->stop();
    done(result == 1 ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace tkan
