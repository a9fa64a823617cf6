#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "device/HidTransport.h"
#include "device/RovaDevice.h"
#include "device/SerialCom.h"
#include "device/Timer.h"
#include "settings/AppInfo.h"
#include "sim/DemoRecords.h"
#include "sim/SimHidBackend.h"
#include "sim/SimInstrument.h"
#include "sim/SimRecords.h"
#include "support/ManualClock.h"
#include "support/MemorySettingsStore.h"
#include "support/RecordingPrompter.h"
#include "support/RunningPtySim.h"
#include "testing/DynamicTest.h"
#include "testing/TestDlg.h"
#include "testing/TestingContext.h"
#include "testing/XferDlg.h"

namespace tkan::test {

enum class Link { Serial, Usb };

inline std::string LinkName(Link link)
{
    return link == Link::Serial ? "Serial" : "Usb";
}

// The instrument's clock runs this much faster than the link's, so that a
// two-minute test passes in six seconds of link time. Faster, and a second of
// the instrument passes within one step of the pump: its status lines would
// pile up faster than the program reads them, and a stop would land seconds
// late.
inline constexpr double kFastClock = 20;
// Over USB the instrument keeps the program's own clock, and a HID read lets
// the window handlers run only after 100 ms without a report. A second of the
// instrument must outlast that for clicks to land while a read waits, as they
// do on a real instrument.
inline constexpr double kUsbFastClock = 5;

// Output is not held to the line rate either: a dynamic record would take
// fifteen seconds at 115200 bit/s.
inline SimOptions FastInstrument(SimModel model = SimModel::Tkan, std::vector<SimFault> faults = {})
{
    SimOptions options;
    options.model = model;
    options.clockFactor = kFastClock;
    options.paced = false;
    options.faults = std::move(faults);
    return options;
}

// Steps played from the message pump, each once its condition holds: the
// operator's clicks, arriving while the program waits.
class Script {
public:
    Script& When(std::function<bool()> when, std::function<void()> act)
    {
        steps_.push_back({std::move(when), std::move(act)});
        return *this;
    }
    Script& Then(std::function<void()> act)
    {
        return When([] { return true; }, std::move(act));
    }

    void Step()
    {
        if (next_ >= steps_.size() || !steps_[next_].when())
            return;
        // Moved on first: the action may pump, and land here again.
        auto act = steps_[next_++].act;
        act();
    }

    bool Done() const { return next_ == steps_.size(); }
    std::size_t Next() const { return next_; }

private:
    struct Entry {
        std::function<bool()> when;
        std::function<void()> act;
    };
    std::vector<Entry> steps_;
    std::size_t next_ = 0;
};

// The program on one side, the simulated instrument on the other, over the
// serial port (a pseudo-terminal) or USB (the in-process HID device). The
// program's tick count is a clock the pump moves, so time-outs and silences
// pass in a fraction of their length; over USB the instrument runs on that
// same clock.
class Rig {
public:
    static constexpr std::uint32_t kPumpStepMs = 20;
    // The serial port waits in real time between pumps (10 ms slices at
    // most); a longer step there lets its time-outs and silences pass in a
    // fifth of their length.
    static constexpr std::uint32_t kSerialPumpStepMs = 50;

    Rig(Link link, SimOptions options, std::vector<SimStoredRecord> records) : link_(link)
    {
        serial = std::make_unique<CSerialCom>(prompter, ticks, pump);
        serial->speed = 0;
        if (link == Link::Serial) {
            settings.USBEnable = 0;
            front_ = std::make_unique<RunningPtySim>(options, std::move(records));
            serial->comDevice = front_->SlavePath();
        } else {
            settings.USBEnable = 1;
            options.clockFactor = std::min(options.clockFactor, kUsbFastClock);
            serial->comDevice = "/nonexistent/tty";
            backend_ = std::make_unique<SimHidBackend>(ticks);
            hid = &backend_->AddDevice();
            hid->AttachInstrument(options, std::move(records));
            usb_ = std::make_unique<HidTransport>(*backend_, ticks, pump);
        }
        device = std::make_unique<RovaDevice>(*serial, usb_.get(), settings, prompter);
        context =
            std::make_unique<TestingContext>(TestingContext{*device, settings, store, prompter, ticks, pump, {}, {}});
        pump.SetHook([this] { Pumped(); });
    }

