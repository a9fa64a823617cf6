#include <array>
#include <cstdio>
#include <optional>
#include <span>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "DeviceConnection.h"
#include "device/RovaDevice.h"
#include "platform/Codepage.h"

namespace tkan::cli {

namespace {

// The device connection's messages as the desktop would caption them, one
// "Caption: text" per message on standard error, so that a script sees which
// layer complained.
class CaptionedPrompter : public Prompter {
public:
    void Message(MessageStyle style, const std::string& text) override
    {
        std::fprintf(stderr, "%s: %s\n", MessageCaption(style), Cp1252ToUtf8(text).c_str());
    }
    Answer Ask(MessageStyle style, const std::string& text, QuestionButtons) override
    {
        Message(style, text);
        return Answer::No;
    }
};

std::string EntryLine(const DirectoryEntry& entry)
{
    std::array<char, 16> number{};
    std::snprintf(number.data(), number.size(), "%04d", entry.testNumber);
    std::string line = number.data();
    for (const std::string* text :
         {&entry.typeText, &entry.dateText, &entry.header.company, &entry.header.station, &entry.header.circuit}) {
        line += '\t';
        line += Cp1252ToUtf8(*text);
    }
    return line + "\n";
}

}  // namespace

int RunList(const Command& self, std::span<const std::string> args)
{
    std::optional<std::string> devicePath;
    bool usbWanted = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--device" || arg.starts_with("--device=")) {
            if (devicePath)
                return UsageError(self, "--device given twice");
            if (arg == "--device") {
                if (i + 1 >= args.size())
                    return UsageError(self, "--device needs the path of a serial device");
                devicePath = args[++i];
            } else {
                devicePath = arg.substr(std::string_view("--device=").size());
            }
            if (devicePath->empty())
                return UsageError(self, "--device needs the path of a serial device");
        } else if (arg == "--usb") {
            usbWanted = true;
        } else if (arg.starts_with("-")) {
            return UsageError(self, "unknown option " + arg);
        } else {
            return UsageError(self, "unexpected argument \"" + arg + "\"");
        }
    }
    if (devicePath && usbWanted)
        return UsageError(self, "--device and --usb exclude each other");

    CaptionedPrompter prompter;
    DeviceConnection connection(prompter, devicePath, usbWanted);
    RovaDevice& device = connection.device;
    if (!device.ReadDirectory())
        return kExitFailure;

    WriteOutput(Cp1252ToUtf8(device.VersionText()) + "\n");
    for (const DirectoryEntry& entry : device.Directory())
        WriteOutput(EntryLine(entry));
    return kExitOk;
}

}  // namespace tkan::cli
