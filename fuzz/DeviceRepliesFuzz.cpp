// Any bytes as everything the instrument says during one conversation: the
// probe and version replies, a directory listing, the answer to a record
// selection, a record stream. The first byte picks the operations (see
// DeviceSession.h) and how the link behaves:
//   bits 0-2  the operation sequence
//   bits 3-4  how a bulk read behaves: hands over all it may, at most 1
//             or 13 bytes, or all it may and fails (a lost link) instead
//             of falling silent once the bytes are spent
//   bit 5     the operator gave the header texts
//   bit 6     at most 2 s of samples are kept
//   bit 7     the stream goes on past the transfer buffer (the input
//             repeated) before it ends; bulk reads then hand over blocks
//             of a few KiB rather than single bytes
// Nothing waits: once the bytes are spent every read times out at once.

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "DeviceSession.h"
#include "FuzzSupport.h"
#include "device/InstrumentContract.h"

using namespace tkan;

namespace {

constexpr std::array<std::size_t, 4> kBulkChunks = {0, 1, 13, 0};
// A stream past the transfer buffer a byte at a time would take seconds.
constexpr std::array<std::size_t, 4> kOversizeChunks = {0, 4093, 8191, 0};
constexpr std::size_t kLostLink = 3;
// How far past the transfer buffer an endless stream runs before it stops.
constexpr std::size_t kOversizeStream = kTransferBufferSize + 3 * kTransferBlockSize + 77;

class ReplayTransport : public Transport {
public:
    ReplayTransport(std::span<const std::uint8_t> input, std::size_t bulkChunk, bool oversize, bool failAtEnd)
        : input_(input), bulkChunk_(bulkChunk), oversize_(oversize), failAtEnd_(failAtEnd)
    {
    }

    int Open() override { return 1; }
    int Close() override { return 1; }
    bool IsOpen() const override { return true; }
    int SendText(const std::string& text) override { return Sent(text.size()); }
    int Write(std::span<const std::uint8_t> data) override { return Sent(data.size()); }

    int ReadExact(std::span<std::uint8_t> buffer, int) override
    {
        const std::size_t n = std::min(buffer.size(), input_.size() - pos_);
        if (n > 0)
            std::memcpy(buffer.data(), input_.data() + pos_, n);
        pos_ += n;
        return !abort_ && n == buffer.size() ? 1 : 0;
    }

    int ReadAvailable(std::span<std::uint8_t> transfer, std::size_t totalSoFar, std::size_t capacity,
                      std::size_t& received, int) override
    {
        received = 0;
        fuzz::Require(totalSoFar <= transfer.size() && capacity <= transfer.size() - totalSoFar,
                      "a bulk read stays inside the transfer buffer");
        if (abort_)
            return 0;
        std::size_t n = std::min(capacity, Pending());
        if (bulkChunk_ > 0)
            n = std::min(n, bulkChunk_);
        if (n == 0)
            return failAtEnd_ && capacity > 0 ? 0 : 1;
        std::uint8_t* to = transfer.data() + totalSoFar;
        const std::size_t fromInput = std::min(n, input_.size() - pos_);
        if (fromInput > 0)
            std::memcpy(to, input_.data() + pos_, fromInput);
        pos_ += fromInput;
        // Past the input an oversize stream repeats what the input held.
        for (std::size_t i = fromInput; i < n; ++i, ++repeated_)
            to[i] = input_.empty() ? 'x' : input_[repeated_ % input_.size()];
        received = n;
        return 1;
    }

    int PurgeInput() override { return 1; }
    void SetAbort(int flag) override { abort_ = flag; }
    int AbortRequested() const override { return abort_; }

    std::size_t Consumed() const { return pos_; }

private:
    int Sent(std::size_t size)
    {
        fuzz::Require(size > 0, "a command is not empty");
        ++commands_;
        return 1;
    }

    std::size_t Pending() const
    {
        const std::size_t left = input_.size() - pos_;
        if (!oversize_)
            return left;
        return left + (kOversizeStream > input_.size() + repeated_ ? kOversizeStream - input_.size() - repeated_ : 0);
    }

    std::span<const std::uint8_t> input_;
    std::size_t pos_ = 0;
    std::size_t repeated_ = 0;
    std::size_t bulkChunk_;
    bool oversize_;
    bool failAtEnd_;
    int abort_ = 0;
    int commands_ = 0;
};

void CheckDirectory(const RovaDevice& device)
{
    fuzz::Require(device.DirectoryCount() >= 0 && device.DirectoryCount() <= instrument::kMaxDirectoryEntries,
                  "directory count within 0..100");
    for (const DirectoryEntry& e : device.Directory()) {
        for (const std::string* text :
             {&e.dateText, &e.header.company, &e.header.station, &e.header.circuit, &e.header.manufacturer,
              &e.header.model, &e.header.serialNumber, &e.header.kva, &e.header.operatorName, &e.typeText, &e.kneeText})
            fuzz::Require(text->size() <= kDirectoryTextLength, "directory texts cut to their field");
    }
}

void CheckDownload(fuzz::DeviceSession& session)
{
    const CXferDlg& transfer = session.transfer;
    fuzz::Require(transfer.CurrentProgress().received < kTransferBufferSize,
                  "no more counted than the transfer buffer holds");
    fuzz::Require(transfer.SavedFiles().size() <= 1, "one download saves at most one file");
    if (!session.downloadResult || *session.downloadResult != 1) {
        fuzz::Require(transfer.SavedFiles().empty(), "a failed download names no file");
        return;
    }
    fuzz::Require(transfer.FileToOpen() == session.DownloadPath(), "the saved file is the one to open");
    TestRecord& loaded = fuzz::NewRecord(0);
    fuzz::Require(loaded.LoadTestFile(session.DownloadPath()) == 1, "a downloaded record opens");
    fuzz::CheckRecord(loaded);
    fuzz::CheckLoadedTrace(loaded);
    if (session.transfer.durationLimit > 0 && loaded.IsDynamic())
        fuzz::Require(loaded.trace.seconds <= session.transfer.durationLimit, "the duration limit holds");
    std::filesystem::remove(session.DownloadPath());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t selector = data[0];
    const std::size_t bulk = (selector >> 3) & 3;
    const bool oversize = (selector & 0x80) != 0;
    const std::size_t chunk = (oversize ? kOversizeChunks : kBulkChunks)[bulk];
    ReplayTransport transport(std::span(data + 1, size - 1), chunk, oversize, bulk == kLostLink);

    static const std::string path = fuzz::ScratchFolder() + "/download.test";
    fuzz::DeviceSession session(transport, path);
    session.Run(selector);

    for (int result : session.results)
        fuzz::Require(result == 0 || result == 1, "device operations answer 1 or 0");
    fuzz::Require(!session.device.IsBusy(), "no exchange is left waiting");
    fuzz::Require(transport.Consumed() <= size - 1, "nothing read past the input");
    fuzz::Require(session.device.VersionText().size() < instrument::kVersionLineCapacity,
                  "the version text fits its line");
    fuzz::Require(session.versionReply.size() < instrument::kVersionLineCapacity, "the version reply fits its line");
    CheckDirectory(session.device);
    CheckDownload(session);
    return 0;
}
