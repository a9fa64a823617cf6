// Any bytes as a record streamed by the instrument. The first byte sets what
// the download sets before the build: bit 0 the key-value form, bits 1-2 the
// duration limit; a first byte of 0xFE (binary, 240 s) also stretches the data past the
// 2 MiB working buffer, which no download should hand over but which must
// still not overrun it.

#include <algorithm>
#include <array>
#include <vector>

#include "FuzzSupport.h"

using namespace tkan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::array<int, 4> kDurationLimits = {0, 1, 2, 240};
    if (size == 0)
        return 0;
    const std::uint8_t flags = data[0];
    const bool textForm = (flags & 1) != 0;
    const int durationLimit = kDurationLimits[(flags >> 1) & 3];
    const bool oversize = flags == 0xFE;

    std::vector<std::uint8_t> bytes(data + 1, data + size);
    if (oversize) {
        const std::size_t payload = bytes.size();
        bytes.resize(kRecordBufferSize + 64);
        // Repeated by doubling: a byte loop over 2 MiB would slow every such run.
        for (std::size_t filled = payload; payload > 0 && filled < bytes.size(); filled *= 2)
            std::copy_n(bytes.begin(), std::min(filled, bytes.size() - filled), bytes.begin() + filled);
    }

    TestRecord& record = fuzz::NewRecord(0);
    record.textForm = textForm;
    record.trace.durationLimit = durationLimit;
    const int result = record.BuildFromInstrument(bytes.data(), bytes.size());
    fuzz::Require(result == 0 || result == 1, "BuildFromInstrument answers 1 or 0");
    if (result == 0)
        return 0;
    fuzz::CheckRecord(record);

    const DynamicTrace& trace = record.trace;
    const int rate = record.SampleRate();
    if (record.IsDynamic() && !textForm) {
        fuzz::Require(trace.seconds == trace.sampleCount / rate, "seconds are whole seconds of samples");
        if (!oversize) {
            std::size_t kept = bytes.size() > kRecordHeaderSize ? bytes.size() - kRecordHeaderSize : 0;
            if (durationLimit > 0)
                kept = std::min(kept, static_cast<std::size_t>(durationLimit) * rate * kSampleSize);
            fuzz::Require(static_cast<std::size_t>(trace.sampleCount) == kept / kSampleSize,
                          "every whole sample after the header is kept, up to the limit");
        }
    } else {
        fuzz::Require(trace.sampleCount == 0, "a static record holds no samples");
    }

    // The download saves what it built and the program opens that file.
    const bool binaryForm = !record.textForm;
    const TestRecord& reloaded = fuzz::SaveAndReload(record);
    if (binaryForm)
        fuzz::CheckSameAfterReload(record, reloaded, trace.seconds * (record.IsDynamic() ? rate : 0));
    return 0;
}
