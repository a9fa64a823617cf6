#pragma once

#include <string>
#include <vector>

namespace tkan {

// A serial device present on this machine.
struct SerialDevice {
    std::string path;         // what the port opens: a stable /dev/serial/by-id name where there is one
    std::string description;  // "ttyUSB0: FTDI FT232R USB UART A50285BI"
};

// The serial adapters present under `devRoot` (normally "/dev"): the
// /dev/serial/by-id links, named by their kernel device and what the link
// says of the adapter, then any ttyUSB and ttyACM device no link names. The
// built-in ttyS ports are left out: most of them are not there at all.
std::vector<SerialDevice> ListSerialDevices(const std::string& devRoot = "/dev");

// What a by-id name says of its adapter: "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"
// is "FTDI FT232R USB UART A50285BI".
std::string DescribeByIdName(const std::string& name);

}  // namespace tkan
