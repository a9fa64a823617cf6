#pragma once

#include <memory>

#include "device/HidBackend.h"

namespace tkan {
class TickSource;
}

namespace tkan::cli {

// The HID class the tool reaches the instrument through: hidapi.
//
// For the tool's own tests, TKAN_SIM_HID in the environment puts the
// simulated instrument in its place, in-process, so that the USB commands can
// be run as a user runs them without hardware: "1" plugs in a TKAN,
// "no-permission" a TKAN this user may not open; unset, empty or "0" is
// hidapi.
std::unique_ptr<HidBackend> MakeHidBackend(TickSource& ticks);

}  // namespace tkan::cli
