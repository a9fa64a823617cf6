#include "testing/RetrieveRecords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "records/TestRecord.h"
#include "support/TempDir.h"
#include "support/TestingRig.h"

namespace tkan::test {
namespace {

const std::string kReadError = "Error reading data from device";

// The transfer moves the process into the folder it stores in; every case
// leaves the process where it found it.
class KeepWorkingFolder {
public:
    KeepWorkingFolder() : folder_(std::filesystem::current_path()) {}
    ~KeepWorkingFolder()
    {
        std::error_code ignored;
        std::filesystem::current_path(folder_, ignored);
    }
    KeepWorkingFolder(const KeepWorkingFolder&) = delete;
    KeepWorkingFolder& operator=(const KeepWorkingFolder&) = delete;

private:
    std::filesystem::path folder_;
};

std::vector<SimStoredRecord> SevenNineTwelve()
{
    return {StaticRecord(7, 3, "Seven Co"), StaticRecord(9, 2, "Nine Co"), DynamicRecord(12, 2)};
}

// The instrument's stored bytes of record `number`, as the download streams
// them without the end marker.
std::size_t StoredSize(Rig& rig, int number)
{
    std::size_t size = 0;
    rig.WithEngine([&](SimInstrument& e) {
        for (const SimStoredRecord& r : e.Records())
            if (r.number == number)
                size = r.bytes.size();
    });
    return size;
}

std::string Transferred(std::size_t bytes)
{
    return "Transferred " + std::to_string(bytes) + " bytes";
}

std::string CompanyIn(const std::string& path)
{
    TestRecord record;
    return record.LoadTestFile(path) ? record.header.company : std::string("(does not load)");
}

// The Retrieve command on a rig: the operator picks a folder, selects rows
// by record number in the given click order and clicks Download Test.
struct Retrieval {
    explicit Retrieval(Rig& r) : rig(r) {}

    std::optional<std::string> Run(const std::vector<int>& clicked, const std::string& prefix = "Test")
    {
        dialogs.operatorActs = [&, clicked, prefix](CTestDlg& dialog, RecordingDirectoryView& view) {
            view.Select(clicked);
            view.prefix = prefix;
            dialog.OnDownloadTest();
        };
        return RetrieveRecords(*rig.context, dialogs);
    }

    std::vector<std::string> Loads()
    {
        std::vector<std::string> loads;
        for (const std::string& c : rig.Commands())
            if (c.rfind("L", 0) == 0)
                loads.push_back(c);
        return loads;
    }

    Rig& rig;
    SynchronousDialogs dialogs;
    KeepWorkingFolder keep;
};

// The transfer in its list form without the directory before it, for
// instruments whose faults would spoil the listing as well.
struct DirectTransfer {
    DirectTransfer(Rig& r, const std::string& folder) : rig(r) { rig.prompter.folders = {folder}; }

    int Run(const std::vector<int>& numbers)
    {
        CXferDlg transfer(*rig.context);
        transfer.recordNumbers = numbers;
        return dialogs.RunTransfer(transfer);
    }

    Rig& rig;
    SynchronousDialogs dialogs;
    KeepWorkingFolder keep;
};

class RetrieveRecordsOn : public ::testing::TestWithParam<Link> {};

TEST_P(RetrieveRecordsOn, SelectedRecordsAreSavedInListOrderAndTheFirstIsOpened)
{
    TempDir folder;
    Rig rig(GetParam(), FastInstrument(), SevenNineTwelve());
    rig.prompter.folders = {folder.Path()};
    Retrieval retrieval(rig);
    std::optional<std::string> opened = retrieval.Run({12, 7});

    ASSERT_TRUE(opened.has_value()) << ::testing::PrintToString(rig.prompter.Texts());
    EXPECT_EQ(*opened, folder.File("Test7.test"));
    EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::string>{"Test12.test", "Test7.test"}));
    EXPECT_EQ(retrieval.Loads(), (std::vector<std::string>{"L007", "L012"}));
    EXPECT_EQ(std::filesystem::canonical(std::filesystem::current_path()), std::filesystem::canonical(folder.Path()));
    EXPECT_TRUE(rig.prompter.shown.empty()) << ::testing::PrintToString(rig.prompter.Texts());
    ASSERT_EQ(rig.prompter.folderRequests.size(), 1u);
    EXPECT_EQ(rig.prompter.folderRequests[0].first, "Select Folder to store files");

