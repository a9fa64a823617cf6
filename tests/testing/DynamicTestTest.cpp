#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "records/TestRecord.h"
#include "reports/AutoExport.h"
#include "settings/AppInfo.h"
#include "support/TempDir.h"
#include "support/TestingRig.h"

namespace tkan::test {
namespace {

const std::string kPressStart = "\r*** PRESS START TO BEGIN ***";
const std::string kPressRaiseLower = "\r   *** READY PRESS RAISE/LOWER BUTTON TO START ***";
const std::string kEnergized = "\r   *** XFMR ENERGIZED ***";
const std::string kCalibrating = "\r   *** XFMR CALIBRATING ***";
const std::string kComplete = "\r TEST COMPLETE";

std::string TimeLeft(int seconds)
{
    return "\rTime Left: " + std::to_string(seconds) + " seconds";
}

bool IsTimeLeft(const std::string& status)
{
    return status.rfind("\rTime Left: ", 0) == 0;
}

// Program time after which a run that lost its way is closed.
constexpr std::uint32_t kRunLimitMs = 10 * 60 * 1000;

// The Dynamic Test dialog's logic on a rig, with the transfer run in place.
struct DynamicRun {
    explicit DynamicRun(Rig& r) : rig(r), dialog(*r.context, dialogs) {}

    void Open() { dialog.OnInitDialog(view); }

    // The operator picks how the tap changer is driven.
    void ChooseTapControl(int tapControl, int relayMode)
    {
        view.values.tapControl = tapControl;
        view.values.relayMode = relayMode;
        dialog.OnTapControlClicked();
    }

    // The start-up timer's tick: the poll loop runs in it until the dialog
    // ends, the script playing the operator's part.
    void Run()
    {
        rig.Bailout(kRunLimitMs, [this] { dialog.CloseTest(); });
        rig.ticks.now += 250;
        dialog.OnTimer(1);
    }

    // Everything the program sent after it acknowledged the start.
    std::vector<std::string> SentAfterStart()
    {
        std::vector<std::string> log = rig.Commands();
        auto y = std::find(log.begin(), log.end(), "Y");
        return y == log.end() ? std::vector<std::string>{} : std::vector<std::string>(y + 1, log.end());
    }

    bool RaiseLowerEverEnabled() const
    {
        return std::any_of(view.buttonHistory.begin(), view.buttonHistory.end(),
                           [](const DynamicTestButtons& b) { return b.raiseLower; });
    }

