#include "testing/XferDlg.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <span>

#include "device/InstrumentContract.h"
#include "device/RovaDevice.h"
#include "device/Timer.h"
#include "platform/Paths.h"
#include "platform/Prompter.h"
#include "records/HeaderFields.h"
#include "records/TestRecord.h"
#include "settings/AppInfo.h"
#include "testing/TestingContext.h"

namespace tkan {

namespace {

// The instrument needs a pause between selecting a record and being asked
// for it, and between two records.
constexpr std::uint32_t kCommandPauseMs = 200;
// Painting the progress text for every block would slow a large record down.
constexpr std::uint32_t kProgressIntervalMs = 1000;

bool CanOpenForReading(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return file.is_open();
}

// The record block names a test type; a text holds a reading, which only a
// TYPE line opens. Anything else is not a test, whatever bytes came.
bool HoldsTest(const TestRecord& record)
{
    return record.textForm ? record.readingCount > 0 : record.testType != 0;
}

}  // namespace

std::size_t ExpectedDynamicRecordBytes(int seconds)
{
    if (seconds <= 0)
        return 0;
    const std::size_t rate = seconds <= 120 ? 2000 : 1000;
    return kRecordHeaderSize + static_cast<std::size_t>(seconds) * rate * kSampleSize;
}

std::string RecordFileName(const std::string& prefix, int number)
{
    return prefix + std::to_string(number) + "." + kRecordFileExtension;
}

CXferDlg::CXferDlg(TestingContext& context) : context_(context) {}

void CXferDlg::SetFilePrefix(std::string_view prefix)
{
    // The files belong in the folder the operator chose: a prefix such as
    // "../x" or "..\x" keeps only its name part. Without a separator, ".."
    // cannot leave the folder.
    filePrefix_ = FileNamePart(prefix).substr(0, kFilePrefixLength);
}

void CXferDlg::OnInitDialog(TransferView& view)
{
    view_ = &view;
    // The download blocks; starting it from a timer lets the dialog appear
    // first.
    view.SetTimer(1, 100);
}

void CXferDlg::OnTimer(int id)
{
    if (id != 1 || !view_)
        return;
    view_->KillTimer(1);
    result_ = Transfer();
    view_->EndDialog(result_);
}

void CXferDlg::OnAbort()
{
    abortRequested = true;
    context_.device.SetAbort(1);
}

int CXferDlg::Transfer()
{
    if (singleRecord)
        return DownloadRecord(0, singleFileName);
    return TransferList();
}

int CXferDlg::TransferList()
{
    std::optional<std::string> chosen = context_.prompter.ChooseFolder(kFolderChooserTitle, CurrentFolder());
    if (!chosen)
        return 0;
    // Made absolute before the working folder moves into it, or a relative
    // choice would name a folder inside itself.
    std::error_code ignored;
    std::filesystem::path absolute = std::filesystem::absolute(*chosen, ignored);
    const std::string target = absolute.empty() ? *chosen : absolute.lexically_normal().string();
    // The next folder choice starts where this one ended, and the caller
    // finds the files by their bare names.
    SetCurrentFolder(target);

    // The result is that of the last record handled; Cancel at the very
    // first question leaves it at 1.
    int result = 1;
    bool asked = false;
    for (int number : recordNumbers) {
        // Abort ends the whole list, not only the record being read.
        if (abortRequested)
            return 0;
        const std::string name = RecordFileName(filePrefix_, number);
        const std::string path = JoinPath(target, name);
        Delay(context_.ticks, kCommandPauseMs);
        if (!asked && CanOpenForReading(path)) {
            // One question per transfer: whatever the answer, later files
            // are overwritten.
            asked = true;
            Answer answer =
                context_.prompter.Ask(MessageStyle::Tkan, "Overwrite file " + name, QuestionButtons::YesNoCancel);
            if (answer == Answer::Cancel)
                break;
            if (answer == Answer::No) {
                result = 0;
                outcomes_.push_back({number, path, true, 0});
                continue;
            }
        }
        result = DownloadRecord(number, path);
        outcomes_.push_back({number, path, false, result});
    }
    return result;
}

void CXferDlg::ShowTexts()
{
    if (view_)
        view_->ShowTexts(statusText_, progressText_);
}

void CXferDlg::ShowProgress(std::size_t total, bool force)
{
    const std::uint32_t now = context_.ticks.TickCount();
    if (!force && progressShown_ && now - progressTick_ <= kProgressIntervalMs)
        return;
    progressShown_ = true;
    progressTick_ = now;
    progressText_ = "Transferred " + std::to_string(total) + " bytes";
    progress_ = {total, expectedBytes};
    ShowTexts();
    if (view_)
        view_->ShowProgress(total, expectedBytes);
}

int CXferDlg::Progress::Percent() const
{
    if (expected == 0)
        return 0;
    if (received >= expected)
        return 100;
    return static_cast<int>(received * 100 / expected);
}

int CXferDlg::ReadFailed()
{
    context_.prompter.Message(MessageStyle::Tkan, "Error reading data from device");
    return 0;
}

int CXferDlg::NoRecordData()
{
    context_.prompter.Message(MessageStyle::Tkan, "No record data arrived from the device");
    return 0;
}

int CXferDlg::DownloadRecord(int number, const std::string& fileName)
{
    RovaDevice& device = context_.device;
    if (singleRecord) {
        statusText_ = "Dynamic";
    } else {
        if (!device.Connect(1))
            return 0;
        statusText_ = std::to_string(number);
    }
    progressText_.clear();
    progressShown_ = false;
    progress_ = {0, expectedBytes};
    ShowTexts();
    if (view_)
        view_->ShowProgress(0, expectedBytes);

    if (!singleRecord && !device.LoadTest(number))
        return 0;
    Delay(context_.ticks, kCommandPauseMs);

    std::vector<std::uint8_t> buffer;
    try {
        buffer.assign(kTransferBufferSize, 0);
    } catch (const std::bad_alloc&) {
        context_.prompter.Message(MessageStyle::Tkan, "Unable to allocate transfer buffer");
        return 0;
    }

    if (abortRequested)
        return ReadFailed();

    // One byte stays free for the terminator after the data.
    const std::span<std::uint8_t> data(buffer.data(), buffer.size() - 1);
    std::size_t total = 0;
    StreamWatch watch;
    watch.progress = [this](std::size_t received) { ShowProgress(received, false); };
    watch.aborted = [this] { return abortRequested; };
    switch (device.DownloadStream(data, total, watch)) {
    case StreamEnd::NotSent: context_.prompter.Message(MessageStyle::Tkan, "Can't communicate with KERU"); return 0;
    case StreamEnd::ReadFailed: return ReadFailed();
    case StreamEnd::Full:
        ShowProgress(total, true);
        context_.prompter.Message(MessageStyle::Tkan, "Record larger than the transfer buffer: only the first " +
                                                          std::to_string(total) + " bytes were kept");
        break;
    case StreamEnd::Complete: ShowProgress(total, true); break;
    }
    buffer[total] = 0;
    // Saved, an empty record would replace whatever test the file held.
    if (total == 0)
        return NoRecordData();

    TestRecord record;
    record.prompter = &context_.prompter;
    record.textForm = device.IsRkzMeter != 0;
    record.trace.durationLimit = durationLimit;
    if (!record.BuildFromInstrument(buffer.data(), total) || !HoldsTest(record))
        return NoRecordData();
    if (headerGiven) {
        for (std::size_t i = 0; i < kHeaderFieldCount; ++i)
            record.header.*kHeaderFields[i].member = headerTexts[i];
    }
    record.exportOnSave = true;
    record.autoExport = context_.settings.AutoExport != 0;
    record.autoExportDir = context_.settings.AutoExportDir;
    record.autoExportAfterSave = context_.autoExport;

    // A file that was not written must not pass for a downloaded record:
    // the caller would open whatever the path held before.
    if (!record.SaveTestFile(fileName)) {
        context_.prompter.Message(MessageStyle::Tkan, "Unable to write file " + fileName);
        return 0;
    }
    savedFiles_.push_back(fileName);
    return 1;
}

}  // namespace tkan
