// The key-value record that series-1 meters send instead of a binary block.
#include <algorithm>

#include "records/HeaderFields.h"
#include "records/TestRecord.h"
#include "records/TextLines.h"

namespace tkan {

namespace {

// The instrument keeps taps per side in one byte, so no real record has more
// than 255; the bound also keeps the tap-label arithmetic far from overflow.
constexpr long kMaxTapsPerSide = 255;

int TapsPerSide(std::string_view value)
{
    long taps = ReadLeadingInteger(value, 10);
    return static_cast<int>(std::clamp(taps, -kMaxTapsPerSide, kMaxTapsPerSide));
}

}  // namespace

int TestRecord::ParseKeyValueRecord(std::string_view text)
{
    recordText = std::string(text);
    readingCount = 0;
    tempCorrected = false;
    // Values that come before the first TYPE line, or after the fiftieth,
    // have no reading to go to and are dropped.
    StaticReading* current = nullptr;
    bool typeSeen = false;

    std::string_view rest = recordText, line;
    while (NextLine(rest, line)) {
        std::size_t eq = line.find('=');
        std::string_view key = line.substr(0, eq);
        std::string_view value = eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);

        if (key == "DATE") {
            std::size_t blank = value.find(' ');
            header.testDate = std::string(value.substr(0, blank));
            if (blank != std::string_view::npos)
                header.testTime = std::string(value.substr(blank + 1));
        } else if (const HeaderFieldInfo* field = HeaderFieldByKey(key))
            header.*field->member = std::string(value);
        else if (key == "R/L")
            tapsPerSide = TapsPerSide(value);
        else if (key == "Tm") {
            measureTemp = ReadLeadingNumber(value);
            tempCorrected = true;
        } else if (key == "Ts")
            referenceTemp = ReadLeadingNumber(value);
        else if (key == "Tk")
            tempConstant = ReadLeadingNumber(value);
        else if (key == "TYPE") {
            if (!typeSeen)
                testType = ClassifyTestType(value);
            typeSeen = true;
            if (readingCount < kMaxReadings) {
                current = &readings[readingCount++];
                *current = StaticReading{};
                current->timeText = std::string(15, ' ');
            } else {
                current = nullptr;
            }
        } else if (current && key == "R1")
            current->r1 = static_cast<double>(ReadLeadingInteger(value, 16));
        else if (current && key == "R2")
            current->r2 = static_cast<double>(ReadLeadingInteger(value, 16));
        else if (current && key == "CUR")
            current->current = static_cast<double>(ReadLeadingInteger(value, 16));
    }

    if (tempCorrected)
        ApplyCorrection();
    return 1;
}

}  // namespace tkan