    Rig& rig;
    SynchronousDialogs dialogs;
    RecordingDynamicView view;
    dlgDynamicTest dialog;
};

// The index of `wanted` in `log` at or after `from`; log.size() if absent.
std::size_t Find(const std::vector<std::string>& log, const std::string& wanted, std::size_t from = 0)
{
    auto at = std::find(log.begin() + static_cast<std::ptrdiff_t>(std::min(from, log.size())), log.end(), wanted);
    return static_cast<std::size_t>(at - log.begin());
}

// For runs that wait for the instrument's own end of a two-minute test after
// an injected DONE; nothing here depends on when it stops.
SimOptions FinishingQuickly()
{
    SimOptions options = FastInstrument();
    options.clockFactor = 60;
    return options;
}

class DynamicTestRun : public ::testing::TestWithParam<Link> {};

TEST_P(DynamicTestRun, FifteenSecondsAtTenAmpsStopsAtT105AndDrivesNoRelay)
{
    Rig rig(GetParam());
    DynamicRun run(rig);
    run.Open();
    ASSERT_FALSE(run.dialog.Ended());
    EXPECT_EQ(run.view.currentChoices, (std::vector<std::string>{"5 AMPS", "10 AMPS"}));
    EXPECT_EQ(run.view.status, kPressStart);
    EXPECT_EQ(run.view.timers[1], 250);

    run.view.values.currentIndex = 1;  // 10 AMPS; the length list starts at 15 Seconds
    rig.script.Then([&] { EXPECT_EQ(run.dialog.StartTest(), 1); })
        .When([&] { return run.dialog.Ready() && !run.dialog.Running(); }, [&] { run.dialog.CloseTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    std::vector<std::string> log = rig.Commands();
    std::size_t current = Find(log, "i0a");
    std::size_t type = Find(log, "t04", current);
    std::size_t start = Find(log, "T314", type);
    std::size_t yes = Find(log, "Y", start);
    std::size_t go = Find(log, "G", yes);
    std::size_t stop = Find(log, "S", go);
    EXPECT_LT(stop, log.size()) << "i0a t04 T314 Y G S in that order";
    for (const char* relay : {"U", "D", "O"})
        EXPECT_EQ(Find(log, relay), log.size()) << relay;

    // The countdown from the instrument's T=120 to T=105, every second shown.
    std::vector<std::string> countdown;
    for (const std::string& s : run.view.statuses)
        if (IsTimeLeft(s))
            countdown.push_back(s);
    std::vector<std::string> expected;
    for (int left = 15; left >= 0; --left)
        expected.push_back(TimeLeft(left));
    EXPECT_EQ(countdown, expected);

    EXPECT_FALSE(run.RaiseLowerEverEnabled());
    EXPECT_TRUE(run.dialog.Ready());
    EXPECT_TRUE(run.view.ended);
    EXPECT_TRUE(rig.prompter.shown.empty());

    // The instrument stopped about fifteen seconds into its record.
    rig.WithEngine([](SimInstrument& e) {
        ASSERT_FALSE(e.Records().empty());
        std::size_t bytes = e.Records().back().bytes.size();
        int seconds = static_cast<int>((bytes - 256) / 6 / 2000);
        EXPECT_GE(seconds, 15);
        EXPECT_LE(seconds, 17);
        EXPECT_EQ(e.Phase(), SimInstrument::RunPhase::Idle);
    });
}

TEST_P(DynamicTestRun, TwoHundredFortySecondsSendsT05AndShowsTheInstrumentsOwnCount)
{
    Rig rig(GetParam());
    DynamicRun run(rig);
    run.Open();
    run.view.values.lengthIndex = 4;  // 240 Seconds, at 5 AMPS
    bool stoppedDuringRead = false;
    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return run.view.status == TimeLeft(237) && rig.device->IsBusy(); },
              [&] {
                  stoppedDuringRead = true;
                  run.dialog.StopTest();
              })
        .When([&] { return !run.dialog.Running(); }, [&] { run.dialog.CloseTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    std::vector<std::string> log = rig.Commands();
    EXPECT_LT(Find(log, "t05", Find(log, "i05")), log.size());
    EXPECT_EQ(Find(log, "t04"), log.size());
    EXPECT_LT(Find(log, "S", Find(log, "G")), log.size());
    EXPECT_TRUE(stoppedDuringRead);

    std::vector<std::string> countdown;
    for (const std::string& s : run.view.statuses)
        if (IsTimeLeft(s))
            countdown.push_back(s);
    EXPECT_EQ(countdown, (std::vector<std::string>{TimeLeft(240), TimeLeft(239), TimeLeft(238), TimeLeft(237)}));
    EXPECT_EQ(run.view.status, "");
}

TEST_P(DynamicTestRun, ASecondsLeftBelowZeroShowsZeroAndStops)
{
    Rig rig(GetParam());
    DynamicRun run(rig);
    run.Open();
    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return run.view.status == TimeLeft(15); },
              [&] { rig.WithEngine([](SimInstrument& e) { e.Inject("T=50\r\n"); }); })
        .When([&] { return !run.dialog.Running(); }, [&] { run.dialog.CloseTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    EXPECT_TRUE(run.view.Shown(TimeLeft(0)));
    // Stopped by the injected line, long before its own count got low.
    EXPECT_FALSE(run.view.Shown(TimeLeft(5)));
    std::vector<std::string> after = run.SentAfterStart();
    EXPECT_NE(std::find(after.begin(), after.end(), "S"), after.end());
}

TEST_P(DynamicTestRun, OneLineWithSeveralMarkersRunsEachInMarkerOrder)
{
    Rig rig(GetParam());
    DynamicRun run(rig);
    run.Open();
    std::string blinkWhenShown;
    rig.script.Then([&] { run.dialog.StartTest(); })
        .Then([&] { rig.WithEngine([](SimInstrument& e) { e.Inject("T=110 CHRG\r\n"); }); })
        .When([&] { return run.view.status == TimeLeft(5); }, [&] { blinkWhenShown = run.dialog.BlinkText(); })
        .Then([&] { run.dialog.StopTest(); })
        .Then([&] { run.dialog.CloseTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    // CHRG set its message first; the countdown, acting after it, replaced it.
    EXPECT_EQ(blinkWhenShown, TimeLeft(5));
}

TEST_P(DynamicTestRun, EnergizedAndCalibratingBlinkUntilReady)
{
    // Charging and calibrating take 2.5 s each on the instrument; the status
    // must have time to blink before READY. The serial port's program time
    // runs several times faster than the instrument's real one.
    SimOptions slow = FastInstrument();
    slow.clockFactor = GetParam() == Link::Serial ? 3 : 1;
    Rig rig(GetParam(), slow);
    DynamicRun run(rig);
    run.Open();
    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return run.dialog.Ready(); }, [&] { run.dialog.StopTest(); })
        .Then([&] { run.dialog.CloseTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    // Before READY the status shows a message, then nothing, in turn.
    auto message = std::find_if(run.view.statuses.begin(), run.view.statuses.end(),
                                [](const std::string& s) { return s == kEnergized || s == kCalibrating; });
    ASSERT_NE(message, run.view.statuses.end());
    ASSERT_NE(message + 1, run.view.statuses.end());
    EXPECT_EQ(*(message + 1), "");
}

TEST_P(DynamicTestRun, RaiseWithLatchSendsUOnReadyAndKeepsTheButtonDisabled)
{
    Rig rig(GetParam());
    DynamicRun run(rig);
    run.Open();
    EXPECT_FALSE(run.view.buttons.latch);
    run.view.values.tapControl = kRaiseTap;
    run.dialog.OnTapControlClicked();
    EXPECT_TRUE(run.view.buttons.latch);
    EXPECT_TRUE(run.view.buttons.momentary);

    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return IsTimeLeft(run.view.status); }, [&] { run.dialog.StopTest(); })
        .Then([&] { run.dialog.CloseTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    std::vector<std::string> after = run.SentAfterStart();
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), "U");
    EXPECT_EQ(std::count(after.begin(), after.end(), "G"), 0);
    EXPECT_FALSE(run.RaiseLowerEverEnabled());
}

TEST_P(DynamicTestRun, LowerWithMomentaryWaitsForTheButtonWhichDrivesDAndO)
{
    Rig rig(GetParam());
    DynamicRun run(rig);
    run.Open();
    run.ChooseTapControl(kLowerTap, kMomentary);

    std::string statusAtPress;
    bool pressedDuringRead = false;
    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return run.view.buttons.raiseLower && rig.device->IsBusy(); },
              [&] {
                  statusAtPress = run.view.status;
                  pressedDuringRead = true;
                  run.dialog.RelayButtonEvent(kRelayPressed);
              })
        .When([&] { return IsTimeLeft(run.view.status); }, [&] { run.dialog.RelayButtonEvent(kRelayReleased); })
        .Then([&] { run.dialog.StopTest(); })
        .Then([&] { run.dialog.CloseTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    EXPECT_EQ(statusAtPress, kPressRaiseLower);
    EXPECT_TRUE(pressedDuringRead);
    std::vector<std::string> after = run.SentAfterStart();
    std::size_t lower = Find(after, "D");
    std::size_t release = Find(after, "O", lower);
    EXPECT_LT(release, after.size()) << "D, then O";
    EXPECT_EQ(Find(after, "G"), after.size());
    EXPECT_EQ(Find(after, "U"), after.size());
}

// The operator still holds Raise / Lower when the dialog stops the test at
// the chosen length: the dialog itself releases the relay, whatever its view
// does with the button.
TEST_P(DynamicTestRun, ARelayHeldWhenTheButtonGoesGreyIsReleasedByTheDialog)
{
    Rig rig(GetParam());
    DynamicRun run(rig);
    run.Open();
    run.ChooseTapControl(kRaiseTap, kMomentary);

    bool greyAfterStop = false;
    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return run.view.buttons.raiseLower; }, [&] { run.dialog.RelayButtonEvent(kRelayPressed); })
        .When([&] { return !run.dialog.Running(); }, [&] { greyAfterStop = !run.view.buttons.raiseLower; })
        .Then([&] { run.dialog.CloseTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    EXPECT_TRUE(greyAfterStop);
    // Answered only once the instrument has read all that was sent before.
    ASSERT_EQ(rig.device->Connect(1), 1);
    std::vector<std::string> relays;
    for (const std::string& c : run.SentAfterStart())
        if (c == "G" || c == "U" || c == "D" || c == "O")
            relays.push_back(c);
    EXPECT_EQ(relays, (std::vector<std::string>{"U", "O"}));
    rig.WithEngine([](SimInstrument& e) { EXPECT_EQ(e.RelayState(), SimInstrument::Relay::Off); });
}

TEST_P(DynamicTestRun, ExitAsksOnlyWhenUnsavedDataExist)
{
    {
        // Before READY: no data on the instrument, no question, wherever in
        // the start the click lands. A start cut short leaves the instrument
        // without a test; one that got as far as its confirmation is stopped.
        for (const char* after : {"i05", "T314", "Y"}) {
            Rig rig(GetParam());
            DynamicRun run(rig);
            run.Open();
            rig.script.Then([&] { run.dialog.StartTest(); })
                .When([&] { return Contains(rig.Commands(), after); }, [&] { run.dialog.ExitTest(); });
            run.Run();
            EXPECT_TRUE(run.view.ended) << after;
            EXPECT_TRUE(rig.prompter.shown.empty()) << after;
            std::vector<std::string> log = rig.Commands();
            if (Contains(log, "Y")) {
                EXPECT_LT(Find(log, "S", Find(log, "Y")), log.size()) << after << ::testing::PrintToString(log);
            }
            rig.WithEngine([&](SimInstrument& e) {
                EXPECT_TRUE(e.Phase() == SimInstrument::RunPhase::Idle ||
                            e.Phase() == SimInstrument::RunPhase::AwaitingConfirmation)
                    << after << ::testing::PrintToString(log);
            });
        }
    }
    {
        // After DONE: asked; No keeps the dialog and its polling, Yes closes.
        Rig rig(GetParam(), FinishingQuickly());
        DynamicRun run(rig);
        run.Open();
        rig.prompter.answers = {Answer::No, Answer::Yes};
        bool openAfterNo = false;
        rig.script.Then([&] { run.dialog.StartTest(); })
            .When([&] { return IsTimeLeft(run.view.status); },
                  [&] { rig.WithEngine([](SimInstrument& e) { e.Inject("DONE\r\n"); }); })
            .When([&] { return run.view.status == kComplete && !rig.device->IsBusy(); },
                  [&] {
                      run.dialog.ExitTest();
                      openAfterNo = !run.view.ended && !run.dialog.ExitRequested();
                  })
            .Then([&] { run.dialog.ExitTest(); });
        run.Run();
        ASSERT_FALSE(rig.BailedOut());
        EXPECT_TRUE(openAfterNo);
        EXPECT_TRUE(run.view.ended);
        ASSERT_EQ(rig.prompter.shown.size(), 2u);
        for (const RecordingPrompter::Shown& s : rig.prompter.shown) {
            EXPECT_EQ(s.text, "Exit test without saving ?");
            EXPECT_EQ(s.style, MessageStyle::Tkan);
        }
    }
}

TEST_P(DynamicTestRun, StartClickedWhileTheDialogStillReadsWaitsForTheReadsToEnd)
{
    Rig rig(GetParam(), FinishingQuickly());
    DynamicRun run(rig);
    run.Open();
    int clickResult = -1;
    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return IsTimeLeft(run.view.status); },
              [&] { rig.WithEngine([](SimInstrument& e) { e.Inject("DONE\r\n"); }); })
        // The instrument still counts down: the dialog reads its lines away.
        .When([&] { return run.view.status == kComplete && rig.device->IsBusy(); },
              [&] { clickResult = run.dialog.StartTest(); })
        .When([&] { return run.dialog.Running(); }, [&] { run.dialog.StopTest(); })
        .Then([&] { run.dialog.CloseTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    EXPECT_EQ(clickResult, 0);
    std::vector<std::string> log = rig.Commands();
    EXPECT_EQ(std::count(log.begin(), log.end(), "T314"), 2) << "the second start went out after the reads";
    EXPECT_TRUE(rig.prompter.shown.empty());
}

TEST_P(DynamicTestRun, CloseBoxNeverAsksAndKeepsTheHeaderForNextTime)
{
    Rig rig(GetParam());
    rig.store.Set("Settings", "Station", "Harlow Substation");
    DynamicRun run(rig);
    run.Open();
    EXPECT_EQ(run.view.values.header[1], "Harlow Substation");
    run.view.values.header[0] = "ACME Power";
    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return IsTimeLeft(run.view.status); }, [&] { run.dialog.StopTest(); })
        .Then([&] { run.dialog.CloseTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    EXPECT_TRUE(run.dialog.Ready());
    EXPECT_TRUE(run.view.ended);
    EXPECT_TRUE(rig.prompter.shown.empty());
    EXPECT_EQ(rig.store.Get("Settings", "Company"), "ACME Power");
    EXPECT_EQ(rig.store.Get("Settings", "Station"), "Harlow Substation");
    EXPECT_TRUE(rig.store.Has("Settings", "Operator"));
}

TEST_P(DynamicTestRun, CancellingTheSaveDialogChangesNothing)
{
    Rig rig(GetParam());
    rig.settings.FilePath = "/srv/tests";
    DynamicRun run(rig);
    run.Open();
    DynamicTestButtons before;
    std::string statusBefore;
    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return IsTimeLeft(run.view.status); }, [&] { run.dialog.StopTest(); })
        // Clicked once the stop's reads are over and the dialog idles.
        .When([&] { return !run.dialog.Running() && !rig.device->IsBusy(); },
              [&] {
                  before = run.view.buttons;
                  statusBefore = run.view.status;
                  run.dialog.SaveTest();  // the chooser's script is empty: Cancel
              })
        .Then([&] { run.dialog.CloseTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    ASSERT_EQ(rig.prompter.saveRequests.size(), 1u);
    EXPECT_EQ(rig.prompter.saveRequests[0].defaultExtension, ".tst-tkan");
    EXPECT_EQ(rig.prompter.saveRequests[0].filter, "Test (*.tst-tkan) |*.tst-tkan||");
    EXPECT_EQ(rig.prompter.saveRequests[0].initialFolder, "/srv/tests");
    EXPECT_EQ(rig.prompter.saveRequests[0].initialName, "");
    EXPECT_TRUE(before.saveTest);
    EXPECT_TRUE(run.dialogs.transfers.empty());
    EXPECT_FALSE(run.dialog.Saved());
    EXPECT_EQ(run.view.buttonHistory.back(), before);
    EXPECT_EQ(statusBefore, "");
}

// The download exports as a downloaded record does ("AutoExport"), the
// dialog's own load of the saved file as a test run does (the flags).
TEST_P(DynamicTestRun, ASavedRunIsExportedAsTheSettingsSay)
{
    TempDir folder;
    Rig rig(GetParam());
    rig.settings.AutoExport = 1;
    rig.settings.AutoExportDir = folder.Path();
    rig.settings.AutoExportXml = 1;
    rig.settings.AutoExportFolder = folder.File("Export");
    ReportExportContext exports{rig.settings, rig.prompter, rig.pump, rig.ticks, [] { return std::time_t(0); }, {}};
    rig.context->autoExport = MakeAutoExportHook(exports);
    DynamicRun run(rig);
    run.Open();
    rig.prompter.saveFiles = {folder.File("Run1")};
    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return !run.dialog.Running() && run.dialog.Ready(); }, [&] { run.dialog.SaveTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());
    EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::string>{"Export", "Run1.tst-tkan", "Run1.xlsx"}));
    EXPECT_EQ(FilesIn(folder.File("Export/Xml")), std::vector<std::string>{"Run1.xml"});
    EXPECT_TRUE(rig.prompter.shown.empty());
}

TEST_P(DynamicTestRun, SaveDownloadsTheTestWithItsHeaderAndLengthAndEndsTheDialog)
{
    TempDir folder;
    Rig rig(GetParam());
    int exported = 0;
    rig.context->autoExport = [&](const TestRecord& r) { exported += r.IsDynamic(); };
    DynamicRun run(rig);
    run.Open();
    run.view.values.header[0] = "ACME Power";
    run.view.values.header[5] = "SN-77";
    rig.prompter.saveFiles = {folder.File("Run1")};
    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return !run.dialog.Running() && run.dialog.Ready(); }, [&] { run.dialog.SaveTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    const std::string path = folder.File("Run1.tst-tkan");
    EXPECT_TRUE(run.view.ended);
    EXPECT_TRUE(run.dialog.Saved());
    EXPECT_EQ(run.dialog.SavedPath(), path);
    EXPECT_EQ(run.dialog.FileToOpen(), path);
    EXPECT_GT(exported, 0);
    EXPECT_TRUE(rig.prompter.shown.empty());

    RecordingTransferView* transfer = run.dialogs.LastTransfer();
    ASSERT_NE(transfer, nullptr);
    EXPECT_EQ(transfer->status, "Dynamic");
    EXPECT_EQ(transfer->result, 1);
    ASSERT_FALSE(transfer->bar.empty());
    EXPECT_EQ(transfer->bar.back().second, 256u + 15u * 2000u * 6u);
    std::vector<std::string> after = run.SentAfterStart();
    EXPECT_EQ(after.back(), "r");

    TestRecord record;
    ASSERT_EQ(record.LoadTestFile(path), 1);
    EXPECT_EQ(record.testType, 4);
    EXPECT_EQ(record.trace.seconds, 15);
    EXPECT_EQ(record.trace.sampleCount, 30000);
    EXPECT_EQ(record.header.company, "ACME Power");
    EXPECT_EQ(record.header.serialNumber, "SN-77");
}

TEST_P(DynamicTestRun, AFailedDownloadSavesNothingAndLeavesTheTestToBeSavedAgain)
{
    TempDir folder;
    Rig rig(GetParam());
    DynamicRun run(rig);
    run.Open();
    rig.prompter.saveFiles = {folder.File("Run2.tst-tkan")};
    bool saveStillOffered = false;
    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return !run.dialog.Running() && run.dialog.Ready(); }, [&] { run.dialog.SaveTest(); })
        .When([&] { return run.dialogs.current && !run.dialogs.LastTransfer()->progressTexts.empty(); },
              [&] { run.dialogs.current->OnAbort(); })
        .When([&] { return !run.dialogs.current; },
              [&] {
                  saveStillOffered = run.view.buttons.saveTest && !run.view.ended;
                  run.dialog.CloseTest();
              });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    EXPECT_TRUE(saveStillOffered);
    EXPECT_FALSE(run.dialog.Saved());
    EXPECT_EQ(run.dialog.SavedPath(), "");
    EXPECT_EQ(run.dialog.FileToOpen(), "");
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    EXPECT_TRUE(Contains(rig.prompter.Texts(), "Error reading data from device"));
}

