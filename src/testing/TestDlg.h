#pragma once

#include <array>
#include <span>
#include <string>
#include <vector>

namespace tkan {

class ModalDialogs;
struct TestingContext;

// One column of the directory list: its title, and a text as wide as the
// column is to be in the list's font.
struct DirectoryColumn {
    const char* title;
    const char* widthSample;
    bool rightAligned;
};

const std::array<DirectoryColumn, 6>& DirectoryColumns();

// What the Device Directory dialog shows and reads back.
class DirectoryView {
public:
    virtual ~DirectoryView() = default;

    virtual void SetColumns(std::span<const DirectoryColumn> columns) = 0;
    virtual void AddRow(const std::vector<std::string>& cells) = 0;
    virtual void ShowPrefix(const std::string& prefix) = 0;
    virtual std::string ReadPrefix() = 0;
    // Row indices, in any order.
    virtual std::vector<int> SelectedRows() = 0;
    // 1 OK, 0 Cancel.
    virtual void EndDialog(int result) = 0;
};

// The Device Directory dialog's logic: lists the instrument's directory as
// the last listing left it and hands the chosen records to the transfer.
class CTestDlg {
public:
    CTestDlg(TestingContext& context, ModalDialogs& dialogs);
    virtual ~CTestDlg() = default;
    CTestDlg(const CTestDlg&) = delete;
    CTestDlg& operator=(const CTestDlg&) = delete;

    std::string filePrefix = "Test";
    // Set when a download succeeded: the name of the first file written, and
    // the same with its folder.
    std::string resultFileName;
    std::string resultPath;

    void OnInitDialog(DirectoryView& view);
    void OnDownloadTest();
    void OnCancel();

    // The cells of each row, in directory order.
    const std::vector<std::vector<std::string>>& Rows() const { return rows_; }

private:
    TestingContext& context_;
    ModalDialogs& dialogs_;
    DirectoryView* view_ = nullptr;
    std::vector<std::vector<std::string>> rows_;
    std::vector<int> numbers_;
};

}  // namespace tkan