    EXPECT_EQ(CompanyIn(folder.File("Test7.test")), "Seven Co");
    TestRecord dynamic;
    ASSERT_EQ(dynamic.LoadTestFile(folder.File("Test12.test")), 1);
    EXPECT_TRUE(dynamic.IsDynamic());
    EXPECT_EQ(dynamic.trace.sampleCount, 4000);

    // The directory dialog's rows, and the transfer's last texts: the record
    // number, and a total without the stream's end marker. A stored record
    // has no known length, so the bar only shows activity.
    ASSERT_NE(retrieval.dialogs.directory, nullptr);
    ASSERT_EQ(retrieval.dialogs.directory->rows.size(), 3u);
    EXPECT_EQ(retrieval.dialogs.directory->rows[0][0], "0007");
    EXPECT_EQ(retrieval.dialogs.directory->rows[2][0], "0012");
    RecordingTransferView* transfer = retrieval.dialogs.LastTransfer();
    ASSERT_NE(transfer, nullptr);
    EXPECT_EQ(transfer->status, "12");
    EXPECT_EQ(transfer->progress, Transferred(StoredSize(rig, 12)));
    EXPECT_TRUE(Contains(transfer->progressTexts, Transferred(StoredSize(rig, 7))));
    for (const auto& [received, expected] : transfer->bar)
        EXPECT_EQ(expected, 0u);
    std::vector<std::string> log = rig.Commands();
    EXPECT_EQ(std::count(log.begin(), log.end(), "r"), 2);
}

TEST_P(RetrieveRecordsOn, OneOverwriteQuestionPerTransferWhateverTheAnswer)
{
    {
        // No skips record 7; Test12.test is overwritten without a question.
        TempDir folder;
        WriteFileText(folder.File("Test7.test"), "old seven");
        WriteFileText(folder.File("Test12.test"), "old twelve");
        Rig rig(GetParam(), FastInstrument(), SevenNineTwelve());
        rig.prompter.folders = {folder.Path()};
        rig.prompter.answers = {Answer::No};
        Retrieval retrieval(rig);
        std::optional<std::string> opened = retrieval.Run({7, 12});

        EXPECT_EQ(rig.prompter.Texts(), (std::vector<std::string>{"Overwrite file Test7.test"}));
        EXPECT_EQ(retrieval.Loads(), (std::vector<std::string>{"L012"}));
        TestRecord twelve;
        EXPECT_EQ(twelve.LoadTestFile(folder.File("Test12.test")), 1);
        EXPECT_TRUE(twelve.IsDynamic());
        // What was downloaded opens, not the older test that was kept.
        ASSERT_TRUE(opened.has_value());
        EXPECT_EQ(*opened, folder.File("Test12.test"));
        std::vector<std::uint8_t> seven = ReadFileBytes(folder.File("Test7.test"));
        EXPECT_EQ(std::string(seven.begin(), seven.end()), "old seven");
    }
    {
        // No on the only record: the transfer ends with Cancel and nothing
        // opens; the directory dialog stays for another choice.
        TempDir folder;
        WriteFileText(folder.File("Test7.test"), "old seven");
        Rig rig(GetParam(), FastInstrument(), SevenNineTwelve());
        rig.prompter.folders = {folder.Path()};
        rig.prompter.answers = {Answer::No};
        Retrieval retrieval(rig);
        EXPECT_FALSE(retrieval.Run({7}).has_value());
        ASSERT_NE(retrieval.dialogs.LastTransfer(), nullptr);
        EXPECT_EQ(retrieval.dialogs.LastTransfer()->result, 0);
        EXPECT_TRUE(retrieval.Loads().empty());
        EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::string>{"Test7.test"}));
    }
    {
        // Cancel at the first question downloads nothing and still counts
        // as done: the file that was there is the one to open.
        TempDir folder;
        WriteFileText(folder.File("Test7.test"), "old seven");
        Rig rig(GetParam(), FastInstrument(), SevenNineTwelve());
        rig.prompter.folders = {folder.Path()};
        rig.prompter.answers = {Answer::Cancel};
        Retrieval retrieval(rig);
        std::optional<std::string> opened = retrieval.Run({7, 12});
        ASSERT_TRUE(opened.has_value());
        EXPECT_EQ(FileNamePart(*opened), "Test7.test");
        EXPECT_TRUE(retrieval.Loads().empty());
        EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::string>{"Test7.test"}));
    }
}

