#pragma once

#include <memory>
#include <optional>
#include <string>

#include "device/HidBackend.h"
#include "device/HidTransport.h"
#include "device/RovaDevice.h"
#include "device/SerialCom.h"
#include "device/Timer.h"
#include "settings/AppInfo.h"

namespace tkan {
class Prompter;
}

namespace tkan::cli {

// The instrument as a device command reaches it: over the serial device at
// `devicePath` when one is given, over USB when `usbWanted`, otherwise as a
// first start of the desktop would. The desktop's settings live in its own
// store, which the core cannot read; the tool starts from the defaults of a
// first start instead. `prompter` hears the connection's messages and must
// outlive the connection.
class DeviceConnection {
public:
    DeviceConnection(Prompter& prompter, const std::optional<std::string>& devicePath, bool usbWanted);
    DeviceConnection(const DeviceConnection&) = delete;
    DeviceConnection& operator=(const DeviceConnection&) = delete;

    SteadyTickSource ticks;
    MessagePump pump;  // no window: nothing to run while a read waits
    CAppInfo settings;
    CSerialCom serial;
    std::unique_ptr<HidBackend> hid;
    HidTransport usb;
    RovaDevice device;
};

}  // namespace tkan::cli
