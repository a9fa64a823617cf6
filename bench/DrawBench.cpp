// What a full graph page of the largest dynamic test costs, with two
// overlays, on a plot 1920 pixels wide drawn into an image: once with the
// traces and once without them. The traces should cost no more than the rest
// of the page: "traces_x_rest", what the traces add over the page without
// them, should stay within 1.
//
// Each page is bound afresh, as the view binds before every paint, so the
// check of the cached min/max pyramids against the records is in the figure.
// BM_FirstPage adds building those pyramids, as the first paint after a
// record is opened pays it.
//
// BM_MouseMoveAgainstPage sets a mouse move over the same plot (the
// read-out of all three records, then the window repainted where the cursor
// and the read-out were and are, from the kept page) against a full page:
// "move_share" should stay under 0.05. The same move is also set against
// the whole screen page the view draws (header, graph and window).

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "display/DisplayTest.h"
#include "display/GraphInteraction.h"
#include "display/ResultsPage.h"
#include "display/ViewDocument.h"
#include "display/qt/KeptPage.h"
#include "platform/Prompter.h"
#include "platform/qt/QtCanvas.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"
#include "sim/RecordEncoder.h"

using namespace tkan;

namespace {

using Clock = std::chrono::steady_clock;

// A 1000-samples/s trace as long as the 2 MiB record buffer holds: a tap
// change every 6 s with its 40-ms transition, the drive motor running
// around it, and a little fixed noise so neighbouring columns differ.
std::unique_ptr<TestRecord> LargestDynamicRecord(double windingMicroOhm)
{
    auto record = std::make_unique<TestRecord>();
    record->testType = 5;
    const int rate = 1000;
    const int seconds = static_cast<int>((kRecordBufferSize - kRecordHeaderSize) / kSampleSize / rate);
    const int count = seconds * rate;
    record->trace.samples.reserve(static_cast<std::size_t>(count) * kSampleSize);
    std::uint32_t noise = 12345;
    for (int i = 0; i < count; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double jitter = static_cast<double>(noise >> 24) / 255.0 - 0.5;
        const int inCycle = i % 6000;
        const int tap = i / 6000;
        double r = windingMicroOhm + 38.0 * tap + jitter * 3;
        double current = 10 + jitter * 0.02;
        double motor = 0;
        if (inCycle >= 3000 && inCycle < 3040) {
            r *= 4;  // the transition resistor in circuit
            current = 9.2;
        }
        if (inCycle >= 1000 && inCycle < 5000)
            motor = inCycle < 1100 ? 6.5 : 2.1 + jitter * 0.1;
        const auto bytes = EncodeSample(r, current, motor);
        record->trace.samples.insert(record->trace.samples.end(), bytes.begin(), bytes.end());
    }
    record->trace.sampleCount = count;
    record->trace.seconds = seconds;
    record->trace.revision = NewTraceRevision();  // as the loaders leave it
    record->ComputeDynamicRanges();
    return record;
}

struct Page {
    Page() : main(LargestDynamicRecord(2450)), first(LargestDynamicRecord(2510)), second(LargestDynamicRecord(2390))
    {
        overlays = {first.get(), second.get()};
        // Widen the page until the plot inside it is 1920 pixels across.
        int width = 2000;
        for (int tries = 0; tries < 20; ++tries) {
            image = QImage(width, 1080, QImage::Format_RGB32);
            Draw(graph);
            const int plot = graph.PlotRect().width();
            if (plot >= 1920)
                break;
            width += 1920 - plot;
        }
    }

    void Draw(CDisplayTest& onto)
    {
        QPainter painter(&image);
        QtCanvas canvas(painter);
        onto.Bind(&canvas, settings, *main, overlays, false);
        onto.timeStart = 0;
        onto.timeEnd = main->trace.seconds;
        onto.DrawGraph({0, 0, image.width(), image.height()});
    }