TEST_P(RetrieveRecordsOn, TheDownloadCommandFollowsTheModel)
{
    for (SimModel model : {SimModel::Rkz40, SimModel::Tkan40}) {
        TempDir folder;
        Rig rig(GetParam(), FastInstrument(model));
        rig.prompter.folders = {folder.Path()};
        Retrieval retrieval(rig);
        std::optional<std::string> opened = retrieval.Run({3});
        ASSERT_TRUE(opened.has_value()) << SimModelName(model) << ::testing::PrintToString(rig.prompter.Texts());

        std::vector<std::string> log = rig.Commands();
        const bool rkz = model == SimModel::Rkz40;
        EXPECT_EQ(std::count(log.begin(), log.end(), "R"), rkz ? 1 : 0) << SimModelName(model);
        EXPECT_EQ(std::count(log.begin(), log.end(), "r"), rkz ? 0 : 1) << SimModelName(model);
        TestRecord record;
        ASSERT_EQ(record.LoadTestFile(*opened), 1) << SimModelName(model);
        EXPECT_FALSE(record.IsDynamic());
        EXPECT_GT(record.readingCount, 0);
    }
}

TEST_P(RetrieveRecordsOn, AListingOfMoreThanAHundredShowsAHundredRows)
{
    Rig rig(GetParam(), FastInstrument(SimModel::Tkan, {SimFault::ManyRecords}));
    Retrieval retrieval(rig);
    retrieval.dialogs.operatorActs = [](CTestDlg& dialog, RecordingDirectoryView&) { dialog.OnCancel(); };
    EXPECT_FALSE(RetrieveRecords(*rig.context, retrieval.dialogs).has_value());

    ASSERT_NE(retrieval.dialogs.directory, nullptr);
    EXPECT_EQ(retrieval.dialogs.directory->rows.size(), 100u);
    EXPECT_EQ(rig.prompter.Texts(), (std::vector<std::string>{"Directory limit of 100 exceeded"}));
    EXPECT_TRUE(retrieval.dialogs.transfers.empty());
}

TEST_P(RetrieveRecordsOn, StreamsThatEndWithoutTheirMarkerAreSavedAsReceived)
{
    // The whole record, only its marker missing; and half a record, then
    // silence. Either way the silence ends the data and the bytes are kept.
    for (SimFault fault : {SimFault::NoEndMarker, SimFault::CutStream}) {
        TempDir folder;
        Rig rig(GetParam(), FastInstrument(SimModel::Tkan, {fault}), SevenNineTwelve());
        DirectTransfer transfer(rig, folder.Path());
        EXPECT_EQ(transfer.Run({12}), 1) << SimFaultName(fault);
        EXPECT_TRUE(rig.prompter.shown.empty())
            << SimFaultName(fault) << ::testing::PrintToString(rig.prompter.Texts());

        const std::size_t stored = StoredSize(rig, 12);
        std::size_t sent = fault == SimFault::CutStream ? stored / 2 : stored;
        // Over USB the bulk read takes whole reports, so a stream cut short
        // keeps the zero fill of its last one.
        if (GetParam() == Link::Usb && fault == SimFault::CutStream)
            sent = (sent + 63) / 64 * 64;
        EXPECT_EQ(transfer.dialogs.LastTransfer()->progress, Transferred(sent)) << SimFaultName(fault);
        TestRecord record;
        ASSERT_EQ(record.LoadTestFile(folder.File("Test12.test")), 1) << SimFaultName(fault);
        EXPECT_TRUE(record.IsDynamic());
        if (fault == SimFault::NoEndMarker)
            EXPECT_EQ(record.trace.sampleCount, 4000);
        else
            EXPECT_LT(record.trace.sampleCount, 4000);
    }
}

