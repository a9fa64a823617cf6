#pragma once

#include <string>

namespace tkan {

// One row of a static run's readings table, as its nine columns show it.
// Resistance texts are the compact FormatResistance form; an empty text means
// the winding has no value in this row.
struct ReadingRow {
    std::string test;  // test number or tap label
    std::string type;
    std::string time;  // "%H:%M:%S"
    std::string r1, r1s;
    std::string r2, r2s;
    std::string r3, r3s;
};

}  // namespace tkan
