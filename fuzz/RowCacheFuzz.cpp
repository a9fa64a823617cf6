// Any bytes as the kept rows of a folder's listing: never a crash or a read
// past the end, and rows that load are written back as the same bytes.

#include <vector>

#include "FuzzSupport.h"
#include "testlist/TestRowCache.h"

using namespace tkan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TestRowCache cache(fuzz::kRowCacheFolder);
    if (!cache.Decode(data, size)) {
        fuzz::Require(cache.Size() == 0, "a refused cache holds no rows");
        return 0;
    }
    fuzz::Require(cache.Encode() == std::vector<std::uint8_t>(data, data + size), "the rows encode as they came");
    return 0;
}
