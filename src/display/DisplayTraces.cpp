// The traces of the graph: the resistance envelope, the test current, the
// motor-current band of a dynamic test and the reading lines of a static
// one.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "display/DisplayTest.h"
#include "display/GraphMath.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"

namespace tkan {

namespace {

int ReadingsOf(const TestRecord& record)
{
    return std::clamp(record.readingCount, 0, kMaxReadings);
}

struct Number {
    char text[16];
};

Number NumberText(int value)
{
    Number number{};
    std::snprintf(number.text, sizeof number.text, "%d", value);
    return number;
}

}  // namespace

void CDisplayTest::ColumnLine(int x, int y0, int y1)
{
    // Lines leave out their end point; a column whose samples all fall on
    // one row must still show that row.
    columnLines.push_back({x, std::min(y0, y1), std::max(y0, y1) + 1});
}

void CDisplayTest::PlanColumns(std::span<const SampleQuantity> quantities)
{
    const TestRecord* record = CurrentRecord();
    columnLeft = plotRect.left + 1;
    const int right = plotRect.right - 2;
    columnStarts.clear();
    columnPastEnd.clear();
    if (!record || right < columnLeft)
        return;
    const auto columns = static_cast<std::size_t>(right - columnLeft + 1);
    columnStarts.resize(columns + 1);
    columnPastEnd.resize(columns + 1);
    const ColumnToSample toSample = SampleMapping();
    for (std::size_t c = 0; c <= columns; ++c) {
        bool pastEnd = false;
        columnStarts[c] = toSample(columnLeft + static_cast<int>(c), pastEnd);
        columnPastEnd[c] = pastEnd;
    }
    for (SampleQuantity quantity : quantities)
        columnRanges[static_cast<std::size_t>(quantity)].resize(columns);
    auto rangesOf = [&](SampleQuantity quantity) {
        return std::span<ValueRange>(columnRanges[static_cast<std::size_t>(quantity)]);
    };
    if (quantities.size() == 2) {
        SampleEnvelope::Ranges(*record, columnStarts, envelopes.For(*record, quantities[0]), rangesOf(quantities[0]),
                               envelopes.For(*record, quantities[1]), rangesOf(quantities[1]));
    } else {
        for (SampleQuantity quantity : quantities)
            envelopes.For(*record, quantity).Ranges(*record, columnStarts, rangesOf(quantity));
    }
}

template <typename Draw>
void CDisplayTest::ForEachColumn(SampleQuantity quantity, bool skipPastEnd, Draw draw)
{
    const TestRecord* record = CurrentRecord();
    if (!record || columnStarts.empty())
        return;
    const std::vector<ValueRange>& ranges = columnRanges[static_cast<std::size_t>(quantity)];
    const std::size_t columns = columnStarts.size() - 1;
    columnLines.clear();
    for (std::size_t c = 0; c < columns; ++c) {
        const int first = columnStarts[c];
        if (skipPastEnd && (columnPastEnd[c] || SampleToTime(first) > record->trace.seconds))
            continue;
        draw(columnLeft + static_cast<int>(c), ColumnRule(quantity, first, columnStarts[c + 1], ranges[c]));
    }
    surface->ColumnLines(columnLines);
}

void CDisplayTest::DrawTraces()
{
    const int readingSpacing = StaticReadingSpacing();
    for (recordIndex = 0; recordIndex <= overlayCount; ++recordIndex) {
        const TestRecord* record = CurrentRecord();
        if (!record)
            continue;
        const GraphSettings& colours = settings->graphs[static_cast<std::size_t>(recordIndex)];
        SelectPen(colours.crResistance, TracePenWidth());
        if (!record->IsDynamic()) {
            DrawStaticLines(*record, readingSpacing);
            continue;
        }
        const bool resistance = !currentMode && !motorCurrentMode;
        const bool current = currentMode && !motorCurrentMode;
        const bool motor = (motorBand > 0 && colours.DisplayCurrent && !currentMode) || motorCurrentMode;
        std::array<SampleQuantity, 2> quantities{};
        std::size_t planned = 0;
        if (resistance)
            quantities[planned++] = SampleQuantity::Resistance;
        else if (current)
            quantities[planned++] = SampleQuantity::TestCurrent;
        if (motor)
            quantities[planned++] = SampleQuantity::MotorCurrent;
        PlanColumns(std::span<const SampleQuantity>(quantities.data(), planned));

        if (resistance)
            DrawResistanceEnvelope(*record);
        else if (current)
            DrawCurrentTrace(*record);
        if (motor)
            DrawMotorCurrentBand(*record);
    }
    recordIndex = 0;
}

void CDisplayTest::DrawResistanceEnvelope(const TestRecord&)
{
    // A winding's resistance sits on a few values for long stretches, and a
    // decade axis costs a logarithm for each, so the rows of recent values
    // are remembered for this page.
    constexpr int kRowBits = 9;
    rowMemo.assign(std::size_t{1} << kRowBits, MappedRow{std::numeric_limits<double>::quiet_NaN(), 0});
    auto toY = [&](double value) {
        const std::uint64_t hash = std::bit_cast<std::uint64_t>(value) * 0x9E3779B97F4A7C15ull;
        MappedRow& row = rowMemo[static_cast<std::size_t>(hash >> (64 - kRowBits))];
        if (row.value != value)
            row = {value, ResistanceToY(value, gridBottom, pixelsPerDivision)};
        return row.y;
    };
    ForEachColumn(SampleQuantity::Resistance, true,
                  [&](int x, const ValueRange& range) { ColumnLine(x, toY(range.low), toY(range.high)); });
}

void CDisplayTest::DrawCurrentTrace(const TestRecord&)
{
    const double span = currentHigh - currentLow;
    const int height = plotRect.height() - 5;
    auto toY = [&](double value) {
        double fraction = span != 0 ? (value - currentLow) / span : 0;
        return HoldBetween(plotRect.bottom - std::trunc(fraction * height), plotRect.top, gridBottom);
    };
    ForEachColumn(SampleQuantity::TestCurrent, false,
                  [&](int x, const ValueRange& range) { ColumnLine(x, toY(range.low), toY(range.high)); });
}

void CDisplayTest::DrawMotorCurrentBand(const TestRecord& record)
{
    const int h = graphMetrics.lineHeight;
    const int w = graphMetrics.averageWidth;
    const int band = motorCurrentMode ? plotRect.height() : motorBand;
    SelectPen(settings->graphs[static_cast<std::size_t>(recordIndex)].crCurrent, TracePenWidth());
    DrawTextAt(plotRect.left - 2 * w, plotRect.bottom - h / 2 - band / 2, "I");

    const double scale = std::max(std::fabs(record.motorCurrentMin), std::fabs(record.motorCurrentMax));
    const int centre = plotRect.bottom - band / 2;
    const int halfHeight = std::max(0, band / 2 - 5);
    const int bandTop = plotRect.bottom - band;
    // A motor that never ran has no scale: its trace is the flat centre line.
    auto toY = [&](double value) {
        double offset = scale > 0 ? std::trunc(value / scale * halfHeight) : 0;
        return HoldBetween(centre - offset, bandTop, plotRect.bottom);
    };
    ForEachColumn(SampleQuantity::MotorCurrent, false,
                  [&](int x, const ValueRange& range) { ColumnLine(x, toY(range.low), toY(range.high)); });
}

int CDisplayTest::StaticReadingSpacing() const
{
    int most = 0;
    for (int r = 0; r <= overlayCount; ++r) {
        if (const TestRecord* record = RecordAt(r))
            most = std::max(most, ReadingsOf(*record));
    }
    if (most == 0)
        return 0;
    return most == 1 ? plotRect.width() / 2 : plotRect.width() / (most - 1);
}

void CDisplayTest::DrawStaticLines(const TestRecord& record, int spacing)
{
    const int numberY = plotRect.bottom + graphMetrics.lineHeight;
    if (recordIndex == 0) {
        int most = 0;
        for (int r = 0; r <= overlayCount; ++r) {
            if (const TestRecord* shown = RecordAt(r))
                most = std::max(most, ReadingsOf(*shown));
        }
        for (int k = 0; k < most; ++k)
            DrawTextAt(plotRect.left + k * spacing, numberY, NumberText(k + 1).text);
    }

    const GraphSettings& colours = settings->graphs[static_cast<std::size_t>(recordIndex)];
    const int count = ReadingsOf(record);
    std::array<Point, kMaxReadings> points;
    auto drawLine = [&](double StaticReading::*value, CanvasColour colour, bool numbered) {
        for (int k = 0; k < count; ++k) {
            points[static_cast<std::size_t>(k)] = {
                plotRect.left + k * spacing,
                ResistanceToY(record.readings[static_cast<std::size_t>(k)].*value, gridBottom, pixelsPerDivision)};
        }
        SelectPen(colour, TracePenWidth());
        surface->Polyline(std::span<const Point>(points.data(), static_cast<std::size_t>(count)));
        if (numbered) {
            for (int k = 0; k < count; ++k)
                DrawTextAt(points[static_cast<std::size_t>(k)].x, numberY, NumberText(k + 1).text);
        }
    };

    if (colours.DisplayR1)
        drawLine(&StaticReading::r1, colours.crResistance, true);
    if (colours.DisplayR1S && record.tempCorrected)
        drawLine(&StaticReading::r1s, colours.crR1S, false);
    if (record.HasV2()) {
        if (colours.DisplayR2)
            drawLine(&StaticReading::r2, colours.crResistance2, false);
        if (colours.DisplayR2S && record.tempCorrected)
            drawLine(&StaticReading::r2s, colours.crR2S, false);
    }
    if (record.HasV3()) {
        if (colours.DisplayR3)
            drawLine(&StaticReading::r3, colours.crResistance3, false);
        if (colours.DisplayR3S && record.tempCorrected)
            drawLine(&StaticReading::r3s, colours.crR3S, false);
    }
}

}  // namespace tkan
