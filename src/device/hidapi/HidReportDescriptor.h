#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tkan {

// What a HID report descriptor says about the reports' sizes, counted the
// way the Windows HID class counts them: the longest report of each kind in
// bytes plus one for the report ID byte, which is there (as 0) even on a
// device without numbered reports. 0 where the device has no report of that
// kind.
struct HidReportLengths {
    std::size_t input = 0;
    std::size_t output = 0;
    // The device numbers its reports, so the ID byte is part of every report
    // on the wire.
    bool numbered = false;
};

// False for a descriptor that ends inside an item; lengths is left alone then.
bool ParseReportDescriptor(std::span<const std::uint8_t> descriptor, HidReportLengths& lengths);

}  // namespace tkan
