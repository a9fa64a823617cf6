#include "display/DisplayTest.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string>

#include "display/GraphMath.h"
#include "display/TextFormat.h"
#include "display/TransitionMarks.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

constexpr CanvasColour kLightGrey = CanvasRgb(192, 192, 192);

// Bottom to top: the line of each decade of the full scale. The bottom line
// stands for 10 micro-ohms and is labelled so.
constexpr const char* kDecadeLabels[] = {"1000 Ohm",  "100 Ohm",   " 10 Ohm",   "  1 Ohm",  "100 m-Ohm",
                                         " 10 m-Ohm", "  1 m-Ohm", "100 u-Ohm", " 10 u-Ohm"};
constexpr int kDecadeLabelCount = 9;

// More ticks than any span gives; a time range far beyond a real test (or
// one where adding a step no longer changes the time) must not hang the
// draw.
constexpr int kMaxTimeTicks = 100;

constexpr char kDynamicKeyHelp[] =
    "F1=Help  F8=Add-Point  F9=Edit-Points  F5=Scale-Mode F6=Current-Mode F7=Motor-Current    ";
constexpr char kStaticKeyHelp[] = "F1=Help  F5=Scale-Mode      ";

}  // namespace

void CDisplayTest::Bind(Canvas* target, const CAppInfo& appSettings, const TestRecord& main,
                        std::span<const TestRecord* const> shownOverlays, bool onPrinter)
{
    surface = target;
    settings = &appSettings;
    mainRecord = &main;
    overlays = {};
    overlayCount = 0;
    for (const TestRecord* overlay : shownOverlays) {
        if (overlay && overlayCount < kMaxOverlays)
            overlays[static_cast<std::size_t>(overlayCount++)] = overlay;
    }
    printing = onPrinter;
    recordIndex = 0;

    for (int r = 0; r <= overlayCount; ++r)
        envelopes.Refresh(*RecordAt(r));
    if (currentZoomed)
        return;
    currentLow = main.currentMin;
    currentHigh = main.currentMax;
    for (int r = 1; r <= overlayCount; ++r) {
        const TestRecord& overlay = *RecordAt(r);
        if (overlay.currentMin < currentLow)
            currentLow = overlay.currentMin;
        if (overlay.currentMax > currentHigh)
            currentHigh = overlay.currentMax;
    }
}

double FullTimeScaleEnd(const TestRecord& main, std::span<const TestRecord* const> overlays)
{
    double end = main.trace.seconds;
    for (const TestRecord* overlay : overlays)
        if (overlay)
            end = std::max(end, static_cast<double>(overlay->trace.seconds));
    return end;
}

void CDisplayTest::Reset()
{
    linearScale = false;
    currentMode = false;
    motorCurrentMode = false;
    recordIndex = 0;
    lowestDecade = 0;
    divisionCount = 8;
    timeStart = timeEnd = 0;
    currentLow = currentHigh = 0;
    capture = {};
    currentZoomed = false;
    cursor = {};
    readout = {};
}

void CDisplayTest::SelectPen(CanvasColour colour, int width)
{
    if (printing && (colour == kLightGrey || colour == kCanvasWhite))
        colour = kCanvasBlack;
    surface->SetPen(colour, width);
}

void CDisplayTest::DrawTextAt(int x, int y, std::string_view text)
{
    surface->DrawText(x, y, text);
}

void CDisplayTest::DrawGraph(const Rect& rect)
{
    if (!surface || !settings || !mainRecord)
        return;
    Canvas& canvas = *surface;
    const TestRecord& main = *mainRecord;

    canvas.SetXorMode(false);
    graphMetrics = canvas.SelectFont("Courier New", kFontBold, rect.height() / (printing ? 40 : 35));
    const int h = graphMetrics.lineHeight;
    const int w = graphMetrics.averageWidth;
    // Paper has no screen colours behind the text.
    canvas.SetTextColour(printing ? kCanvasBlack : settings->crForeGround);
    canvas.SetTextBackground(settings->crBackground, false);

    if (!printing)
        DrawKeyHelp(rect, main);

    // The printed report keeps its graph as it was; its transitions have a
    // page of their own.
    const bool marks = transitionMarks && main.IsDynamic() && !printing;
    plotRect = {rect.left + 15 * w, rect.top + (marks ? 2 : 1) * h, rect.right - 4 * w, rect.bottom - 3 * h};
    motorBand = main.IsDynamic() && !currentMode && !motorCurrentMode ? std::max(0, plotRect.height() / 12) : 0;
    gridBottom = plotRect.bottom - motorBand;
    pixelsPerDivision = divisionCount > 0 ? (gridBottom - plotRect.top) / divisionCount : 0;

    if (!printing) {
        SelectPen(settings->crGraphBG, 2);
        canvas.SetBrush(settings->crGraphBG);
        canvas.Rectangle(plotRect);
    }
    SelectPen(settings->crForeGround, TracePenWidth());
    canvas.SetNoBrush();
    canvas.Rectangle(plotRect);

    DrawGrid();
    DrawAxisLabels(rect, main);
    if (main.IsDynamic())
        DrawTimeAxis();
    if (drawTraces)
        DrawTraces();
    if (marks)
        DrawTransitionMarks(*this, *transitionMarks);

    if (printing)
        DrawCursorMark(canvas, *this);
}

