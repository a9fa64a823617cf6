#include "testlist/RovaOpenFileDlg.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <numeric>

#include "platform/Codepage.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "platform/SystemFolders.h"
#include "settings/AppInfo.h"
#include "testlist/TestRowCache.h"

namespace tkan {

namespace {

constexpr int kDefaultColumnWidth = 100;

std::string ListValueName(const char* key, int controlId)
{
    return std::string(key) + "-" + std::to_string(controlId);
}

std::string Lowered(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

template <typename T>
int Compare(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

std::vector<ListColumn> ParseColumnText(std::string_view text)
{
    std::vector<ListColumn> columns;
    while (!text.empty()) {
        std::size_t semicolon = text.find(';');
        std::string_view entry = text.substr(0, semicolon);
        std::size_t comma = entry.find(',');
        ListColumn column;
        column.title = std::string(entry.substr(0, comma));
        column.width = kDefaultColumnWidth;
        if (comma != std::string_view::npos) {
            std::string width(entry.substr(comma + 1));
            char* end = nullptr;
            long value = std::strtol(width.c_str(), &end, 10);
            if (end != width.c_str() && value > 0 && value < 10000)
                column.width = static_cast<int>(value);
        }
        columns.push_back(std::move(column));
        if (semicolon == std::string_view::npos)
            break;
        text.remove_prefix(semicolon + 1);
    }
    return columns;
}

void ListCtrlState::Load(SettingsStore& store, int controlId, std::size_t columnCount)
{
    sortColumn = store.ReadNumber(kListCtrlsSection, ListValueName("SortColumn", controlId), -1);
    ascending = store.ReadNumber(kListCtrlsSection, ListValueName("SortOrder", controlId), 1) != 0;
    if (sortColumn < -1 || sortColumn >= static_cast<int>(columnCount))
        sortColumn = -1;

    // Widths that do not match the columns are someone else's: all or none.
    std::string text = store.ReadText(kListCtrlsSection, ListValueName("ColumnWidths", controlId), "");
    std::vector<int> read;
    for (const ListColumn& entry : ParseColumnText(text))
        read.push_back(std::atoi(entry.title.c_str()));
    bool usable =
        read.size() == columnCount && std::all_of(read.begin(), read.end(), [](int w) { return w > 0 && w < 10000; });
    if (usable)
        widths = std::move(read);
    widthsSaved = usable;
}

void ListCtrlState::Save(SettingsStore& store, int controlId) const
{
    store.WriteNumber(kListCtrlsSection, ListValueName("SortColumn", controlId), sortColumn);
    store.WriteNumber(kListCtrlsSection, ListValueName("SortOrder", controlId), ascending ? 1 : 0);
    std::string text;
    for (int width : widths)
        text += (text.empty() ? "" : ";") + std::to_string(width);
    store.WriteText(kListCtrlsSection, ListValueName("ColumnWidths", controlId), text);
    store.Flush();
}

std::string OpenTestCell(const TestFileRow& row, OpenTestColumn column)
{
    switch (column) {
    case OpenTestColumn::Filename: return Utf8ToCp1252(row.fileName);
    case OpenTestColumn::Date: return WidenedDate(row.testDate);
    case OpenTestColumn::Tests: return std::to_string(row.readingCount);
    case OpenTestColumn::Type: return row.typeName;
    case OpenTestColumn::Company: return row.company;
    case OpenTestColumn::Station: return row.station;
    case OpenTestColumn::Circuit: return row.circuit;
    }
    return {};
}

RovaOpenFileDlg::RovaOpenFileDlg(CAppInfo& settings, SettingsStore& store, Prompter& prompter)
    : settings_(settings), store_(store), prompter_(prompter), columns_(ParseColumnText(kOpenTestColumns))
{
    changeFolder = SetCurrentFolder;
    rowCacheFolder = ProgramCacheFolder();
    for (const ListColumn& column : columns_)
        state_.widths.push_back(column.width);
}

const std::string& RovaOpenFileDlg::Folder() const
{
    return settings_.FilePath;
}

void RovaOpenFileDlg::Open()
{
    ListCtrlState saved;
    saved.widths = state_.widths;
    saved.Load(store_, kOpenTestListId, columns_.size());
    state_.widths = saved.widths;
    state_.widthsSaved = saved.widthsSaved;
    Scan();
    if (saved.sortColumn >= 0)
        Sort(saved.sortColumn, saved.ascending);
}

void RovaOpenFileDlg::Scan()
{
    rows_ = ListTestFolder(settings_.FilePath, rowCacheFolder);
    sorted_.resize(rows_.size());
    std::iota(sorted_.begin(), sorted_.end(), 0);
    Sort(static_cast<int>(OpenTestColumn::Date), false);
}

void RovaOpenFileDlg::SortBy(int column)
{
    Sort(column, column == state_.sortColumn ? !state_.ascending : true);
}

void RovaOpenFileDlg::Sort(int column, bool ascending)
{
    if (column < 0 || column >= kOpenTestColumnCount)
        return;
    state_.sortColumn = column;
    state_.ascending = ascending;
    const auto which = static_cast<OpenTestColumn>(column);
    // A text column's cells, lowered once rather than at every comparison.
    std::vector<std::string> texts;
    if (which != OpenTestColumn::Date && which != OpenTestColumn::Tests) {
        texts.reserve(rows_.size());
        for (const TestFileRow& row : rows_)
            texts.push_back(Lowered(OpenTestCell(row, which)));
    }
    auto compare = [&](int a, int b) {
        const auto ia = static_cast<std::size_t>(a), ib = static_cast<std::size_t>(b);
        switch (which) {
        case OpenTestColumn::Date: return Compare(rows_[ia].dateKey, rows_[ib].dateKey);
        case OpenTestColumn::Tests: return Compare(rows_[ia].readingCount, rows_[ib].readingCount);
        default: return Compare(texts[ia], texts[ib]);
        }
    };
    // Equal cells keep the order the folder was searched in, either way.
    std::stable_sort(sorted_.begin(), sorted_.end(), [&](int a, int b) {
        int order = compare(a, b);
        return ascending ? order < 0 : order > 0;
    });
    Reorder();
}

void RovaOpenFileDlg::SetFilter(const std::string& text)
{
    filter_ = Lowered(text);
    Reorder();
}

void RovaOpenFileDlg::Reorder()
{
    order_.clear();
    for (int index : sorted_) {
        const TestFileRow& row = rows_[static_cast<std::size_t>(index)];
        bool shown = filter_.empty();
        for (const std::string* field : {&row.company, &row.station, &row.circuit}) {
            if (shown)
                break;
            shown = Lowered(*field).find(filter_) != std::string::npos;
        }
        if (!shown)
            shown = Lowered(Utf8ToCp1252(row.fileName)).find(filter_) != std::string::npos;
        if (shown)
            order_.push_back(index);
    }
}

bool RovaOpenFileDlg::ShotPath()
{
    std::optional<std::string> chosen = prompter_.ChooseFolder(kSelectPathTitle, settings_.FilePath);
    if (!chosen || chosen->empty())
        return false;
    // Kept at once: the folder is the operator's choice even if this dialog
    // is cancelled.
    store_.WriteText(kSettingsSection, "FilePath", *chosen);
    store_.Flush();
    settings_.FilePath = *chosen;
    if (changeFolder)
        changeFolder(*chosen);
    Scan();
    return true;
}

bool RovaOpenFileDlg::Accept(const std::vector<int>& selected)
{
    result_.clear();
    for (int index : selected) {
        if (index < 0 || static_cast<std::size_t>(index) >= rows_.size())
            continue;
        result_.push_back(rows_[static_cast<std::size_t>(index)].path);
        if (!multiple)
            break;
    }
    if (result_.empty()) {
        prompter_.Message(MessageStyle::Tkan, kSelectTestFirst);
        return false;
    }
    return true;
}

void RovaOpenFileDlg::Close()
{
    state_.Save(store_, kOpenTestListId);
}

}  // namespace tkan