TEST_P(DynamicTestRun, AnInstrumentThatIsNoTkanIsRefused)
{
    for (SimModel model : {SimModel::Rkz40, SimModel::Other}) {
        Rig rig(GetParam(), FastInstrument(model));
        DynamicRun run(rig);
        run.Open();
        EXPECT_TRUE(run.dialog.Ended()) << SimModelName(model);
        EXPECT_TRUE(run.view.ended);
        EXPECT_TRUE(run.view.timers.empty());
        ASSERT_EQ(rig.prompter.shown.size(), 1u);
        EXPECT_EQ(rig.prompter.shown[0].style, MessageStyle::Warning);
        EXPECT_EQ(rig.prompter.shown[0].text, "Not a TKAN device");
        EXPECT_EQ(rig.Commands(), (std::vector<std::string>{"B", "W"}));
    }
}

TEST_P(DynamicTestRun, AnInstrumentFallingSilentLeavesTheDialogUsable)
{
    Rig rig(GetParam());
    DynamicRun run(rig);
    run.Open();
    std::uint32_t mutedAt = 0;
    DynamicTestButtons afterStop;
    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return IsTimeLeft(run.view.status); },
              [&] {
                  rig.WithEngine([](SimInstrument& e) { e.SetMuted(true); });
                  mutedAt = rig.ticks.now;
              })
        .When([&] { return rig.ticks.now - mutedAt > 5000; }, [&] { run.dialog.StopTest(); })
        .When([&] { return !run.dialog.Running(); },
              [&] {
                  afterStop = run.view.buttons;
                  run.dialog.ExitTest();
              });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    EXPECT_TRUE(afterStop.startTest);
    EXPECT_TRUE(afterStop.saveTest);
    EXPECT_FALSE(afterStop.stopTest);
    EXPECT_TRUE(run.view.ended);
    // Time-outs of a quiet instrument are not reported; only the question.
    EXPECT_EQ(rig.prompter.Texts(), (std::vector<std::string>{"Exit test without saving ?"}));
}