TEST_P(RetrieveRecordsOn, AReadErrorSavesNothingAndLeavesTheOldFileAlone)
{
    {
        // The link goes down halfway through the stream.
        TempDir folder;
        WriteFileText(folder.File("Test12.test"), "old twelve");
        Rig rig(GetParam(), FastInstrument(SimModel::Tkan, {SimFault::LinkDrop}), SevenNineTwelve());
        rig.prompter.answers = {Answer::Yes};
        DirectTransfer transfer(rig, folder.Path());
        EXPECT_EQ(transfer.Run({12}), 0);
        std::vector<std::string> texts = rig.prompter.Texts();
        EXPECT_TRUE(Contains(texts, kReadError)) << ::testing::PrintToString(texts);
        EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::string>{"Test12.test"}));
        std::vector<std::uint8_t> kept = ReadFileBytes(folder.File("Test12.test"));
        EXPECT_EQ(std::string(kept.begin(), kept.end()), "old twelve");
    }
    {
        // Abort while the stream comes in: the rest of the list is dropped.
        TempDir folder;
        Rig rig(GetParam(), FastInstrument(), SevenNineTwelve());
        rig.prompter.folders = {folder.Path()};
        Retrieval retrieval(rig);
        rig.script.When(
            [&] {
                return retrieval.dialogs.current && retrieval.dialogs.current->StatusText() == "12" &&
                       !retrieval.dialogs.LastTransfer()->progress.empty();
            },
            [&] { retrieval.dialogs.current->OnAbort(); });
        EXPECT_FALSE(retrieval.Run({12, 7}).has_value());
        EXPECT_EQ(CountOf(rig.prompter.Texts(), kReadError), 1) << ::testing::PrintToString(rig.prompter.Texts());
        EXPECT_EQ(retrieval.Loads(), (std::vector<std::string>{"L007", "L012"}));
        // Record 7, before it in the list, was saved; 12 was not.
        EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::string>{"Test7.test"}));
        EXPECT_EQ(retrieval.dialogs.LastTransfer()->result, 0);
    }
}

TEST_P(RetrieveRecordsOn, ADownloadWithoutRecordDataWritesNothingAndSaysSo)
{
    // The instrument sends only the end marker; and an RKZ meter's text
    // without a TYPE line, which holds no reading.
    const std::string text = "DATE=03/05/24 10:15:00\r\nCOMPANY=Nobody\r\n";
    struct Case {
        SimOptions sim;
        std::vector<SimStoredRecord> records;
    };
    for (const Case& c :
         {Case{FastInstrument(SimModel::Tkan, {SimFault::EmptyStream}), SevenNineTwelve()},
          Case{FastInstrument(SimModel::Rkz10),
               {DescribeStoredRecord(12, std::vector<std::uint8_t>(text.begin(), text.end()), true)}}}) {
        SCOPED_TRACE(SimModelName(c.sim.model));
        TempDir folder;
        WriteFileText(folder.File("Test12.test"), "old twelve");
        Rig rig(GetParam(), c.sim, c.records);
        rig.prompter.answers = {Answer::Yes};
        DirectTransfer transfer(rig, folder.Path());
        EXPECT_EQ(transfer.Run({12}), 0);
        EXPECT_EQ(rig.prompter.Texts(),
                  (std::vector<std::string>{"Overwrite file Test12.test", "No record data arrived from the device"}));
        EXPECT_EQ(FilesIn(folder.Path()), (std::vector<std::string>{"Test12.test"}));
        std::vector<std::uint8_t> kept = ReadFileBytes(folder.File("Test12.test"));
        EXPECT_EQ(std::string(kept.begin(), kept.end()), "old twelve");
    }
}

