#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "records/HeaderFields.h"

namespace tkan {

struct TestingContext;

// A record is streamed whole into this buffer; the instrument stores nothing
// larger.
inline constexpr std::size_t kTransferBufferSize = 2097152;
// The prefix field holds a path-sized text with its terminator.
inline constexpr std::size_t kFilePrefixLength = 259;
inline constexpr char kDefaultFilePrefix[] = "Test";
inline constexpr char kRecordFileExtension[] = "test";
inline constexpr char kFolderChooserTitle[] = "Select Folder to store files";

// The bytes a dynamic test of `seconds` streams: the record header and six
// bytes a sample, at the rate the test length selects (2000 samples/s up to
// 120 s, 1000 beyond).
std::size_t ExpectedDynamicRecordBytes(int seconds);

// "<prefix><number>.test".
std::string RecordFileName(const std::string& prefix, int number);

// What the Transferring Test dialog shows.
class TransferView {
public:
    virtual ~TransferView() = default;

    virtual void ShowTexts(const std::string& status, const std::string& progress) = 0;
    // `expected` 0: the size is not known and the bar shows activity only.
    virtual void ShowProgress(std::size_t received, std::size_t expected) = 0;
    virtual void SetTimer(int id, int milliseconds) = 0;
    virtual void KillTimer(int id) = 0;
    // 1 OK, 0 Cancel.
    virtual void EndDialog(int result) = 0;
};

// The Transferring Test dialog's logic: downloads records from the
// instrument and saves each as a test file. The single-record form fetches
// the test just run into a given file; the list form fetches stored records
// into a folder the operator picks.
class CXferDlg {
public:
    // What became of one record of a list.
    struct Outcome {
        int number = 0;
        std::string path;
        bool skipped = false;  // the operator declined to overwrite its file
        int result = 0;
    };

    explicit CXferDlg(TestingContext& context);
    virtual ~CXferDlg() = default;
    CXferDlg(const CXferDlg&) = delete;
    CXferDlg& operator=(const CXferDlg&) = delete;

    // The eight texts replace the downloaded record's header, in the header
    // table's order (company, station, circuit, manufacturer, model, serial
    // number, KVA, operator).
    bool headerGiven = false;
    std::array<std::string, kHeaderFieldCount> headerTexts;

    // In the order they were selected.
    std::vector<int> recordNumbers;
    bool abortRequested = false;

    bool singleRecord = false;
    std::string singleFileName;
    // Seconds of samples kept; 0 keeps all.
    int durationLimit = 0;
    // Size the progress bar measures against; 0 when unknown.
    std::size_t expectedBytes = 0;

    // Only the name part of a prefix that names folders is kept, so that no
    // file lands outside the chosen folder; longer prefixes are cut to the
    // field's length.
    void SetFilePrefix(std::string_view prefix);
    const std::string& FilePrefix() const { return filePrefix_; }

    void OnInitDialog(TransferView& view);
    void OnTimer(int id);
    void OnAbort();

    // The whole transfer; 1 when the dialog is to end with OK.
    int Transfer();
    // One record from the instrument into one file; 1 when the file was saved.
    int DownloadRecord(int number, const std::string& fileName);

    // Where the download of the current record stands: the bytes received,
    // and the size they are measured against, 0 when nobody knows it and the
    // view can only show that data keep coming.
    struct Progress {
        std::size_t received = 0;
        std::size_t expected = 0;

        bool Known() const { return expected > 0; }
        // 0 to 100; a record longer than expected stays at 100.
        int Percent() const;
    };
    const Progress& CurrentProgress() const { return progress_; }

    const std::string& StatusText() const { return statusText_; }
    const std::string& ProgressText() const { return progressText_; }
    int Result() const { return result_; }
    // Every file written, in order, with its folder.
    const std::vector<std::string>& SavedFiles() const { return savedFiles_; }
    // The file the main window opens after the transfer: the first one
    // written; empty when none was.
    std::string FileToOpen() const { return savedFiles_.empty() ? std::string() : savedFiles_.front(); }
    const std::vector<Outcome>& Outcomes() const { return outcomes_; }

private:
    int TransferList();
    void ShowTexts();
    void ShowProgress(std::size_t total, bool force);
    int ReadFailed();
    int NoRecordData();

    TestingContext& context_;
    TransferView* view_ = nullptr;
    std::string filePrefix_ = kDefaultFilePrefix;
    std::string statusText_;
    std::string progressText_;
    int result_ = 0;
    std::vector<std::string> savedFiles_;
    std::vector<Outcome> outcomes_;
    Progress progress_;
    bool progressShown_ = false;
    std::uint32_t progressTick_ = 0;
};

}  // namespace tkan
