#include "testing/RunTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/TestRecord.h"
#include "support/TempDir.h"
#include "support/TestingRig.h"
#include "testing/TestCurrent.h"

namespace tkan::test {
namespace {

// Plays the Run Test dialog's table and values the way the window would.
struct RecordingRunView : RunTestView {
    void ShowValues(const RunTestValues& v) override { values = v; }
    RunTestValues ReadValues() override { return values; }
    void ShowReadings(const StaticReadings& readings, bool r3, int) override
    {
        rows = readings.Rows();
        withR3 = r3;
    }
    int SelectedReading() override { return selected; }
    void ShowStatus(const std::string& text) override { status = text; }
    void ShowResistances(const RunTestResistances& r) override { resistances = r; }
    void ShowElapsed(const std::string& text) override { elapsed = text; }
    void ShowButtons(const RunTestButtons& b) override { buttons = b; }
    void SetTimer(int id, int ms) override { timers[id] = ms; }
    void KillTimer(int id) override { timers.erase(id); }
    void EndDialog() override { ended = true; }

    RunTestValues values;
    std::vector<ReadingRow> rows;
    bool withR3 = false;
    int selected = -1;
    std::string status;
    RunTestResistances resistances;
    std::string elapsed;
    RunTestButtons buttons;
    std::map<int, int> timers;
    bool ended = false;
};

// The Select Test Current dialog answered as the test says.
struct ChoosingDialogs : SynchronousDialogs {
    int RunTestCurrent(dlgTestCurrent& choice) override
    {
        ++currentDialogs;
        return choice.OnOk(chosen);
    }
    TestCurrentValues chosen;
    int currentDialogs = 0;
};

class RunTestRun : public ::testing::TestWithParam<Link> {};

// A TKAN V1/V2/V3 run at 10 A with three captures, saved and loaded back.
TEST_P(RunTestRun, ATkanRunCapturesThreeReadingsAndSavesThemAsAResultsReport)
{
    Rig rig(GetParam());
    TempDir folder;
    const std::string path = folder.Path() + "/Static7.tst-tkan";
    rig.prompter.saveFiles.push_back(path);
    rig.context->clockTime = [] { return std::time_t{1781085607}; };
    ChoosingDialogs dialogs;
    dialogs.chosen.currentIndex = 2;
    dlgRunTest dialog(*rig.context, dialogs, {"V1/V2/V3", false, 0});
    RecordingRunView view;
    dialog.OnInitDialog(view);
    ASSERT_FALSE(dialog.Ended()) << ::testing::PrintToString(rig.prompter.Texts());
    EXPECT_TRUE(view.buttons.relaysVisible);
    EXPECT_TRUE(view.withR3);
    view.values.header[0] = "ACME";
    view.values.temperatures.tmCelsius = "20";
    view.values.temperatures.tsCelsius = "75";

    // Each capture once all three windings have reported in this run.
    int captures = 0;
    auto allReported = [&] { return view.buttons.acceptTest && !view.resistances.texts[2].empty(); };
    rig.script.Then([&] { dialog.StartTest(); })
        .When(allReported,
              [&] {
                  dialog.AcceptReading();
                  ++captures;
              })
        .When(allReported,
              [&] {
                  dialog.AcceptReading();
                  ++captures;
              })
        .When(allReported,
              [&] {
                  dialog.AcceptReading();
                  ++captures;
              })
        .Then([&] { dialog.StopTest(); })
        .Then([&] { dialog.SaveTest(); });
    rig.Bailout(120000, [&] { dialog.CloseTest(); });
    dialog.OnTimer(1);

    ASSERT_FALSE(rig.BailedOut());
    ASSERT_EQ(captures, 3);
    ASSERT_EQ(dialog.FileToOpen(), path);
    const std::vector<std::string> commands = rig.Commands();
    for (const char* sent : {"i0a", "t03", "T314", "Y", "S"})
        EXPECT_TRUE(Contains(commands, sent)) << sent << " in " << ::testing::PrintToString(commands);

    TestRecord loaded;
    ASSERT_EQ(loaded.LoadTestFile(path), 1);
    ASSERT_EQ(loaded.readingCount, 3);
    // The report keeps a header text in its 20-character column.
    EXPECT_EQ(loaded.header.company, "ACME                ");
    EXPECT_DOUBLE_EQ(loaded.measureTemp, 20);
    EXPECT_DOUBLE_EQ(loaded.referenceTemp, 75);
    EXPECT_TRUE(loaded.HasV3());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(FormatResistance(loaded.readings[static_cast<std::size_t>(i)].r1, true, false),
                  view.rows[static_cast<std::size_t>(i)].r1);
        EXPECT_EQ(FormatResistance(loaded.readings[static_cast<std::size_t>(i)].r3, true, false),
                  view.rows[static_cast<std::size_t>(i)].r3);
    }
}

// An RKZ meter starts on "T", stops on ESC, has no relays and no V3.
TEST_P(RunTestRun, AnRkzMeterRunStartsOnTAndStopsOnEscape)
{
    SimOptions options = FastInstrument(SimModel::Rkz10);
    Rig rig(GetParam(), options);
    ChoosingDialogs dialogs;
    dlgRunTest dialog(*rig.context, dialogs, {"V1/V2", false, 0});
    RecordingRunView view;
    dialog.OnInitDialog(view);
    ASSERT_FALSE(dialog.Ended()) << ::testing::PrintToString(rig.prompter.Texts());
    EXPECT_FALSE(view.buttons.relaysVisible);
    EXPECT_FALSE(view.withR3);

    rig.script.Then([&] { dialog.StartTest(); })
        .When([&] { return view.buttons.acceptTest && !view.resistances.texts[1].empty(); },
              [&] { dialog.AcceptReading(); })
        .Then([&] { dialog.ExitTest(); });
    rig.prompter.answers.push_back(Answer::Yes);
    rig.Bailout(60000, [&] { dialog.CloseTest(); });
    dialog.OnTimer(1);

    ASSERT_FALSE(rig.BailedOut());
    const std::vector<std::string> commands = rig.Commands();
    EXPECT_TRUE(Contains(commands, "T"));
    EXPECT_TRUE(Contains(commands, "ESC"));
    EXPECT_FALSE(Contains(commands, "T314"));
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_FALSE(view.rows[0].r2.empty());
    EXPECT_TRUE(view.rows[0].r3.empty());
}

// A regulator run of 2 steps: its taps fill from the top, the sixth capture
// is refused, and the neutral row keeps its label through the saved file.
TEST_P(RunTestRun, ARegulatorRunFillsItsTapsAndKeepsThemThroughTheFile)
{
    Rig rig(GetParam());
    TempDir folder;
    const std::string path = folder.Path() + "/Taps.tst-tkan";
    rig.prompter.saveFiles.push_back(path);
    ChoosingDialogs dialogs;
    dlgRunTest dialog(*rig.context, dialogs, {"V1 STATIC LTC", true, 2});
    RecordingRunView view;
    dialog.OnInitDialog(view);
    ASSERT_FALSE(dialog.Ended());
    ASSERT_EQ(view.rows.size(), 5u);

    rig.script.Then([&] { dialog.StartTest(); })
        .When([&] { return view.buttons.acceptTest; },
              [&] {
                  for (int i = 0; i < 6; ++i)
                      dialog.AcceptReading();
                  dialog.StopTest();
                  dialog.SaveTest();
              });
    rig.Bailout(60000, [&] { dialog.CloseTest(); });
    dialog.OnTimer(1);

    ASSERT_FALSE(rig.BailedOut());
    EXPECT_EQ(CountOf(rig.prompter.Texts(), "Test limit reached"), 1);
    TestRecord loaded;
    ASSERT_EQ(loaded.LoadTestFile(path), 1);
    ASSERT_EQ(loaded.readingCount, 5);
    EXPECT_EQ(loaded.tapsPerSide, 2);
    EXPECT_EQ(loaded.ReadingLabel(0), " 2L");
    EXPECT_EQ(loaded.ReadingLabel(2), " N");
    EXPECT_GT(loaded.readings[2].r1, 0);
    EXPECT_EQ(loaded.ReadingLabel(4), " 2R");
}

INSTANTIATE_TEST_SUITE_P(Links, RunTestRun, ::testing::Values(Link::Serial, Link::Usb),
                         [](const auto& info) { return LinkName(info.param); });

// Timed capture: the first reading by hand, the others a minute apart by
// themselves, then the test stops; a run of n minutes takes n readings.
TEST(RunTestTimed, NMinutesTakeNReadingsAndStop)
{
    for (int minutes : {3, 1}) {
        SCOPED_TRACE(minutes);
        Rig rig(Link::Usb);
        ChoosingDialogs dialogs;
        dialogs.chosen.timed = true;
        dialogs.chosen.durationText = std::to_string(minutes);
        dlgRunTest dialog(*rig.context, dialogs, {"V1 ONLY", false, 0});
        RecordingRunView view;
        dialog.OnInitDialog(view);
        ASSERT_EQ(dialog.CaptureMinutes(), minutes);

        bool acceptAfterFirst = true;
        rig.script.Then([&] { dialog.StartTest(); })
            .When([&] { return view.buttons.acceptTest; }, [&] { dialog.AcceptReading(); })
            .Then([&] { acceptAfterFirst = view.buttons.acceptTest; })
            .When([&] { return !dialog.Running(); }, [&] { dialog.ExitTest(); });
        rig.prompter.answers.push_back(Answer::Yes);
        rig.Bailout(400000, [&] { dialog.CloseTest(); });
        dialog.OnTimer(1);

        ASSERT_FALSE(rig.BailedOut());
        EXPECT_FALSE(acceptAfterFirst);
        EXPECT_EQ(dialog.Readings().ReadingCount(), minutes);
        EXPECT_TRUE(Contains(rig.Commands(), "S"));
    }
}

}  // namespace
}  // namespace tkan::test
