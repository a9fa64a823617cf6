#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "testlist/TestFolderScan.h"

namespace tkan {

class CAppInfo;
class Prompter;
class SettingsStore;

inline constexpr char kOpenTestTitle[] = "Open Test";
inline constexpr char kSelectTestsTitle[] = "Select Test(s)";
inline constexpr char kMultipleSelectionHint[] = "To select multiple files hold down shift or control key";
inline constexpr char kSelectTestFirst[] = "Please select test first";
inline constexpr char kSelectPathTitle[] = "Select Path";
// The list's columns as the sortable list takes them: title, width.
inline constexpr char kOpenTestColumns[] =
    "Filename,120;Date,150;# Tests,75;Type,75;Company,150;Station,150;Circuit,150";
// The list's control number, under which it keeps its sort state.
constexpr int kOpenTestListId = 1010;

enum class OpenTestColumn { Filename, Date, Tests, Type, Company, Station, Circuit };
constexpr int kOpenTestColumnCount = 7;

struct ListColumn {
    std::string title;
    int width = 0;
};

// "Title,width;Title,width;...": a column without a readable width gets 100.
std::vector<ListColumn> ParseColumnText(std::string_view text);

// What a sortable list keeps between runs under "ListCtrls": its sort column
// and direction ("SortColumn-%d", "SortOrder-%d" of its control number, -1
// when absent) and its column widths ("ColumnWidths-%d", separated by
// semicolons).
struct ListCtrlState {
    int sortColumn = -1;
    bool ascending = true;
    std::vector<int> widths;
    bool widthsSaved = false;  // Load() found widths of the operator's

    void Load(SettingsStore& store, int controlId, std::size_t columnCount);
    void Save(SettingsStore& store, int controlId) const;
};

// The cell text of a row in a column, Windows-1252 as the list shows it.
std::string OpenTestCell(const TestFileRow& row, OpenTestColumn column);

// The Open Test dialog without its window: the listing of the test folder,
// its order and filter, the folder change and the choice. The window shows
// RowOrder() and hands back the rows the operator selected.
class RovaOpenFileDlg {
public:
    RovaOpenFileDlg(CAppInfo& settings, SettingsStore& store, Prompter& prompter);

    // Set by the caller before Open().
    bool multiple = false;
    std::string title;  // empty: "Open Test"

    // Restores the column widths, scans, sorts newest first, then restores
    // the saved sort.
    void Open();
    void Scan();

    std::string WindowTitle() const { return title.empty() ? kOpenTestTitle : title; }
    std::string HintText() const { return multiple ? kMultipleSelectionHint : ""; }
    const std::string& Folder() const;
    const std::vector<ListColumn>& Columns() const { return columns_; }

    // Every file found, in scan order; a row's index here is its row data.
    const std::vector<TestFileRow>& Rows() const { return rows_; }
    // The rows shown, as indices into Rows(), in list order: sorted, and
    // narrowed by the filter.
    const std::vector<int>& RowOrder() const { return order_; }

    // A click on a heading: that column ascending, or the other way when it
    // is already the sort column.
    void SortBy(int column);
    void Sort(int column, bool ascending);
    int SortColumn() const { return state_.sortColumn; }
    bool Ascending() const { return state_.ascending; }

    // Rows whose company, station, circuit or file name contains the text,
    // ignoring case; empty shows every row.
    void SetFilter(const std::string& text);

    // "Shot Path": a new test folder, kept at once. False when the operator
    // cancelled.
    bool ShotPath();

    // OK or a double-click with the rows selected (indices into Rows(), in
    // list order). No row: the operator is told, and false.
    bool Accept(const std::vector<int>& selected);
    // The chosen files, full paths: one in single mode.
    const std::vector<std::string>& Result() const { return result_; }

    // The widths the window's columns have now, kept by Close().
    void SetColumnWidths(std::vector<int> widths) { state_.widths = std::move(widths); }
    const std::vector<int>& ColumnWidths() const { return state_.widths; }
    // False until the operator's own widths have been kept once: the window
    // may then widen a column to show its texts whole.
    bool ColumnWidthsSaved() const { return state_.widthsSaved; }
    void Close();

    // Makes a folder the process's current one; tests replace it.
    std::function<void(const std::string&)> changeFolder;
    // Where the rows of the folders listed are remembered between listings:
    // the program's cache folder, which tests replace. Empty: every listing
    // reads every file.
    std::string rowCacheFolder;

private:
    void Reorder();

    CAppInfo& settings_;
    SettingsStore& store_;
    Prompter& prompter_;
    std::vector<ListColumn> columns_;
    std::vector<TestFileRow> rows_;
    std::vector<int> sorted_;
    std::vector<int> order_;
    std::string filter_;
    ListCtrlState state_;
    std::vector<std::string> result_;
};

}  // namespace tkan
