#include "testing/TestDlg.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>

#include "device/InstrumentContract.h"
#include "device/RovaDevice.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"
#include "testing/TestingContext.h"
#include "testing/XferDlg.h"

namespace tkan {

const std::array<DirectoryColumn, 6>& DirectoryColumns()
{
    static constexpr std::array<DirectoryColumn, 6> kColumns{{
        {"Test", "Test Num", true},
        {"Type", "OPEN XXX", false},
        {"Date", "04/44/99 12:12:23 ", false},
        {"Company", "ABCDEFGHIJKLMNOPQRSTUVWXYZ 123", false},
        {"Station", "ABCDEFGHIJKLMNOP 123", false},
        {"Circuit", "ABCDEFGHIJKLMNOP 123", false},
    }};
    return kColumns;
}

CTestDlg::CTestDlg(TestingContext& context, ModalDialogs& dialogs) : context_(context), dialogs_(dialogs) {}

void CTestDlg::OnInitDialog(DirectoryView& view)
{
    view_ = &view;
    filePrefix = kDefaultFilePrefix;
    view.ShowPrefix(filePrefix);
    view.SetColumns(DirectoryColumns());

    rows_.clear();
    numbers_.clear();
    for (const DirectoryEntry& entry : context_.device.Directory()) {
        if (static_cast<int>(rows_.size()) == instrument::kMaxDirectoryEntries)
            break;
        std::array<char, 16> number{};
        std::snprintf(number.data(), number.size(), "%04d", entry.testNumber);
        std::vector<std::string> cells = {number.data(),        entry.typeText,       entry.dateText,
                                          entry.header.company, entry.header.station, entry.header.circuit};
        view.AddRow(cells);
        rows_.push_back(std::move(cells));
        numbers_.push_back(entry.testNumber);
    }
}

void CTestDlg::OnDownloadTest()
{
    if (!view_)
        return;
    std::vector<int> selected = view_->SelectedRows();
    // The list's order, not the order of the clicks.
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    std::erase_if(selected, [&](int row) { return row < 0 || row >= static_cast<int>(numbers_.size()); });
    if (selected.empty()) {
        context_.prompter.Message(MessageStyle::Brennix, "Please select test first");
        return;
    }

    filePrefix = view_->ReadPrefix();
    CXferDlg transfer(context_);
    transfer.SetFilePrefix(filePrefix);
    for (int row : selected)
        transfer.recordNumbers.push_back(numbers_[static_cast<std::size_t>(row)]);

    if (dialogs_.RunTransfer(transfer) != 1)
        return;
    // The first file this transfer wrote: when the first record failed or
    // was not to be overwritten, its file holds an older test, not what was
    // downloaded. Cancel at the first question wrote nothing and leaves the
    // file that was already there as the one to open.
    resultPath = transfer.FileToOpen();
    if (resultPath.empty()) {
        std::error_code error;
        const std::filesystem::path here = std::filesystem::current_path(error);
        resultPath = JoinPath(error ? std::string() : here.string(),
                              RecordFileName(transfer.FilePrefix(), transfer.recordNumbers.front()));
    }
    resultFileName = FileNamePart(resultPath);
    view_->EndDialog(1);
}

void CTestDlg::OnCancel()
{
    if (view_)
        view_->EndDialog(0);
}

}  // namespace tkan
