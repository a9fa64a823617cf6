#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "display/DisplayTest.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"
#include "sim/RecordEncoder.h"
#include "support/RecordingCanvas.h"

namespace tkan::graphtest {

struct SampleValues {
    double resistance = 0;  // micro-ohms
    double current = 0;     // amperes
    double motorCurrent = 0;
};

// A dynamic record at 1000 samples/s whose sample i holds values(i), with
// its ranges computed as the loader computes them.
inline std::unique_ptr<TestRecord> MakeDynamic(int seconds, const std::function<SampleValues(int)>& values,
                                               int sampleCount = -1)
{
    auto record = std::make_unique<TestRecord>();
    record->testType = 5;
    int count = sampleCount >= 0 ? sampleCount : seconds * 1000;
    record->trace.samples.reserve(static_cast<std::size_t>(count) * kSampleSize);
    for (int i = 0; i < count; ++i) {
        SampleValues v = values(i);
        auto bytes = EncodeSample(v.resistance, v.current, v.motorCurrent);
        record->trace.samples.insert(record->trace.samples.end(), bytes.begin(), bytes.end());
    }
    record->trace.sampleCount = count;
    record->trace.seconds = seconds;
    record->ComputeDynamicRanges();
    return record;
}

inline std::unique_ptr<TestRecord> MakeConstant(int seconds, SampleValues v)
{
    return MakeDynamic(seconds, [v](int) { return v; });
}

// A static V1 record (type 1) with these R1 values.
inline std::unique_ptr<TestRecord> MakeStatic(const std::vector<double>& r1, int testType = 1)
{
    auto record = std::make_unique<TestRecord>();
    record->testType = testType;
    record->readingCount = static_cast<int>(r1.size());
    for (std::size_t k = 0; k < r1.size(); ++k) {
        record->readings[k].r1 = r1[k];
        record->readings[k].r2 = r1[k] * 2;
        record->readings[k].r3 = r1[k] * 3;
    }
    record->ComputeStaticRanges();
    return record;
}

// The renderer drawn into a recording canvas with a line height of 10 and a
// character width of 6: the plot is (90, 10) to (976, 800) inside
// (0, 0, 1000, 840).
class GraphHarness {
public:
    static constexpr Rect kPage{0, 0, 1000, 840};

    GraphHarness()
    {
        // Distinct colours, so each trace can be told apart in the recording.
        settings.crForeGround = CanvasRgb(1, 2, 3);
        settings.crBackground = CanvasRgb(4, 5, 6);
        settings.crGraphBG = CanvasRgb(7, 8, 9);
        for (int r = 0; r < kGraphCount; ++r) {
            GraphSettings& g = settings.graphs[static_cast<std::size_t>(r)];
            g.crResistance = CanvasRgb(100 + r, 0, 0);
            g.crCurrent = CanvasRgb(0, 100 + r, 0);
            g.crR1S = CanvasRgb(0, 0, 100 + r);
            g.crResistance2 = CanvasRgb(50 + r, 50, 0);
            g.crR2S = CanvasRgb(50 + r, 0, 50);
            g.crResistance3 = CanvasRgb(0, 50 + r, 50);
            g.crR3S = CanvasRgb(30 + r, 30, 30);
        }
    }

    void Draw(const TestRecord& main, std::vector<const TestRecord*> overlays = {}, bool printing = false,
              Rect page = kPage)
    {
        canvas.Clear();
        graph.Bind(&canvas, settings, main, overlays, printing);
        graph.DrawGraph(page);
    }

    // The dynamic default a newly opened test gets: the whole record shown.
    void ShowWholeRecord(const TestRecord& record)
    {
        graph.timeStart = 0;
        graph.timeEnd = record.trace.seconds;
    }

    CanvasColour ResistanceColour(int r) const { return settings.graphs[static_cast<std::size_t>(r)].crResistance; }
    CanvasColour MotorColour(int r) const { return settings.graphs[static_cast<std::size_t>(r)].crCurrent; }

    CAppInfo settings;
    RecordingCanvas canvas;
    CDisplayTest graph;
};

}  // namespace tkan::graphtest