    Rig(Link link, SimOptions options = FastInstrument())
        : Rig(link, options, DemoRecordSet(options.model, options.clockStart))
    {
    }

    ~Rig()
    {
        pump.SetHook({});
        if (front_)
            front_->Stop();
    }

    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    Link link() const { return link_; }

    void WithEngine(const std::function<void(SimInstrument&)>& fn)
    {
        if (front_)
            front_->Inspect(fn);
        else
            fn(*hid->Instrument());
    }

    std::vector<std::string> Commands() { return front_ ? front_->CommandLog() : hid->Instrument()->CommandLog(); }

    // Runs when the pump has been running for longer than limitMs of program
    // time: a test that lost its way ends instead of hanging.
    void Bailout(std::uint32_t limitMs, std::function<void()> bail)
    {
        limitStart_ = ticks.now;
        limitMs_ = limitMs;
        bail_ = std::move(bail);
    }
    bool BailedOut() const { return bailed_; }

    Script script;
    int pumpCount = 0;

    test::ManualClock ticks{1000};
    MessagePump pump;
    RecordingPrompter prompter;
    MemorySettingsStore store;
    CAppInfo settings;
    std::unique_ptr<CSerialCom> serial;
    std::unique_ptr<RovaDevice> device;
    std::unique_ptr<TestingContext> context;
    SimHidDevice* hid = nullptr;

private:
    void Pumped()
    {
        ++pumpCount;
        ticks.now += link_ == Link::Serial ? kSerialPumpStepMs : kPumpStepMs;
        if (bail_ && !bailed_ && ticks.now - limitStart_ > limitMs_) {
            bailed_ = true;
            bail_();
            return;
        }
        script.Step();
    }

    Link link_;
    std::unique_ptr<RunningPtySim> front_;
    std::unique_ptr<SimHidBackend> backend_;
    std::unique_ptr<HidTransport> usb_;

    std::uint32_t limitStart_ = 0;
    std::uint32_t limitMs_ = 0;
    std::function<void()> bail_;
    bool bailed_ = false;
};

// --- Views that record what their dialogs showed ----------------------------

struct RecordingDynamicView : DynamicTestView {
    void ShowValues(const DynamicTestValues& v) override { values = v; }
    DynamicTestValues ReadValues() override { return values; }
    void SetCurrentChoices(const std::vector<std::string>& choices) override { currentChoices = choices; }
    void ShowStatus(const std::string& text) override
    {
        status = text;
        if (statuses.empty() || statuses.back() != text)
            statuses.push_back(text);
    }
    void ShowButtons(const DynamicTestButtons& b) override
    {
        buttons = b;
        buttonHistory.push_back(b);
    }
    void SetTimer(int id, int ms) override { timers[id] = ms; }
    void KillTimer(int id) override { timers.erase(id); }
    void EndDialog() override { ended = true; }

    bool Shown(const std::string& text) const
    {
        for (const std::string& s : statuses)
            if (s == text)
                return true;
        return false;
    }

    DynamicTestValues values;
    std::vector<std::string> currentChoices;
    std::string status;
    std::vector<std::string> statuses;
    DynamicTestButtons buttons;
    std::vector<DynamicTestButtons> buttonHistory;
    std::map<int, int> timers;
    bool ended = false;
};

struct RecordingTransferView : TransferView {
    void ShowTexts(const std::string& s, const std::string& p) override
    {
        status = s;
        progress = p;
        if (!p.empty() && (progressTexts.empty() || progressTexts.back() != p))
            progressTexts.push_back(p);
    }
    void ShowProgress(std::size_t received, std::size_t expectedBytes) override
    {
        bar.push_back({received, expectedBytes});
    }
    void SetTimer(int id, int ms) override { timers[id] = ms; }
    void KillTimer(int id) override { timers.erase(id); }
    void EndDialog(int r) override
    {
        ended = true;
        result = r;
    }

