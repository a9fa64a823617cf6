#pragma once

#include <cstdint>
#include <string_view>

namespace tkan {

// A resistance the instrument reports while a static test runs: "RES_1" to
// "RES_3", "=" and a hexadecimal micro-ohm value ("RES_1=3E8" is 1000 micro-
// ohms on V1).
struct ResistanceReply {
    int winding = 0;  // 1 to 3
    std::int32_t microOhms = 0;
};

// False for a line that names no winding or has no "=", and for a value that
// reads as negative once taken as a signed 32-bit number (FFFFFFFF is the
// instrument's "no value"), or that does not fit in 32 bits at all.
bool ParseResistanceReply(std::string_view line, ResistanceReply& reply);

}  // namespace tkan
