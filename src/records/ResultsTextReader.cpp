// Reading the printable results report of a static test back into a record.
// The reader relies only on the report's labels, its separator line and the
// first characters of its reading lines.
#include <algorithm>
#include <array>
#include <cctype>

#include "records/AtomicFile.h"
#include "records/HeaderFields.h"
#include "records/TestRecord.h"
#include "records/TextLines.h"

namespace tkan {

namespace {

const std::string_view kSeparator = "------------------------------------------";  // 42
constexpr std::size_t kMaxResultsTextBytes = 64u << 20;

// The text after `label` and the one character behind it.
std::string_view AfterLabel(std::string_view line, std::string_view label)
{
    std::size_t at = line.find(label);
    if (at == std::string_view::npos)
        return {};
    std::size_t from = at + label.size() + 1;
    return from <= line.size() ? line.substr(from) : std::string_view();
}

void ReadHeaderLabels(TestRecord& r, std::string_view line)
{
    // Each value is its 20-character column, blanks included.
    for (const HeaderFieldInfo& f : kHeaderFields) {
        if (line.find(f.reportLabel) != std::string_view::npos)
            r.header.*f.member = std::string(AfterLabel(line, f.reportLabel).substr(0, kHeaderBlockTextLength));
    }
    if (line.find("DATE:") != std::string_view::npos) {
        std::string_view v = AfterLabel(line, "DATE:");
        r.header.testDate = std::string(v.substr(0, v.find(' ')));
    }
    if (line.find("TIME:") != std::string_view::npos) {
        std::string_view v = AfterLabel(line, "TIME:");
        r.header.testTime = std::string(v.substr(0, v.find(' ')));
    }
    if (ReadNumberAfter(line, "Measure Temp Tm = ", r.measureTemp))
        r.tempCorrected = true;
    ReadNumberAfter(line, "Reference Temp Ts = ", r.referenceTemp);
    ReadNumberAfter(line, "Tk =", r.tempConstant);
}

// "R1 =" is the report's own form; "R1=" is looked for only without it.
bool ReadValue(std::string_view line, std::string_view spaced, std::string_view tight, double& value)
{
    return ReadNumberAfter(line, spaced, value) || ReadNumberAfter(line, tight, value);
}

bool StartsReading(std::string_view line)
{
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    return !line.empty() && (digit(line[0]) || (line.size() > 1 && digit(line[1])) || line[0] == 'N');
}

}  // namespace

int TestRecord::ParseResultsText(std::string_view text)
{
    textForm = true;
    headerTextPresent = true;
    recordText = std::string(text);

    readingCount = 0;
    notesText.clear();
    // Note i is the i-th TAB field of notesText, so the notes are gathered
    // by reading and joined at the end: a reading without a note keeps its
    // empty field, and a second note line of one reading cannot move the
    // notes of the readings after it.
    std::array<std::string, kMaxReadings> notes;
    int notedReadings = 0;

    std::string_view rest = recordText, line;
    bool inTable = false;
    StaticReading* current = nullptr;

    while (NextLine(rest, line)) {
        if (!inTable) {
            std::size_t series = line.find("RKZ TEST RESULTS FOR SERIES(");
            if (series != std::string_view::npos) {
                std::string_view number = line.substr(line.find('(') + 1);
                number = number.substr(0, number.find(')'));
                if (ReadLeadingInteger(number, 10) == 2)
                    textForm = false;  // saved in the binary form, the text beside the block
            }
            ReadHeaderLabels(*this, line);
            if (line.find(kSeparator) != std::string_view::npos) {
                inTable = true;
                std::string_view skipped;
                NextLine(rest, skipped);  // the blank line under the separator
            }
            continue;
        }

        bool started = false;
        if (StartsReading(line)) {
            started = true;
            // Past the fiftieth reading line the values have nowhere to go.
            if (readingCount < kMaxReadings) {
                current = &readings[readingCount++];
                *current = StaticReading{};
                current->timeText = std::string(15, ' ');
                testType = ClassifyTestType(line);
            } else {
                current = nullptr;
            }
        }

        double value = 0;
        bool carriedR1 = ReadValue(line, "R1 =", "R1=", value);
        if (carriedR1 && current)
            current->r1 = value;
        if (ReadValue(line, "R2 =", "R2=", value) && current)
            current->r2 = value;
        if (ReadValue(line, "R3 =", "R3=", value) && current)
            current->r3 = value;

        if (carriedR1 && current) {
            std::size_t lastEq = line.rfind('=');
            std::size_t ohms = line.find("OHMS", lastEq);
            if (ohms != std::string_view::npos) {
                std::string_view note = ohms + 5 <= line.size() ? line.substr(ohms + 5) : std::string_view();
                while (!note.empty() && note.front() == ' ')
                    note.remove_prefix(1);
                auto index = static_cast<int>(current - readings.data());
                notes[static_cast<std::size_t>(index)] = std::string(note);
                notedReadings = std::max(notedReadings, index + 1);
            }
        }

        std::size_t colon = line.find(':');
        if (!started && current && colon != std::string_view::npos) {
            std::size_t from = colon >= 2 ? colon - 2 : 0;
            std::string_view time = line.substr(from);
            time = time.substr(0, time.find(' ', 1));
            while (!time.empty() && time.front() == ' ')
                time.remove_prefix(1);
            current->timeText = std::string(time);
        }

        if (ReadValue(line, "R1s =", "R1s=", value)) {
            tempCorrected = true;
            if (current)
                current->r1s = value;
        }
        if (ReadValue(line, "R2s =", "R2s=", value)) {
            tempCorrected = true;
            if (current)
                current->r2s = value;
        }
        if (ReadValue(line, "R3s =", "R3s=", value)) {
            tempCorrected = true;
            if (current)
                current->r3s = value;
        }
    }

    for (int i = 0; i < notedReadings; ++i) {
        notesText += notes[static_cast<std::size_t>(i)];
        notesText.push_back('\t');
    }
    if (IsStaticTap())
        tapsPerSide = readingCount / 2;
    return 1;
}

int TestRecord::LoadResultsTextFile(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, kMaxResultsTextBytes))
        return 0;
    textForm = true;
    headerTextPresent = true;
    recordText.clear();
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    text = text.substr(0, text.find('\0'));  // a NUL ends the usable text
    return ParseResultsText(text);
}

}  // namespace tkan