    CAppInfo settings;
    std::unique_ptr<TestRecord> main, first, second;
    std::vector<const TestRecord*> overlays;
    QImage image;
    CDisplayTest graph;
};

Page& ThePage()
{
    static Page page;
    return page;
}

// The two pages are drawn in turn in every iteration, so that both see the
// same state of the machine and the ratio holds even when the clock does not.
void BM_PageWithAndWithoutTraces(benchmark::State& state)
{
    Page& page = ThePage();
    double with = 0, without = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        page.graph.drawTraces = false;
        page.Draw(page.graph);
        const auto t1 = Clock::now();
        page.graph.drawTraces = true;
        page.Draw(page.graph);
        benchmark::ClobberMemory();
        const auto t2 = Clock::now();
        without += std::chrono::duration<double>(t1 - t0).count();
        with += std::chrono::duration<double>(t2 - t1).count();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["page_ms"] = 1000 * without / n;
    state.counters["page_with_traces_ms"] = 1000 * with / n;
    // What the traces add, against the rest of the page: target at most 1.
    state.counters["traces_x_rest"] = (with - without) / without;
    state.counters["plot_px"] = page.graph.PlotRect().width();
    state.counters["samples"] = 3.0 * page.main->trace.sampleCount;
}
BENCHMARK(BM_PageWithAndWithoutTraces)->Unit(benchmark::kMillisecond);

void BM_FirstPage(benchmark::State& state)
{
    Page& page = ThePage();
    for (auto _ : state) {
        CDisplayTest fresh;  // no pyramids yet
        page.Draw(fresh);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FirstPage)->Unit(benchmark::kMillisecond);

class PageDocument : public ViewDocument {
public:
    explicit PageDocument(Page& page) : page(page) {}
    TestRecord& Main() override { return *page.main; }
    const TestRecord& Main() const override { return *page.main; }
    bool TestLoaded() const override { return true; }
    std::array<const TestRecord*, 2> ShownOverlays() const override { return {page.first.get(), page.second.get()}; }
    bool GraphShown() const override { return true; }
    void ToggleGraph() override {}

private:
    Page& page;
};

class SilentPrompter : public Prompter {
public:
    void Message(MessageStyle, const std::string&) override {}
    Answer Ask(MessageStyle, const std::string&, QuestionButtons) override { return Answer::Cancel; }
};

void BM_MouseMoveAgainstPage(benchmark::State& state)
{
    constexpr int kMovesPerPage = 20;
    Page& page = ThePage();
    page.Draw(page.graph);
    // The header font of a page this tall, as the view would set it.
    page.graph.SetPageMetrics({page.image.height() / 50, page.image.height() / 110});
    PageDocument doc(page);
    SilentPrompter prompter;
    std::recursive_mutex lock;
    GraphInteraction interaction(page.graph, doc, page.settings, prompter, lock);
    interaction.SetPage({0, 0, page.image.width(), page.image.height()});
    QImage window(page.image.size(), QImage::Format_RGB32);
    QRegion painted;
    QRegion dirty;
    interaction.repaint = [&](bool) {
        QRegion now;
        for (const Rect& part : interaction.OverlayParts())
            now += QRect(part.left, part.top, part.width(), part.height());
        dirty = painted + now;
        painted = now;
    };
    const Rect plot = page.graph.PlotRect();
    const int y = (plot.top + plot.bottom) / 2;
    int step = 0;
    double pages = 0, moves = 0, screens = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        page.Draw(page.graph);
        benchmark::ClobberMemory();
        const auto t1 = Clock::now();
        for (int k = 0; k < kMovesPerPage; ++k) {
            const int x = plot.left + 1 + (++step * 37) % (plot.width() - 2);
            interaction.MouseMoved(x, y, {});
            QPainter painter(&window);
            PaintKeptPage(painter, page.image, dirty, &interaction);
        }
        benchmark::ClobberMemory();
        const auto t2 = Clock::now();
        // What the view does for a whole page: the screen page with its
        // header around the graph, then the window from it.
        {
            QPainter painter(&page.image);
            QtCanvas canvas(painter);
            DrawScreenPage(canvas, {0, 0, page.image.width(), page.image.height()}, page.settings, *page.main,
                           page.overlays, true, true, page.graph);
        }
        {
            QPainter painter(&window);
            PaintKeptPage(painter, page.image, QRegion(window.rect()), &interaction);
        }
        benchmark::ClobberMemory();
        const auto t3 = Clock::now();
        pages += std::chrono::duration<double>(t1 - t0).count();
        moves += std::chrono::duration<double>(t2 - t1).count() / kMovesPerPage;
        screens += std::chrono::duration<double>(t3 - t2).count();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["page_ms"] = 1000 * pages / n;
    state.counters["move_ms"] = 1000 * moves / n;
    state.counters["move_share"] = moves / pages;
    state.counters["screen_page_ms"] = 1000 * screens / n;
    state.counters["move_share_of_screen_page"] = moves / screens;
}
BENCHMARK(BM_MouseMoveAgainstPage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    // Fonts and images need a GUI application, not a screen.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
