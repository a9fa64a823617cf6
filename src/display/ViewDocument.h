#pragma once

#include <array>

namespace tkan {

class TestRecord;

// What the view draws and edits: the test on screen and its overlays. The
// application's document provides it; the view knows nothing else of it.
class ViewDocument {
public:
    virtual ~ViewDocument() = default;

    virtual TestRecord& Main() = 0;
    virtual const TestRecord& Main() const = 0;
    virtual bool TestLoaded() const = 0;
    // The overlays in use, then nulls.
    virtual std::array<const TestRecord*, 2> ShownOverlays() const = 0;
    // A dynamic test shows its graph and a static one its readings until
    // the operator switches.
    virtual bool GraphShown() const = 0;
    // "Graph/Results": a static test's readings or a dynamic test's
    // transitions, and back to the graph.
    virtual void ToggleGraph() = 0;
};

}  // namespace tkan
