// Any bytes as a test file. The first byte picks the file name, because the
// name decides whether content without a magic is tried as a results text.

#include <array>
#include <filesystem>

#include "FuzzSupport.h"

using namespace tkan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::array<const char*, 4> kNames = {"input.tst-tkan", "input.tst-rkz", "input.test",
                                                          "INPUT.TST-TKAN"};
    if (size == 0)
        return 0;
    const char* name = kNames[data[0] % kNames.size()];
    const std::string path = fuzz::ScratchFolder() + "/" + name;
    fuzz::WriteScratchFile(path, data + 1, size - 1);

    TestRecord& record = fuzz::NewRecord(0);
    const int result = record.LoadTestFile(path);
    std::filesystem::remove(path);
    fuzz::Require(result == 0 || result == 1, "LoadTestFile answers 1 or 0");
    if (result == 0)
        return 0;

    fuzz::Require(record.header.fileName == name, "the file name is kept without its folder");
    fuzz::CheckRecord(record);
    fuzz::CheckLoadedTrace(record);

    // A text-form record is saved with its header values patched into the
    // text, so only the binary form must come back as it was.
    const bool binaryForm = !record.textForm;
    const TestRecord& reloaded = fuzz::SaveAndReload(record);
    if (binaryForm)
        fuzz::CheckSameAfterReload(record, reloaded, record.trace.sampleCount);
    return 0;
}
