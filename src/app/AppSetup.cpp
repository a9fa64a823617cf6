#include "app/AppSetup.h"

#include <algorithm>
#include <optional>

#include "analysis/Transitions.h"
#include "device/InstrumentContract.h"
#include "device/SerialCom.h"
#include "platform/SettingsStore.h"

namespace tkan {

namespace {

struct TraceMembers {
    const char* label;
    CanvasColour GraphSettings::*colour;
    int GraphSettings::*flag;
};

constexpr std::array<TraceMembers, kTraceRowCount> kTraceRows{{
    {"R1", &GraphSettings::crResistance, &GraphSettings::DisplayR1},
    {"R2", &GraphSettings::crResistance2, &GraphSettings::DisplayR2},
    {"R3", &GraphSettings::crResistance3, &GraphSettings::DisplayR3},
    {"R1S", &GraphSettings::crR1S, &GraphSettings::DisplayR1S},
    {"R2S", &GraphSettings::crR2S, &GraphSettings::DisplayR2S},
    {"R3S", &GraphSettings::crR3S, &GraphSettings::DisplayR3S},
    {"Current", &GraphSettings::crCurrent, &GraphSettings::DisplayCurrent},
}};

const TraceMembers& Members(TraceRow row)
{
    return kTraceRows.at(static_cast<std::size_t>(row));
}

}  // namespace

const char* TraceRowLabel(TraceRow row)
{
    return Members(row).label;
}

CAppSetup::CAppSetup(const CAppInfo& start, std::vector<SerialDevice> present) : values(start)
{
    bool storedDevicePresent = false;
    for (SerialDevice& device : present) {
        storedDevicePresent = storedDevicePresent || device.path == values.ComDevice;
        comPorts_.push_back({std::move(device.description), std::move(device.path), 0});
    }
    // A stored device that is unplugged now stays the choice until the
    // operator makes another.
    if (!values.ComDevice.empty() && !storedDevicePresent)
        comPorts_.insert(comPorts_.begin(), {values.ComDevice + " (not present)", values.ComDevice, 0});
    for (int port = 1; port <= kComPortCount; ++port)
        comPorts_.push_back({"COM" + std::to_string(port) + ":", "", port});
    LoadShown();
}

int CAppSetup::ComPortIndex() const
{
    for (std::size_t i = 0; i < comPorts_.size(); ++i) {
        const ComPortEntry& entry = comPorts_[i];
        bool chosen = values.ComDevice.empty() ? entry.port == values.ComPort : entry.device == values.ComDevice;
        if (chosen)
            return static_cast<int>(i);
    }
    return -1;
}

void CAppSetup::ChooseComPort(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= comPorts_.size())
        return;
    const ComPortEntry& entry = comPorts_[static_cast<std::size_t>(index)];
    if (entry.device.empty()) {
        values.ComPort = entry.port;
        values.ComDevice.clear();
    } else {
        values.ComDevice = entry.device;
    }
}

void CAppSetup::ChooseGraph(int index)
{
    if (index < 0 || index >= kGraphCount)
        return;
    StoreShown();
    graph_ = index;
    LoadShown();
}

CanvasColour CAppSetup::RowColour(TraceRow row) const
{
    return values.graphs[static_cast<std::size_t>(graph_)].*Members(row).colour;
}

void CAppSetup::SetRowColour(TraceRow row, CanvasColour colour)
{
    values.graphs[static_cast<std::size_t>(graph_)].*Members(row).colour = colour;
}

void CAppSetup::StoreShown()
{
    GraphSettings& graph = values.graphs[static_cast<std::size_t>(graph_)];
    for (std::size_t i = 0; i < kTraceRows.size(); ++i)
        graph.*kTraceRows[i].flag = shown_[i] ? 1 : 0;
}

void CAppSetup::LoadShown()
{
    const GraphSettings& graph = values.graphs[static_cast<std::size_t>(graph_)];
    for (std::size_t i = 0; i < kTraceRows.size(); ++i)
        shown_[i] = graph.*kTraceRows[i].flag != 0;
}

const CAppInfo& CAppSetup::Finish()
{
    StoreShown();
    return values;
}

FieldProblem CheckTransitionFields(const CAppInfo& values)
{
    for (std::size_t i = 0; i < kTransitionFields.size(); ++i) {
        const TransitionField& f = kTransitionFields[i];
        const std::string& text = values.*f.text;
        const std::optional<double> number = TransitionSettingNumber(text);
        std::string name(f.label);
        name.pop_back();  // the label's colon
        if (f.threshold && !(number && UsableThreshold(*number)))
            return {static_cast<int>(i), name + " must be a number above 0 and below 100."};
        if (!f.threshold && !number && text.find_first_not_of(" \t") != std::string::npos)
            return {static_cast<int>(i), name + " must be a number of 0 or more, or empty for no limit."};
    }
    return {};
}

CAppInfo SettingsForSetup(const CAppInfo& current, SettingsStore& store, bool simulated)
{
    CAppInfo start = current;
    if (simulated)
        start.USBEnable = store.ReadNumber(kSettingsSection, "USBEnable", 1);
    return start;
}

void ApplySetup(const CAppInfo& accepted, CAppInfo& settings, SettingsStore& store, CSerialCom& serial, bool simulated,
                const SetupEffects& effects)
{
    settings = accepted;
    if (effects.setPrintOrientation)
        effects.setPrintOrientation(settings.Orientation);
    settings.Save(store);
    settings.SaveExporterSettings(store);
    if (effects.changeFolder && !settings.FilePath.empty())
        effects.changeFolder(settings.FilePath);

    serial.Close();
    serial.portNumber = settings.ComPort;
    if (simulated)
        settings.USBEnable = 0;  // the run stays on the simulated port
    else
        serial.comDevice = settings.ComDevice;
    serial.speed = instrument::kSpeedToDetect;

    if (effects.settingsApplied)
        effects.settingsApplied();
}

}  // namespace tkan
