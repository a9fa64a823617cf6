#include "UsbBackend.h"

#include <cstdlib>
#include <string_view>

#include "device/hidapi/HidapiBackend.h"
#include "sim/SimHidBackend.h"

namespace tkan::cli {

std::unique_ptr<HidBackend> MakeHidBackend(TickSource& ticks)
{
    const char* sim = std::getenv("TKAN_SIM_HID");
    std::string_view mode = sim ? sim : "";
    if (mode.empty() || mode == "0")
        return std::make_unique<HidapiBackend>();

    auto backend = std::make_unique<SimHidBackend>(ticks);
    SimHidDevice& instrument = backend->AddInstrument();
    if (mode == "no-permission")
        instrument.DenyPermission(true);
    return backend;
}

}  // namespace tkan::cli
