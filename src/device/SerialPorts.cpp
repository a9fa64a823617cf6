#include "device/SerialPorts.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace tkan {

namespace fs = std::filesystem;

std::string DescribeByIdName(const std::string& name)
{
    std::string text = name;
    for (const char* bus : {"usb-", "pci-", "platform-"})
        if (text.starts_with(bus)) {
            text.erase(0, std::string(bus).size());
            break;
        }
    // The interface and port suffix ("-if00-port0", "-if00") only tells
    // apart the halves of a dual adapter; keep it then, as "if01".
    std::size_t suffix = text.rfind("-if");
    if (suffix != std::string::npos) {
        std::string tail = text.substr(suffix + 1);
        text.erase(suffix);
        if (!tail.starts_with("if00"))
            text += " " + tail.substr(0, 4);
    }
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

std::vector<SerialDevice> ListSerialDevices(const std::string& devRoot)
{
    std::vector<SerialDevice> devices;
    std::set<std::string> named;  // kernel names a by-id link covers
    std::error_code error;

    const fs::path byId = fs::path(devRoot) / "serial" / "by-id";
    for (fs::directory_iterator it(byId, error), end; !error && it != end; it.increment(error)) {
        std::error_code linkError;
        fs::path target = fs::read_symlink(it->path(), linkError);
        std::string kernel = linkError ? std::string() : target.filename().string();
        std::string name = it->path().filename().string();
        std::string description = DescribeByIdName(name);
        if (!kernel.empty()) {
            named.insert(kernel);
            description = kernel + ": " + description;
        }
        devices.push_back({it->path().string(), description});
    }

    std::vector<SerialDevice> loose;
    error.clear();
    for (fs::directory_iterator it(devRoot, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        if ((name.starts_with("ttyUSB") || name.starts_with("ttyACM")) && !named.contains(name))
            loose.push_back({it->path().string(), name});
    }
    auto byDescription = [](const SerialDevice& a, const SerialDevice& b) { return a.description < b.description; };
    std::sort(devices.begin(), devices.end(), byDescription);
    std::sort(loose.begin(), loose.end(), byDescription);
    devices.insert(devices.end(), loose.begin(), loose.end());
    return devices;
}

}  // namespace tkan