TEST_P(RetrieveRecordsOn, AfterAnAbortTheRestOfTheStreamIsNotTakenForTheNextReplies)
{
    // Longer than the terminal's queue holds, so that a purge before the
    // next command cannot throw the rest away.
    TempDir folder;
    Rig rig(GetParam(), FastInstrument(), {DynamicRecord(12, 60)});
    DirectTransfer transfer(rig, folder.Path());
    rig.script.When([&] { return transfer.dialogs.current && !transfer.dialogs.LastTransfer()->progressTexts.empty(); },
                    [&] { transfer.dialogs.current->OnAbort(); });
    EXPECT_EQ(transfer.Run({12}), 0);
    ASSERT_TRUE(rig.script.Done());

    std::string version;
    EXPECT_EQ(rig.device->GetVersion(version, 1), 1);
    EXPECT_EQ(version, SimVersionText(SimModel::Tkan));
    EXPECT_EQ(rig.device->IsTkan, 1);
    EXPECT_EQ(CountOf(rig.prompter.Texts(), kReadError), 1) << ::testing::PrintToString(rig.prompter.Texts());
}

TEST_P(RetrieveRecordsOn, ARecordLargerThanTheBufferStopsAtItsEndAndIsReported)
{
    // Longer than any test the instrument records: 2.4 MB of samples.
    DemoParameters p;
    p.testType = 4;
    p.seconds = 120;
    std::vector<std::uint8_t> bytes = BuildDynamicRecord(p);
    const std::vector<std::uint8_t> samples(bytes.begin() + 256, bytes.end());
    bytes.insert(bytes.end(), samples.begin(), samples.begin() + 166667 * 6);
    std::vector<SimStoredRecord> records = {DescribeStoredRecord(5, bytes, false), StaticRecord(6, 2, "Six Co")};

    TempDir folder;
    Rig rig(GetParam(), FastInstrument(), records);
    rig.prompter.folders = {folder.Path()};
    Retrieval retrieval(rig);
    std::optional<std::string> opened = retrieval.Run({5, 6});
    ASSERT_TRUE(opened.has_value()) << ::testing::PrintToString(rig.prompter.Texts());

    std::vector<std::string> texts = rig.prompter.Texts();
    ASSERT_EQ(texts.size(), 1u) << ::testing::PrintToString(texts);
    EXPECT_NE(texts[0].find("transfer buffer"), std::string::npos) << texts[0];
    EXPECT_TRUE(Contains(retrieval.dialogs.LastTransfer()->progressTexts, Transferred(kTransferBufferSize - 1)));
    TestRecord kept;
    ASSERT_EQ(kept.LoadTestFile(folder.File("Test5.test")), 1);
    // More than the 120 s its header claims: the buffer was filled.
    EXPECT_GT(kept.trace.sampleCount, 120 * 2000);
    EXPECT_LE(static_cast<std::size_t>(kept.trace.sampleCount), (kTransferBufferSize - 256) / 6);
    // The rest of the oversized stream was not taken for the next record.
    EXPECT_EQ(CompanyIn(folder.File("Test6.test")), "Six Co");
}

INSTANTIATE_TEST_SUITE_P(Links, RetrieveRecordsOn, ::testing::Values(Link::Serial, Link::Usb),
                         [](const ::testing::TestParamInfo<Link>& info) { return LinkName(info.param); });

