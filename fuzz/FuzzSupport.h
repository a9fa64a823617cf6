#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "records/TestRecord.h"

namespace tkan::fuzz {

// The folder whose kept listing rows the row-cache target reads.
inline constexpr char kRowCacheFolder[] = "/fuzz/tests";

// A folder of this process's own under TMPDIR for the files the targets write,
// removed when the process exits normally. Parallel fuzzing jobs never share
// one.
const std::string& ScratchFolder();
void WriteScratchFile(const std::string& path, const std::uint8_t* data, std::size_t size);

// Record `slot` (0 to 3) as a new one, except for the part of the working
// buffer past the record block, which no reader looks at. Allocating and
// zeroing 2 MiB per record for every input would take most of the run.
TestRecord& NewRecord(std::size_t slot);

// Ends the run with `what` on standard error, so that libFuzzer keeps the
// input as a crash artifact.
void Require(bool condition, const char* what);

// What every reader of a record relies on after any loader said 1: counts
// within the arrays, samples behind the sample count, the working buffer
// still whole. Touches every reading, note, data point and sample so the
// sanitizers see each access the views and reports make.
void CheckRecord(const TestRecord& record);

// A dynamic record read from a file: whole seconds of samples and ranges
// that match the samples.
void CheckLoadedTrace(const TestRecord& record);

// Writes the record as SaveTestFile does and loads that file into record
// slot 3, which must succeed.
const TestRecord& SaveAndReload(TestRecord& record);

// The loaded copy of a binary-form record keeps its type, header texts,
// temperatures, readings, notes, data points and samples. `keptSamples` is
// how many samples the reload must hold (a build keeps a part second that
// the loader drops).
void CheckSameAfterReload(const TestRecord& saved, const TestRecord& loaded, int keptSamples);

// Two parses of the same text (up to its line ends) gave the same record.
void CheckSameParse(const TestRecord& a, const TestRecord& b);

// The text with every LF replaced by `ending`.
std::string WithLineEnding(std::string_view text, std::string_view ending);

}  // namespace tkan::fuzz
