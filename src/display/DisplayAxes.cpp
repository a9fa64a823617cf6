// The axis mathematics of the graph: the vertical resistance mapping, the
// time mapping of pixel columns to samples and the range changes the keys
// and the zoom make.

#include <algorithm>
#include <cmath>

#include "display/DisplayTest.h"
#include "display/GraphMath.h"
#include "records/TestRecord.h"

namespace tkan {

namespace {

// A static record without readings keeps this as its "no value yet" range.
constexpr double kNoRange = -999;

bool HasRange(const TestRecord& record)
{
    return !(record.resistanceMin == kNoRange && record.resistanceMax == kNoRange);
}

}  // namespace

const TestRecord* CDisplayTest::RecordAt(int index) const
{
    if (index == 0)
        return mainRecord;
    if (index >= 1 && index <= overlayCount)
        return overlays[static_cast<std::size_t>(index - 1)];
    return nullptr;
}

int CDisplayTest::ResistanceToY(double value, int bottomY, int divisionPixels) const
{
    const int top = plotRect.top;
    double y = bottomY;
    if (linearScale) {
        double span = resistanceHigh - resistanceLow;
        double fraction = span != 0 ? (value - resistanceLow) / span : 0;
        y = bottomY - std::trunc(fraction * (bottomY - top));
    } else if (value > 0) {
        // Each decade is one division; the value's place inside its decade
        // is logarithmic.
        int decade = 0;
        double divisor = 10;
        static constexpr double kDecadeFloors[] = {10000000, 1000000, 100000, 10000, 1000, 100};
        for (int k = 0; k < 6; ++k) {
            if (value > kDecadeFloors[k]) {
                decade = 6 - k;
                divisor = kDecadeFloors[k];
                break;
            }
        }
        y = static_cast<double>(bottomY) - static_cast<double>(divisionPixels) * (decade - lowestDecade) -
            std::trunc(divisionPixels * std::log10(value / divisor));
    }
    return HoldBetween(y, top, bottomY);
}

int CDisplayTest::TimeToSample(double time) const
{
    const TestRecord* record = CurrentRecord();
    if (!record || record->trace.seconds <= 0)
        return 0;
    return IntegerPart(time / record->trace.seconds * record->trace.sampleCount);
}

double CDisplayTest::SampleToTime(int index) const
{
    const TestRecord* record = CurrentRecord();
    if (!record || record->trace.sampleCount <= 0)
        return 0;
    return static_cast<double>(index) / record->trace.sampleCount * record->trace.seconds;
}

CDisplayTest::ColumnToSample CDisplayTest::SampleMapping() const
{
    const TestRecord* record = CurrentRecord();
    ColumnToSample mapping;
    mapping.count = record ? record->trace.sampleCount : 0;
    mapping.first = TimeToSample(timeStart);
    mapping.last = TimeToSample(timeEnd);
    mapping.left = plotRect.left;
    mapping.width = plotRect.right - plotRect.left;
    return mapping;
}

int CDisplayTest::ColumnToSample::operator()(int x, bool& pastEnd) const
{
    pastEnd = false;
    double fraction = width != 0 ? static_cast<double>(x - left) / width : 0;
    if (fraction < 0)
        fraction = 0;
    double index = first + std::trunc((last - first) * fraction + 0.5);
    if (index >= count) {
        pastEnd = true;
        return count - 1 < 0 ? -1 : count - 1;
    }
    return IntegerPart(index);
}

int CDisplayTest::XToSample(int x, bool& pastEnd) const
{
    return SampleMapping()(x, pastEnd);
}

int CDisplayTest::XToSample(int x) const
{
    bool pastEnd = false;
    return XToSample(x, pastEnd);
}

ValueRange CDisplayTest::ColumnRange(SampleQuantity quantity, int x) const
{
    const TestRecord* record = CurrentRecord();
    if (!record)
        return {};
    return RangeBetween(quantity, XToSample(x), XToSample(x + 1));
}

ValueRange CDisplayTest::RangeBetween(SampleQuantity quantity, int first, int last) const
{
    const TestRecord* record = CurrentRecord();
    if (!record || last < first)
        return {};
    return ColumnRule(quantity, first, last, envelopes.For(*record, quantity).Range(*record, first, last));
}

ValueRange CDisplayTest::ColumnRule(SampleQuantity quantity, int first, int last, ValueRange range)
{
    if (last < first)
        return {};
    // The resistance column's maximum starts at zero rather than at its
    // first sample; resistances are never negative, so this only matters
    // for a column without samples.
    if (quantity == SampleQuantity::Resistance)
        range.high = std::max(range.high, 0.0);
    return range;
}

void CDisplayTest::RoundRangesToDecades()
{
    if (linearScale)
        return;
    static constexpr double kFloors[] = {10000000, 1000000, 100000, 10000, 1000, 100};
    double low = 0;
    for (double floor : kFloors) {
        if (resistanceLow > floor) {
            low = floor;
            break;
        }
    }
    resistanceLow = low;

    double high = 100;
    for (double floor : kFloors) {
        if (resistanceHigh > floor) {
            high = floor * 10;
            break;
        }
    }
    resistanceHigh = high;
}

void CDisplayTest::SetScaleMode(bool linear)
{
    linearScale = linear;
    lowestDecade = 0;
    divisionCount = linear ? 10 : 8;
    if (!linear || !mainRecord)
        return;

    // A static record without readings has no range; taking its marker as
    // a value would stretch the axis down to it.
    bool found = false;
    for (int r = 0; r <= overlayCount; ++r) {
        const TestRecord* record = RecordAt(r);
        if (!record || !HasRange(*record))
            continue;
        if (!found) {
            resistanceLow = record->resistanceMin;
            resistanceHigh = record->resistanceMax;
            found = true;
            continue;
        }
        if (record->resistanceMin < resistanceLow)
            resistanceLow = record->resistanceMin;
        if (record->resistanceMax > resistanceHigh)
            resistanceHigh = record->resistanceMax;
    }
}

void CDisplayTest::RestoreRanges()
{
    currentZoomed = false;
    lowestDecade = 0;
    divisionCount = linearScale ? 10 : 8;
    if (mainRecord) {
        resistanceLow = mainRecord->resistanceMin;
        resistanceHigh = mainRecord->resistanceMax;
        currentHigh = mainRecord->currentMax;
        currentLow = mainRecord->currentMin;
    }
    RoundRangesToDecades();
}

}  // namespace tkan