TEST(RetrieveRecords, TheDirectoryDialogWantsARowAndAFolder)
{
    TempDir folder;
    Rig rig(Link::Usb, FastInstrument(), SevenNineTwelve());
    Retrieval retrieval(rig);
    int cancelledTransfers = -1;
    retrieval.dialogs.operatorActs = [&](CTestDlg& dialog, RecordingDirectoryView& view) {
        dialog.OnDownloadTest();  // nothing selected
        EXPECT_FALSE(view.ended);
        view.Select({9});
        dialog.OnDownloadTest();  // the folder chooser is cancelled
        EXPECT_FALSE(view.ended);
        cancelledTransfers = static_cast<int>(retrieval.dialogs.transfers.size());
        dialog.OnCancel();
    };
    EXPECT_FALSE(RetrieveRecords(*rig.context, retrieval.dialogs).has_value());

    ASSERT_EQ(rig.prompter.shown.size(), 1u);
    EXPECT_EQ(rig.prompter.shown[0].text, "Please select test first");
    EXPECT_EQ(rig.prompter.shown[0].style, MessageStyle::Brennix);
    EXPECT_EQ(cancelledTransfers, 1);
    EXPECT_EQ(retrieval.dialogs.LastTransfer()->result, 0);
    EXPECT_TRUE(retrieval.Loads().empty());
}

TEST(RetrieveRecords, NoInstrumentMeansNoDialog)
{
    Rig rig(Link::Usb);
    rig.hid->Unplug();
    SynchronousDialogs dialogs;
    EXPECT_FALSE(RetrieveRecords(*rig.context, dialogs).has_value());
    EXPECT_EQ(dialogs.directory, nullptr);
    EXPECT_EQ(rig.prompter.Texts(), (std::vector<std::string>{"Device not available"}));
}

// Whatever the operator types as the prefix, the files land in the folder
// chosen for them.
TEST(RetrieveRecordsPrefix, APrefixNamingFoldersKeepsOnlyItsNamePart)
{
    for (const std::string prefix : {"../Feeder-", "..\\..\\Feeder-", "/tmp/x/../Feeder-"}) {
        TempDir top;
        const std::string chosen = top.File("chosen");
        std::filesystem::create_directory(chosen);
        Rig rig(Link::Usb, FastInstrument(), {StaticRecord(7, 3, "Seven Co")});
        rig.prompter.folders = {chosen};
        Retrieval retrieval(rig);
        std::optional<std::string> opened = retrieval.Run({7}, prefix);

        EXPECT_EQ(opened, std::optional<std::string>(JoinPath(chosen, "Feeder-7.test"))) << prefix;
        EXPECT_EQ(FilesIn(chosen), std::vector<std::string>{"Feeder-7.test"}) << prefix;
        EXPECT_EQ(FilesIn(top.Path()), std::vector<std::string>{"chosen"}) << prefix;
        EXPECT_TRUE(rig.prompter.shown.empty()) << ::testing::PrintToString(rig.prompter.Texts());
    }
}

TEST(TransferProgress, ALongPrefixIsCutAndADynamicTestsSizeIsKnownAhead)
{
    Rig rig(Link::Usb);
    CXferDlg transfer(*rig.context);
    transfer.SetFilePrefix(std::string(300, 'p'));
    EXPECT_EQ(transfer.FilePrefix(), std::string(259, 'p'));

    // The record header and six bytes a sample, at the rate the length picks.
    EXPECT_EQ(ExpectedDynamicRecordBytes(15), 256u + 15u * 2000u * 6u);
    EXPECT_EQ(ExpectedDynamicRecordBytes(240), 256u + 240u * 1000u * 6u);
    EXPECT_EQ(ExpectedDynamicRecordBytes(0), 0u);

    CXferDlg::Progress unknown{5000, 0};
    EXPECT_FALSE(unknown.Known());
    EXPECT_EQ(unknown.Percent(), 0);
    CXferDlg::Progress half{500, 1000};
    EXPECT_TRUE(half.Known());
    EXPECT_EQ(half.Percent(), 50);
    // An instrument that sends a little more than the length promised.
    CXferDlg::Progress over{1200, 1000};
    EXPECT_EQ(over.Percent(), 100);
}

}  // namespace
}  // namespace tkan::test
