#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/HidBackend.h"

namespace tkan {

// The HID class on Linux through hidapi's hidraw flavour. hidapi is set up
// while any backend exists and torn down with the last one.
class HidapiBackend : public HidBackend {
public:
    HidapiBackend();
    ~HidapiBackend() override;
    HidapiBackend(const HidapiBackend&) = delete;
    HidapiBackend& operator=(const HidapiBackend&) = delete;

    std::vector<HidDeviceInfo> Enumerate() override;
    std::unique_ptr<HidDevice> Open(const std::string& path, HidOpenProblem& problem) override;

private:
    bool ready_ = false;
};

}  // namespace tkan
