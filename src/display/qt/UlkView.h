#pragma once

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "display/DisplayTest.h"
#include "display/ResultsPage.h"
#include "platform/qt/QtImage.h"

class QLineEdit;
class QTableWidget;

namespace tkan {

class CAppInfo;
class ViewDocument;

// The main window's view of the document: the header page with its edits,
// and below it the graph or the results grid of a static test.
class CUlkView : public QWidget {
    Q_OBJECT

public:
    CUlkView(ViewDocument& doc, const CAppInfo& settings, QWidget* parent = nullptr);

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
    // Held by page drawing, grid set-up and the mouse tracking on the graph.
    std::recursive_mutex& DisplayLock() { return displayLock_; }

    // Null until the edit has been placed for the first time.
    QLineEdit* HeaderEdit(HeaderField field) const { return edits_[static_cast<std::size_t>(field)]; }
    QTableWidget* Grid() const { return grid_; }
    const ScreenPageLayout& LastLayout() const { return layout_; }

    // Drawn over every page once the page itself is done, on the same
    // canvas: where the graph's cursors go back on after a repaint.
    std::function<void(Canvas&)> drawOverPage;

signals:
    // After every paint; the start-up measurement waits for the first.
    void painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyLayout(const ScreenPageLayout& layout);
    QLineEdit* EnsureEdit(std::size_t index);
    void SetupGrid();
    void FillGrid(const ResultsGridContents& contents);
    void FitColumns();
    // Enter in a header edit.
    void CommitAndRecompute();
    void MoveFocus(QLineEdit* from, bool backwards);
    std::array<HeaderEditValue, kHeaderEditCount> EditValues() const;
    std::vector<std::string> GridNotes() const;
    void ForgetOperatorTyping();

    ViewDocument& doc_;
    const CAppInfo& settings_;
    CDisplayTest renderer_;
    std::recursive_mutex displayLock_;

    std::array<QLineEdit*, kHeaderEditCount> edits_{};
    // What the page last put into each edit, so that an edit the operator
    // did not touch leaves its field as it is.
    std::array<std::string, kHeaderEditCount> shown_{};
    QTableWidget* grid_ = nullptr;
    int notesColumn_ = -1;
    ScreenPageLayout layout_;
    std::unique_ptr<QtImage> logo_;
};

}  // namespace tkan