TEST_P(DynamicTestRun, TheLinkDroppingMidTestIsReportedOnceAndTheDialogStaysUsable)
{
    Rig rig(GetParam(), FastInstrument(SimModel::Tkan, {SimFault::LinkDrop}));
    DynamicRun run(rig);
    run.Open();
    DynamicTestButtons afterDrop;
    int pumpsAtDrop = 0;
    rig.script.Then([&] { run.dialog.StartTest(); })
        .When([&] { return run.dialog.Ready() && !run.dialog.Running(); },
              [&] {
                  afterDrop = run.view.buttons;
                  pumpsAtDrop = rig.pumpCount;
              })
        // The dialog idles: no more reads, no more messages.
        .When([&] { return rig.pumpCount > pumpsAtDrop + 20; }, [&] { run.dialog.ExitTest(); });
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    EXPECT_TRUE(afterDrop.startTest);
    EXPECT_FALSE(afterDrop.stopTest);
    EXPECT_TRUE(run.view.ended);
    std::vector<std::string> texts = rig.prompter.Texts();
    EXPECT_LE(texts.size(), 4u) << ::testing::PrintToString(texts);
    const std::string lost = GetParam() == Link::Usb ? "Device not available" : "Can't open com port for device";
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.rfind(lost, 0) == 0; }))
        << ::testing::PrintToString(texts);
}