    std::string status;
    std::string progress;
    std::vector<std::string> progressTexts;
    std::vector<std::pair<std::size_t, std::size_t>> bar;
    std::map<int, int> timers;
    bool ended = false;
    int result = -1;
};

struct RecordingDirectoryView : DirectoryView {
    void SetColumns(std::span<const DirectoryColumn> c) override { columns.assign(c.begin(), c.end()); }
    void AddRow(const std::vector<std::string>& cells) override { rows.push_back(cells); }
    void ShowPrefix(const std::string& p) override { prefix = p; }
    std::string ReadPrefix() override { return prefix; }
    std::vector<int> SelectedRows() override { return selected; }
    void EndDialog(int r) override
    {
        ended = true;
        result = r;
    }

    // Selects the rows of these record numbers, in this click order.
    void Select(const std::vector<int>& numbers)
    {
        selected.clear();
        for (int number : numbers) {
            for (std::size_t i = 0; i < rows.size(); ++i)
                if (std::stoi(rows[i][0]) == number)
                    selected.push_back(static_cast<int>(i));
        }
    }

    std::vector<DirectoryColumn> columns;
    std::vector<std::vector<std::string>> rows;
    std::string prefix;
    std::vector<int> selected;
    bool ended = false;
    int result = -1;
};

// Runs the dialogs' logic in place of windows: the transfer starts as its
// timer would start it, and the directory dialog plays what the test says
// the operator does in it.
struct SynchronousDialogs : ModalDialogs {
    int RunTransfer(CXferDlg& transfer) override
    {
        transfers.push_back(std::make_unique<RecordingTransferView>());
        RecordingTransferView& view = *transfers.back();
        current = &transfer;
        transfer.OnInitDialog(view);
        if (view.timers.count(1))
            transfer.OnTimer(1);
        current = nullptr;
        return view.result;
    }

    int RunDirectory(CTestDlg& dialog) override
    {
        directory = std::make_unique<RecordingDirectoryView>();
        dialog.OnInitDialog(*directory);
        if (operatorActs)
            operatorActs(dialog, *directory);
        if (!directory->ended)
            dialog.OnCancel();
        return directory->result;
    }

    RecordingTransferView* LastTransfer() { return transfers.empty() ? nullptr : transfers.back().get(); }

    std::vector<std::unique_ptr<RecordingTransferView>> transfers;
    CXferDlg* current = nullptr;
    std::unique_ptr<RecordingDirectoryView> directory;
    std::function<void(CTestDlg&, RecordingDirectoryView&)> operatorActs;
};

// --- Records for the instrument's memory -------------------------------------

inline SimStoredRecord StaticRecord(int number, int readings, const std::string& company)
{
    DemoParameters p;
    p.testType = 1;
    p.readingCount = readings;
    p.header.company = company;
    p.seed = static_cast<std::uint64_t>(number);
    return DescribeStoredRecord(number, BuildStaticRecord(p), false);
}

inline SimStoredRecord DynamicRecord(int number, int seconds)
{
    DemoParameters p;
    p.testType = 4;
    p.seconds = seconds;
    p.tapChanges = 1;
    p.seed = static_cast<std::uint64_t>(number);
    return DescribeStoredRecord(number, BuildDynamicRecord(p), false);
}

inline bool Contains(const std::vector<std::string>& texts, const std::string& text)
{
    for (const std::string& t : texts)
        if (t == text)
            return true;
    return false;
}

inline int CountOf(const std::vector<std::string>& texts, const std::string& text)
{
    int n = 0;
    for (const std::string& t : texts)
        n += t == text;
    return n;
}

}  // namespace tkan::test
