#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/TestRecord.h"
#include "sim/DemoRecords.h"

namespace tkan::test {

enum class DemoKind {
    Dynamic,     // 2000 samples/s
    Static,      // V1,V2 tap-changer readings, temperature corrected
    StaticText,  // the same test as an RKZ meter sends it: held as text
};

// Writes a test file the way a downloaded test is written: the instrument's
// bytes, the record built from them, the saved file. 1 on success.
inline int WriteDemoTest(const std::string& path, DemoKind kind, const DemoParameters& base = {})
{
    DemoParameters params = base;
    TestRecord record;
    std::vector<std::uint8_t> bytes;
    switch (kind) {
    case DemoKind::Dynamic:
        if (params.seconds == 15)
            params.seconds = 2;
        bytes = BuildDynamicRecord(params);
        break;
    case DemoKind::Static:
        if (params.testType == 4)
            params.testType = 18;
        bytes = BuildStaticRecord(params);
        break;
    case DemoKind::StaticText: {
        if (params.testType == 4)
            params.testType = 2;
        std::string text = BuildKeyValueRecord(params);
        bytes.assign(text.begin(), text.end());
        record.textForm = true;
        break;
    }
    }
    record.BuildFromInstrument(bytes.data(), bytes.size());
    return record.SaveTestFile(path);
}

// A dynamic record of `tapChanges` tap changes in `seconds`, built from the
// instrument's bytes as a download builds it. 1 on success.
inline int BuildDemoDynamic(TestRecord& record, int seconds, int tapChanges)
{
    DemoParameters params;
    params.seconds = seconds;
    params.tapChanges = tapChanges;
    const std::vector<std::uint8_t> bytes = BuildDynamicRecord(params);
    return record.BuildFromInstrument(bytes.data(), bytes.size());
}

}  // namespace tkan::test
