#pragma once

#include <QImage>
#include <QRegion>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "analysis/Transitions.h"
#include "display/DisplayTest.h"
#include "display/GraphInteraction.h"
#include "display/ResultsPage.h"
#include "display/TransitionTable.h"
#include "platform/qt/QtImage.h"

class QLabel;
class QLineEdit;
class QTableWidget;

namespace tkan {

class CAppInfo;
class Prompter;
class ViewDocument;

// The main window's view of the document: the header page with its edits,
// and below it the graph, the results grid of a static test or the
// transitions table of a dynamic one.
class CUlkView : public QWidget {
    Q_OBJECT

public:
    CUlkView(ViewDocument& doc, const CAppInfo& settings, Prompter& prompter, QWidget* parent = nullptr);

    // A test has just been opened.
    void OnInitialUpdate();
    void OnUpdate();
    // The header edits and the Notes column into the main record.
    void CommitEdits();
    ViewDocument& Document() { return doc_; }
    // The printed report's logo, read from the "LogoFile" setting when the
    // view is made; again after Application Setup changed it. Null when the
    // file is missing or holds no picture.
    void ReloadLogo();
    const CanvasImage* Logo() const { return logo_.get(); }

    CDisplayTest& Renderer() { return renderer_; }
    GraphInteraction& Graph() { return graph_; }
    // The page is drawn again at the next paint; the cursor and the
    // read-out are painted over whatever page is kept.
    void RedrawPage();
    // Held by page drawing, grid set-up and the mouse tracking on the graph.
    std::recursive_mutex& DisplayLock() { return displayLock_; }

    // Null until the edit has been placed for the first time.
    QLineEdit* HeaderEdit(HeaderField field) const { return edits_[static_cast<std::size_t>(field)]; }
    QTableWidget* Grid() const { return grid_; }
    QTableWidget* TransitionsTable() const { return transitionsTable_; }
    QLabel* MotorRunLabel() const { return motorRunLabel_; }
    // The main record's transitions as last analysed.
    const TransitionReport& Transitions() const { return transitions_; }
    // The graph again, zoomed to the transition of a table row with a
    // margin on either side.
    void ZoomToTransitionRow(int row);
    const ScreenPageLayout& LastLayout() const { return layout_; }

signals:
    // After every paint; the start-up measurement waits for the first.
    void painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DrawPageImage();
    // Only the cursor, the band or the read-out changed: the places they
    // left and the places they took are painted again from the kept page.
    void RepaintMarks();
    void ShowDataPoints();
    void ApplyLayout(const ScreenPageLayout& layout);
    QLineEdit* EnsureEdit(std::size_t index);
    void SetupGrid();
    void FillGrid(const ResultsGridContents& contents);
    void FitColumns();
    // The transitions of the records shown, analysed again only for a new
    // test, other overlays or other settings; the marks and the table
    // follow.
    void RefreshTransitions(bool testChanged);
    void FillTransitionsTable();
    // Enter in a header edit.
    void CommitAndRecompute();
    void MoveFocus(QLineEdit* from, bool backwards);
    std::array<HeaderEditValue, kHeaderEditCount> EditValues() const;
    std::vector<std::string> GridNotes() const;
    void ForgetOperatorTyping();

    ViewDocument& doc_;
    const CAppInfo& settings_;
    Prompter& prompter_;
    CDisplayTest renderer_;
    std::recursive_mutex displayLock_;
    GraphInteraction graph_;
    // The last page drawn, without the mouse's marks.
    QImage page_;
    bool pageStale_ = true;
    QRegion marksPainted_;
    int wheelRemainder_ = 0;

    std::array<QLineEdit*, kHeaderEditCount> edits_{};
    // What the page last put into each edit, so that an edit the operator
    // did not touch leaves its field as it is.
    std::array<std::string, kHeaderEditCount> shown_{};
    QTableWidget* grid_ = nullptr;
    int notesColumn_ = -1;
    QTableWidget* transitionsTable_ = nullptr;
    QLabel* motorRunLabel_ = nullptr;
    TransitionReport transitions_;
    std::array<TransitionReport, kMaxOverlays> overlayTransitions_;
    // The settings the reports were made with; none before the first.
    std::optional<TransitionSettings> analysedWith_;
    TransitionTable table_;
    ScreenPageLayout layout_;
    std::unique_ptr<QtImage> logo_;
};

}  // namespace tkan
