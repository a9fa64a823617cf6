#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "platform/Canvas.h"

namespace tkan {

class CAppInfo;
class CDisplayTest;
class Prompter;
class ViewDocument;

inline constexpr char kTooManyPointsText[] = "Maximum number of data points exceeded";

// The buttons and Shift as they are at the moment of a mouse event.
struct MouseState {
    bool left = false;
    bool right = false;
    bool shift = false;
};

enum class GraphKey { F1, F5, F6, F7, F8, F9, PageDown, End, PageUp, Home, Left, Right };

// The operator's work on the graph: the cursor and its read-out, the zoom
// by dragging, the two-cursor time measurement, the mode keys and the data
// points. The state lives in the renderer, so a printed page finds the
// cursor; this class holds the rules. Nothing is drawn here when the mouse
// moves: the window is asked to repaint, and the view paints the cursor,
// the band and the read-out over the page it keeps (PaintOverlay).
class GraphInteraction {
public:
    GraphInteraction(CDisplayTest& graph, ViewDocument& doc, const CAppInfo& settings, Prompter& prompter,
                     std::recursive_mutex& displayLock);

    // `page`: the graph itself changed and the whole page must be drawn
    // again; otherwise only the marks over it moved.
    std::function<void(bool page)> repaint;
    std::function<void()> showHelp;
    std::function<void()> showDataPoints;

    // A move, or a button released (which ends a drag).
    void MouseMoved(int x, int y, MouseState mouse);
    // Restore the time scale (left) or the vertical ranges (right).
    void DoubleClicked(bool left);
    // Ctrl with the wheel: the time axis zooms around x, `notches` > 0 in.
    void WheelZoom(int x, int y, int notches);
    // True when the key was one of the graph's.
    bool KeyReleased(GraphKey key, bool shift);

    // Where the page lies in the window; the read-out starts at its left.
    void SetPage(const Rect& page) { page_ = page; }
    // Cursor or band, then the read-out boxes.
    void PaintOverlay(Canvas& canvas) const;
    // The places PaintOverlay may touch; none when it paints nothing.
    std::vector<Rect> OverlayParts() const;

    void TrackMouse(int x, int y, MouseState mouse);
    void ShowReadout(int x, bool twoCursors);
    // Takes the cursor, the band and the read-out away.
    void ClearMarks();

private:
    bool GraphShown() const;
    // The renderer on the document's records as they are now.
    void Rebind();
    void EndDrag(int x, int y);
    void ZoomVertically(int y0, int y1);
    void RestoreTimeScale();
    double LongestRecord() const;
    void AddDataPoint();
    void StepCursor(int pixels);
    void Repaint(bool page);

    CDisplayTest& graph_;
    ViewDocument& doc_;
    const CAppInfo& settings_;
    Prompter& prompter_;
    std::recursive_mutex& displayLock_;
    Rect page_;
    // The read-out font of the last paint, for the area the next one may
    // touch.
    mutable TextMetrics readoutMetrics_;
    // Keeps the tracker from running inside itself when a message pump
    // turns inside it.
    bool busy_ = false;
    int lastY_ = 0;
};

}  // namespace tkan
