#pragma once

#include <QDialog>

#include <optional>
#include <string>

#include "testing/TestDlg.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace tkan {

struct TestingContext;

// Lists the instrument's records in the Device Directory dialog and downloads
// the chosen ones. The first file written, with its folder, for the caller to
// open as the document; nothing when the listing failed or nothing was saved.
std::optional<std::string> RunRetrieveRecordsDialog(QWidget* parent, TestingContext& context);

// The Qt face of CTestDlg: the directory as a list of rows, several of which
// may be selected, the file prefix, and Download Test.
class DeviceDirectoryDialog : public QDialog, private DirectoryView {
    Q_OBJECT

public:
    DeviceDirectoryDialog(QWidget* parent, CTestDlg& controller);
    ~DeviceDirectoryDialog() override;

    // Fills the dialog from the controller, shows it modally, and gives its
    // result: 1 OK (a file was downloaded), 0 Cancel.
    int Run();
    void Open();

    QTreeWidget* List() const { return list_; }
    QLineEdit* PrefixEdit() const { return prefix_; }
    QPushButton* DownloadButton() const { return download_; }
    QPushButton* CancelButton() const { return cancel_; }

public slots:
    void reject() override;

private:
    void SetColumns(std::span<const DirectoryColumn> columns) override;
    void AddRow(const std::vector<std::string>& cells) override;
    void ShowPrefix(const std::string& prefix) override;
    std::string ReadPrefix() override;
    std::vector<int> SelectedRows() override;
    void EndDialog(int result) override;

    CTestDlg& controller_;
    std::vector<bool> rightAligned_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QPushButton* download_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace tkan
