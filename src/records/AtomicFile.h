#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tkan {

// Reads a whole file; false when it cannot be opened or read, or when it is
// larger than `maxBytes`.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t maxBytes);

// Replaces `path` with `bytes` so that a reader never sees a half-written
// file: the bytes go to a temporary file beside the target, are flushed to
// the disk, and only then renamed over it. On any failure the temporary file
// is removed, the old file stays as it was, the result is false and errno
// says why.
bool WriteFileAtomically(const std::string& path, const std::uint8_t* bytes, std::size_t length);

}  // namespace tkan
