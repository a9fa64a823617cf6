#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "device/SerialPorts.h"
#include "platform/Colour.h"
#include "settings/AppInfo.h"

namespace tkan {

class CSerialCom;
class SettingsStore;

inline constexpr char kAppSetupTitle[] = "Application Setup";
inline constexpr int kComPortCount = 100;
inline constexpr std::array<const char*, kGraphCount> kGraphChoices{"Main Graph", "Overlay #1", "Overlay #2"};
inline constexpr std::array<const char*, 2> kDateFormats{"(US) MM/DD/YY", "(EU) DD/MM/YY"};
// Bitmaps first, as the logo has always been one; any picture the report
// can draw is taken.
inline constexpr char kLogoFilter[] =
    "Bitmap Files (*.bmp) |*.bmp|Images (*.bmp *.png *.jpg *.jpeg)|*.bmp;*.png;*.jpg;*.jpeg|All Files (*)|*||";

// The seven trace rows of "Graph Color:", in the order the dialog shows them.
enum class TraceRow { R1, R2, R3, R1S, R2S, R3S, Current };
constexpr int kTraceRowCount = 7;
const char* TraceRowLabel(TraceRow row);

// The "Transitions" group: what transition detection and judgement use,
// each an edit over a settings text.
struct TransitionField {
    const char* label;
    std::string CAppInfo::*text;
    bool threshold;  // the threshold must be given; a limit may be empty
};
inline constexpr std::array<TransitionField, 4> kTransitionFields{{
    {"Threshold (%):", &CAppInfo::TransitionThreshold, true},
    {"Maximum duration (ms):", &CAppInfo::TransitionMaxMs, false},
    {"Maximum ripple (%):", &CAppInfo::TransitionMaxRipple, false},
    {"Maximum slope (A/s):", &CAppInfo::TransitionMaxSlope, false},
}};

// The first of the transition fields of `values` that the analysis could
// not use, and why; field -1 when all are good.
struct FieldProblem {
    int field = -1;
    std::string message;
};
FieldProblem CheckTransitionFields(const CAppInfo& values);

// An entry of the "COM Port:" list: a present serial device (device set) or
// "COMn:" (port n).
struct ComPortEntry {
    std::string text;
    std::string device;
    int port = 0;
};

// Application Setup without its window: a copy of the settings that the
// window edits, and the list and record choices around it. The settings
// themselves change only when ApplySetup takes the copy.
class CAppSetup {
public:
    // `start` as SettingsForSetup gives it; `present` the serial devices
    // found on this machine, listed above the COM ports.
    CAppSetup(const CAppInfo& start, std::vector<SerialDevice> present);

    CAppInfo values;

    const std::vector<ComPortEntry>& ComPortEntries() const { return comPorts_; }
    int ComPortIndex() const;
    void ChooseComPort(int index);

    // "Graph Color:": the record whose rows are shown. The check boxes of
    // the record shown before are kept first.
    int GraphIndex() const { return graph_; }
    void ChooseGraph(int index);
    bool Shown(TraceRow row) const { return shown_[static_cast<std::size_t>(row)]; }
    void SetShown(TraceRow row, bool shown) { shown_[static_cast<std::size_t>(row)] = shown; }
    CanvasColour RowColour(TraceRow row) const;
    void SetRowColour(TraceRow row, CanvasColour colour);

    // OK: the check boxes go into the record shown; the copy is final.
    const CAppInfo& Finish();

private:
    void StoreShown();
    void LoadShown();

    std::vector<ComPortEntry> comPorts_;
    int graph_ = 0;
    std::array<bool, kTraceRowCount> shown_{};
};

// The settings Application Setup starts from: those of the run, except that
// a simulated run's USB switch (turned off for the run only) is shown as
// stored.
CAppInfo SettingsForSetup(const CAppInfo& current, SettingsStore& store, bool simulated);

// What taking the accepted settings sets off outside the settings object.
struct SetupEffects {
    std::function<void(int orientation)> setPrintOrientation;
    std::function<void(const std::string&)> changeFolder;
    // The one place for what must follow new settings on screen: the views
    // repaint in the new colours and reload the logo.
    std::function<void()> settingsApplied;
};

// OK in Application Setup: the copy becomes the settings and is saved, the
// print orientation is set, "FilePath" becomes the current folder, and the
// serial port is closed to be opened on the new port with its speed found
// again. A simulated run keeps its own link (the simulated port, USB off)
// for the rest of the run, without it reaching the store.
void ApplySetup(const CAppInfo& accepted, CAppInfo& settings, SettingsStore& store, CSerialCom& serial, bool simulated,
                const SetupEffects& effects);

}  // namespace tkan
