#pragma once

#include <QDialog>

#include "testing/XferDlg.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tkan {

// The Qt face of CXferDlg, "Transferring Test": the status and progress
// texts, a bar, and Abort. The download starts from the controller's timer,
// once the window is on screen, and the window closes itself when it ends.
class TransferDialog : public QDialog, private TransferView {
    Q_OBJECT

public:
    TransferDialog(QWidget* parent, CXferDlg& controller);
    ~TransferDialog() override;

    // Opens the dialog, runs the transfer, and gives its result: 1 when the
    // dialog ended with OK.
    int Run();
    // The controller's opening alone, for whoever shows the window itself.
    void Open();

    QLabel* StatusText() const { return status_; }
    QLabel* ProgressText() const { return progress_; }
    QProgressBar* ProgressBar() const { return bar_; }
    QPushButton* AbortButton() const { return abort_; }

public slots:
    // Esc and the close box abort: the window stays until the download has
    // given up, so that nothing keeps reading behind a closed window.
    void reject() override;

private:
    void ShowTexts(const std::string& status, const std::string& progress) override;
    void ShowProgress(std::size_t received, std::size_t expected) override;
    void SetTimer(int id, int milliseconds) override;
    void KillTimer(int id) override;
    void EndDialog(int result) override;

    CXferDlg& controller_;
    QTimer* timer_ = nullptr;
    int timerId_ = 0;
    bool ended_ = false;
    QLabel* status_ = nullptr;
    QLabel* progress_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* abort_ = nullptr;
};

}  // namespace tkan
