#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Canvas.h"

namespace tkan {

class CAppInfo;
class CDisplayTest;
class TestRecord;

// The header edits of the screen page, in the order they are created and
// Tab walks them.
enum class HeaderField { Company, Station, Circuit, Operator, Mfr, Model, Serial, RefTemp };
constexpr int kHeaderEditCount = 8;
constexpr int kHeaderEditMaxLength = 20;

inline constexpr char kHeaderFontFace[] = "MS Sans Serif";

// Where one header edit goes on the page and what it shows of the record.
struct EditPlacement {
    bool placed = false;  // in use for this record
    Rect rect;
    std::string text;  // Windows-1252
};

// The screen page worked out for one client rectangle and one record: the
// page font's grid, the edits, and the areas of the graph and of the grid.
struct ScreenPageLayout {
    TextMetrics metrics;
    Rect client;
    Rect inner;
    bool testLoaded = false;
    std::array<EditPlacement, kHeaderEditCount> edits{};
    int resultsTop = 0;
    bool graphShown = false;
    Rect graphRect;
    bool gridShown = false;
    // A dynamic test switched from its graph shows its transitions where
    // a static test shows its grid.
    bool transitionsShown = false;
    Rect gridRect;

    // The character grid, counted from the window's origin.
    int Column(int c) const { return c * metrics.averageWidth; }
    int Row(int r) const { return r * metrics.lineHeight; }
};

// The header font grows with the window so that the page keeps its shape.
int HeaderFontHeight(const Rect& client);

// What an edit shows of the record: the field without its trailing blanks,
// at most as long as the edit takes; the reference temperature as "%2.1lf".
std::string HeaderEditText(HeaderField field, const TestRecord& record);
// The label the page draws beside a field's edit, Windows-1252.
const char* HeaderEditLabel(HeaderField field);

// `graphShown` is the document's answer (a dynamic test, or a static test
// switched to its graph).
ScreenPageLayout LayoutScreenPage(const TextMetrics& metrics, const Rect& client, const TestRecord& main,
                                  bool testLoaded, bool graphShown);

// The screen page: binds the renderer to the canvas and the records, and
// for a loaded test draws the header texts, the labels and, when shown, the
// graph. Edits and the grid are windows of their own; the caller places
// them from the layout returned.
ScreenPageLayout DrawScreenPage(Canvas& canvas, const Rect& client, const CAppInfo& settings, const TestRecord& main,
                                std::span<const TestRecord* const> overlays, bool testLoaded, bool graphShown,
                                CDisplayTest& renderer);

// The renderer for a newly opened test: the keys' modes and the zoom undone,
// and a dynamic test shown from its start to the end of its longest record.
void ResetForNewTest(CDisplayTest& renderer, const TestRecord& main, std::span<const TestRecord* const> overlays,
                     bool testLoaded);

// The results grid of a static test, as texts.
struct ResultsGridContents {
    int columnCount = 0;
    int notesColumn = 0;
    std::vector<std::string> headings;
    std::vector<std::string> rowHeadings;
    std::vector<std::vector<std::string>> cells;  // [row][column]

    bool ReadOnly(int column) const { return column != notesColumn; }
};

// A record held as text has no third winding, so it gets no R3 columns.
int ResultsGridColumnCount(const TestRecord& record);
ResultsGridContents BuildResultsGrid(const TestRecord& record);

// One header edit as the view holds it.
struct HeaderEditValue {
    bool exists = false;
    std::string shown;    // what the page last put into it
    std::string current;  // what it holds now
};

// A reference temperature as the operator typed it: the leading number, or
// 0 when there is none.
double ParseReferenceTemp(std::string_view text);

// Writes the operator's edits back into the record. An edit whose text is
// still what the page put there leaves its field alone, so a field longer
// than an edit holds, or a temperature finer than the edit shows, survives a
// save untouched. The reference temperature is taken only while the record
// is corrected: the edit keeps the text of an earlier test otherwise. `notes`
// (one per reading row, for a static test) replaces the notes; a TAB or line
// break typed into a note would split it, so those become blanks.
void CommitEdits(TestRecord& record, const std::array<HeaderEditValue, kHeaderEditCount>& edits,
                 const std::vector<std::string>* notes);

// Enter (or Tab) in a header edit: the edits go into the record, the
// corrected readings follow the new reference temperature, and the grid is
// filled again from the record.
ResultsGridContents CommitHeaderEnter(TestRecord& record, const std::array<HeaderEditValue, kHeaderEditCount>& edits,
                                      const std::vector<std::string>* notes);

}  // namespace tkan
