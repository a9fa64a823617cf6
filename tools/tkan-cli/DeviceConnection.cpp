#include "DeviceConnection.h"

#include "UsbBackend.h"

namespace tkan::cli {

DeviceConnection::DeviceConnection(Prompter& prompter, const std::optional<std::string>& devicePath, bool usbWanted)
    : serial(prompter, ticks, pump), hid(MakeHidBackend(ticks)), usb(*hid, ticks, pump),
      device(serial, &usb, settings, prompter)
{
    serial.portNumber = settings.ComPort;
    serial.comDevice = settings.ComDevice;
    serial.speed = instrument::kSpeedToDetect;
    if (devicePath) {
        settings.USBEnable = 0;
        serial.comDevice = *devicePath;
    }
    if (usbWanted)
        settings.USBEnable = 1;
}

}  // namespace tkan::cli