INSTANTIATE_TEST_SUITE_P(Links, DynamicTestRun, ::testing::Values(Link::Serial, Link::Usb),
                         [](const ::testing::TestParamInfo<Link>& info) { return LinkName(info.param); });

TEST(DynamicTestRunUsb, NoInstrumentAtOpeningEndsTheDialogWithTheConnectionsMessage)
{
    Rig rig(Link::Usb);
    rig.hid->Unplug();
    DynamicRun run(rig);
    run.Open();
    EXPECT_TRUE(run.view.ended);
    EXPECT_EQ(rig.prompter.Texts(), (std::vector<std::string>{"Device not available"}));
}

// Between passes without a test the dialog waits inside the pump, so that a
// click is handled when it comes rather than after a wait that lets nothing
// through; the passes stay 250 ms apart.
TEST(DynamicTestIdle, TheIdleWaitDispatchesClicksAsTheyArrive)
{
    Rig rig(Link::Usb);
    DynamicRun run(rig);
    run.Open();
    std::vector<std::uint32_t> waits;
    rig.pump.SetWaitHook([&](std::uint32_t timeoutMs) {
        waits.push_back(timeoutMs);
        rig.pump.PumpWaitingMessages();  // a message arrives: 20 ms on, and the script plays
    });
    rig.script.When([&] { return waits.size() == 3; }, [&] { run.dialog.CloseTest(); });
    const std::uint64_t sleptBefore = rig.ticks.slept;
    run.Run();
    ASSERT_FALSE(rig.BailedOut());

    EXPECT_TRUE(run.view.ended);
    EXPECT_EQ(waits, (std::vector<std::uint32_t>{250, 230, 210}));
    EXPECT_EQ(rig.ticks.slept, sleptBefore) << "no wait that lets nothing through";
}

}  // namespace
}  // namespace tkan::test
