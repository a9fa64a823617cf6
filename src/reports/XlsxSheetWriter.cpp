#include <unistd.h>

#include <xlsxwriter.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/Codepage.h"
#include "records/AtomicFile.h"
#include "reports/SheetWriter.h"

namespace tkan {

namespace {

// The most characters one cell of a workbook holds; the format has no room
// for more.
constexpr std::size_t kCellCharacterLimit = 32767;
// A workbook of a test's sheets is far smaller; anything larger is not
// ours.
constexpr std::size_t kLargestWorkbook = 64 * 1024 * 1024;

// Cuts a UTF-8 text after `limit` characters, never inside one.
std::string CutToCharacters(std::string text, std::size_t limit)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == limit) {
            text.resize(i);
            break;
        }
    }
    return text;
}

std::string ErrnoText(int cause)
{
    return std::strerror(cause != 0 ? cause : EIO);
}

struct Cell {
    std::size_t sheet;  // index into the sheet names
    lxw_row_t row;
    lxw_col_t column;
    std::optional<double> number;  // a number, or else the text
    std::string text;
};

// The library writes a workbook only as a whole and only to a file it opens
// itself: a private temporary one here.
bool BuildWorkbook(const std::string& file, const std::vector<std::string>& names, const std::vector<Cell>& cells,
                   std::string& reason)
{
    lxw_workbook* workbook = workbook_new(file.c_str());
    std::vector<lxw_worksheet*> sheets;
    for (std::size_t i = 0; workbook && i < names.size(); ++i) {
        lxw_worksheet* sheet = workbook_add_worksheet(workbook, names[i].empty() ? nullptr : names[i].c_str());
        if (!sheet)
            break;
        sheets.push_back(sheet);
    }
    if (sheets.size() != names.size()) {
        if (workbook)
            workbook_close(workbook);
        reason = workbook ? "a worksheet could not be added" : "out of memory";
        return false;
    }
    for (const Cell& cell : cells) {
        if (cell.sheet >= sheets.size())
            continue;
        lxw_worksheet* sheet = sheets[cell.sheet];
        if (cell.number)
            worksheet_write_number(sheet, cell.row, cell.column, *cell.number, nullptr);
        else
            worksheet_write_string(sheet, cell.row, cell.column, cell.text.c_str(), nullptr);
    }
    errno = 0;
    lxw_error closed = workbook_close(workbook);
    if (closed == LXW_NO_ERROR)
        return true;
    const int cause = errno;
    reason = lxw_strerror(closed);
    if (cause != 0)
        reason += std::string(": ") + std::strerror(cause);
    return false;
}

class XlsxSheetWriter : public SheetWriter {
public:
    void WriteCell(int row, int column, std::string_view text) override
    {
        if (row >= 1 && column >= 1)
            cells_.push_back({names_.size() - 1, static_cast<lxw_row_t>(row - 1), static_cast<lxw_col_t>(column - 1),
                              std::nullopt, CutToCharacters(Cp1252ToUtf8(text), kCellCharacterLimit)});
    }

    void WriteNumber(int row, int column, double value) override
    {
        if (row >= 1 && column >= 1 && std::isfinite(value))
            cells_.push_back(
                {names_.size() - 1, static_cast<lxw_row_t>(row - 1), static_cast<lxw_col_t>(column - 1), value, {}});
    }

    void AddSheet(std::string_view name) override { names_.push_back(Cp1252ToUtf8(name)); }

    bool Save(const std::string& path, std::string& reason) override
    {
        std::error_code error;
        std::string staging = (std::filesystem::temp_directory_path(error) / "tkan-workbook-XXXXXX").string();
        int fd = mkstemp(staging.data());
        if (fd < 0) {
            reason = ErrnoText(errno);
            return false;
        }
        close(fd);
        std::vector<std::uint8_t> bytes;
        bool built = BuildWorkbook(staging, names_, cells_, reason);
        if (built && !ReadWholeFile(staging, bytes, kLargestWorkbook)) {
            reason = ErrnoText(errno);
            built = false;
        }
        unlink(staging.c_str());
        if (!built)
            return false;
        // Replaced as a whole, so a failed export never leaves half a
        // workbook where a good one was.
        if (!WriteFileAtomically(path, bytes.data(), bytes.size())) {
            reason = ErrnoText(errno);
            return false;
        }
        return true;
    }

private:
    std::vector<std::string> names_{""};  // the first sheet keeps the library's name
    std::vector<Cell> cells_;
};

}  // namespace

std::string CellAddress(int row, int column)
{
    std::string letters;
    for (int c = column; c > 0; c = (c - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row);
}

std::unique_ptr<SheetWriter> MakeXlsxSheetWriter()
{
    return std::make_unique<XlsxSheetWriter>();
}

}  // namespace tkan