void CDisplayTest::DrawKeyHelp(const Rect& rect, const TestRecord& main)
{
    std::string_view text = main.IsDynamic() ? kDynamicKeyHelp : kStaticKeyHelp;
    DrawTextAt(rect.right - surface->TextWidth(text), rect.top, text);
}

void CDisplayTest::DrawGrid()
{
    if (divisionCount <= 0)
        return;
    Canvas& canvas = *surface;
    const int left = plotRect.left;
    const int right = plotRect.right;
    const int p = pixelsPerDivision;

    SelectPen(settings->crForeGround, 2);
    for (int i = 0; i < divisionCount; ++i) {
        int y = gridBottom - i * p;
        canvas.Line(left, y, right - 1, y);
    }

    SelectPen(settings->crForeGround, 1);
    const bool decadeAxis = !linearScale && !currentMode && !motorCurrentMode;
    for (int v = 1; v <= divisionCount; ++v) {
        int a = plotRect.top + v * p;
        for (int k = 1; k <= 4; ++k) {
            int y = decadeAxis ? a - IntegerPart(std::log10(2.0 * k) * p) : a - k * (p / 5);
            canvas.Line(left, y, right, y);
        }
    }
}

void CDisplayTest::DrawAxisLabels(const Rect& rect, const TestRecord& main)
{
    if (divisionCount <= 0)
        return;
    const int x = rect.left + graphMetrics.averageWidth;
    const double divisions = divisionCount;
    for (int i = 0; i <= divisionCount; ++i) {
        const int y = plotRect.top + i * pixelsPerDivision - graphMetrics.lineHeight / 2;
        if (motorCurrentMode) {
            double high = main.motorCurrentMax;
            double low = main.motorCurrentMin;
            DrawTextAt(x, y, FormatText("%.3lf A", high - i * (high - low) / divisions));
        } else if (currentMode) {
            DrawTextAt(x, y, FormatText("%.3lf A", currentHigh - i * (currentHigh - currentLow) / divisions));
        } else if (linearScale) {
            int j = divisionCount - i;
            DrawTextAt(x, y,
                       FormatResistance(resistanceLow + j * (resistanceHigh - resistanceLow) / divisions, true, true));
        } else {
            int label = i + 8 - divisionCount - lowestDecade;
            if (label >= 0 && label < kDecadeLabelCount)
                DrawTextAt(x, y, kDecadeLabels[label]);
        }
    }
}

void CDisplayTest::DrawTimeAxis()
{
    const int h = graphMetrics.lineHeight;
    const int w = graphMetrics.averageWidth;
    const double span = timeEnd - timeStart;
    double step = 0.5;
    if (span > 20)
        step = IntegerPart(span) / 10;
    else if (span > 6)
        step = 1;

    // Zoomed in below a second (a transition and its surroundings), half a
    // second would leave one tick or none: the step shrinks to give four
    // or more, and the ticks sit on its multiples so that their labels,
    // with as many decimals as the step needs, are exact.
    double u = timeStart;
    int decimals = 1;
    if (span < 1) {
        constexpr double kFineSteps[] = {0.2, 0.1, 0.05, 0.02, 0.01, 0.005, 0.002, 0.001};
        constexpr int kFineDecimals[] = {1, 1, 2, 2, 2, 3, 3, 3};
        for (std::size_t k = 0; k < std::size(kFineSteps); ++k) {
            step = kFineSteps[k];
            decimals = kFineDecimals[k];
            if (span / step >= 4)
                break;
        }
        u = std::floor(timeStart / step) * step;
    }

    if (timeStart <= timeEnd && span > 0) {
        SelectPen(settings->crForeGround, 1);
        int ticks = 0;
        do {
            u += step;
            int x = plotRect.left + IntegerPart((u - timeStart) / span * plotRect.width());
            if (x > plotRect.right)
                break;
            surface->Line(x, plotRect.bottom, x, plotRect.top);
            std::string label = FormatText("%.*lf", decimals, u);
            DrawTextAt(x - static_cast<int>(label.size()) * w / 2, plotRect.bottom + h, label);
        } while (u <= timeEnd && ++ticks < kMaxTimeTicks);
    }
    DrawTextAt(plotRect.left, plotRect.bottom + h, "SEC");
}

}  // namespace tkan
