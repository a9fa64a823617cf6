#pragma once

#include <nlohmann/json.hpp>

namespace tkan {
class TestRecord;
}

namespace tkan::cli {

// The whole record as one JSON object, texts in UTF-8, keys in a fixed
// order so that two dumps can be compared line by line.
nlohmann::ordered_json RecordToJson(const TestRecord& record);

}  // namespace tkan::cli
