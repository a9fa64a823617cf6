#pragma once

namespace tkan {

class CAppInfo;
class CSerialCom;
class MessagePump;
class Prompter;
class RecentFileList;
class RovaDevice;
class SettingsStore;
class TickSource;

// The program's single instances, made once at start and handed to the main
// window by reference; a test makes its own.
struct AppServices {
    CAppInfo& settings;
    SettingsStore& store;
    RecentFileList& recent;
    Prompter& prompter;
    RovaDevice& device;
    CSerialCom& serial;
    TickSource& ticks;
    MessagePump& pump;
};

}  // namespace tkan
