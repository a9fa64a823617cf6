#include "sim/SimInstrument.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace tkan {

// The simulator spells the protocol out itself rather than borrowing the
// program's constants, so that a slip on either side shows up as a failed
// exchange instead of two sides agreeing on the same mistake.
namespace {

constexpr std::uint8_t kEsc = 0x1B;
constexpr const char* kLineEnd = "\r\n";
constexpr const char* kStreamEnd = "\r\nDONE\r\n";

// A real instrument takes this long to energise the transformer and to
// calibrate before it is ready (instrument milliseconds).
constexpr std::int64_t kChargeMs = 2500;
constexpr std::int64_t kCalibrateMs = 2500;
// A static test the operator forgets ends by itself.
constexpr std::int64_t kStaticTestLimitMs = 60 * 60 * 1000;
constexpr std::int64_t kTrickleMs = 2000;
constexpr double kStaticTapStep = 38;  // micro-ohms per tap of the regulator
// A record has room for this many readings.
constexpr int kMaxRunReadings = 50;

bool IsHex(std::uint8_t b)
{
    return std::isxdigit(b) != 0;
}
bool IsDigit(std::uint8_t b)
{
    return b >= '0' && b <= '9';
}

std::vector<std::uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::string Hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

}  // namespace

SimInstrument::SimInstrument(SimOptions options, std::vector<SimStoredRecord> records, const SimClock& clock)
    : options_(std::move(options)), records_(std::move(records)), clock_(clock), linkStartMs_(clock.NowMs()),
      noise_(options_.seed)
{
    if (!(options_.clockFactor > 0) || !std::isfinite(options_.clockFactor))
        options_.clockFactor = 1;
    if (options_.Has(SimFault::ManyRecords))
        FillRecordMemory(records_, options_.model, options_.clockStart, 101);
    selected_ = records_.empty() ? 0 : records_.size() - 1;
    currentA_ = std::min(10, SimMaxCurrent(options_.model));
}

std::int64_t SimInstrument::InstrumentMs() const
{
    return static_cast<std::int64_t>(
        std::floor(static_cast<double>(clock_.NowMs() - linkStartMs_) * options_.clockFactor));
}

std::uint64_t SimInstrument::NextNoise()
{
    std::uint64_t z = (noise_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// --- Input ------------------------------------------------------------------

bool SimInstrument::Receive(std::span<const std::uint8_t> bytes)
{
    if (linkDropped_)
        return false;
    Advance();
    abandoned_ = false;
    for (std::uint8_t b : bytes)
        HandleByte(b);
    return abandoned_;
}

void SimInstrument::HandleByte(std::uint8_t byte)
{
    // Busy sending a stream, the instrument does not listen until it is
    // done; only the fault makes it give the stream up for a new command.
    if (outPos_ < bulkEnd_ && !options_.Has(SimFault::StopStreamOnInput))
        return;

    switch (expect_) {
    case Expect::Command: break;
    case Expect::LoadDigits:
    case Expect::TypeDigits:
        if (IsDigit(byte)) {
            parameter_ += static_cast<char>(byte);
            if (parameter_.size() == 3 || (expect_ == Expect::TypeDigits && parameter_.size() == 2)) {
                std::string command = (expect_ == Expect::LoadDigits ? "L" : "t") + parameter_;
                expect_ = Expect::Command;
                Execute(command);
            }
            return;
        }
        FinishParameter();
        break;
    case Expect::CurrentDigits:
        if (IsHex(byte)) {
            parameter_ += static_cast<char>(byte);
            if (parameter_.size() == 2) {
                expect_ = Expect::Command;
                Execute("i" + parameter_);
            }
            return;
        }
        FinishParameter();
        break;
    case Expect::StartDigits:
        if (byte == static_cast<std::uint8_t>("314"[parameter_.size()])) {
            parameter_ += static_cast<char>(byte);
            if (parameter_.size() == 3) {
                expect_ = Expect::Command;
                Execute("T314");
            }
            return;
        }
        FinishParameter();
        break;
    }

    // Line ends and fill between commands mean nothing: the probe's carriage
    // return arrives this way.
    if (byte == '\r' || byte == '\n' || byte == ' ' || byte == 0)
        return;

    // With the fault, the instrument abandons a stream when it is spoken
    // to, and bytes of it already on their way must not arrive either.
    if (options_.Has(SimFault::StopStreamOnInput))
        DiscardBulk();

    parameter_.clear();
    if (byte == 'L') {
        expect_ = Expect::LoadDigits;
    } else if (byte == 'i' && !Rkz()) {
        expect_ = Expect::CurrentDigits;
    } else if (byte == 't' && !Rkz()) {
        expect_ = Expect::TypeDigits;
    } else if (byte == 'T' && !Rkz()) {
        expect_ = Expect::StartDigits;
    } else if (byte == kEsc) {
        Execute("ESC");
    } else if (byte >= 0x20 && byte < 0x7F) {
        Execute(std::string(1, static_cast<char>(byte)));
    } else {
        char text[8];
        std::snprintf(text, sizeof text, "?%02X", byte);
        Execute(text);
    }
}

// A command whose digits stopped short: the instrument gives up on it.
void SimInstrument::FinishParameter()
{
    Expect was = expect_;
    std::string digits = parameter_;
    expect_ = Expect::Command;
    parameter_.clear();
    switch (was) {
    case Expect::LoadDigits: Execute("L" + digits); break;
    case Expect::CurrentDigits: Execute("i" + digits); break;
    case Expect::TypeDigits: Execute("t" + digits); break;
    case Expect::StartDigits: Execute("T" + digits); break;
    case Expect::Command: break;
    }
}

void SimInstrument::Execute(const std::string& command)
{
    commandLog_.push_back(command);
    if (options_.Has(SimFault::Silence))
        return;

    // The start waits for its confirmation; anything else calls it off.
    if (phase_ == RunPhase::AwaitingConfirmation && command != "Y")
        phase_ = RunPhase::Idle;

    const char first = command[0];
    if (command == "B") {
        SendProbeReply();
    } else if (command == "W") {
        SendLine(SimVersionText(options_.model));
    } else if (command == "d") {
        Directory();
    } else if (first == 'L') {
        if (command.size() > 1)
            Load(std::stoi(command.substr(1)));
    } else if ((command == "r" && !Rkz()) || (command == "R" && Rkz())) {
        Stream();
    } else if (first == 'i' && !Rkz()) {
        SetCurrent(command.substr(1));
    } else if (first == 't' && !Rkz()) {
        SetTestType(command.substr(1));
    } else if (command == "T314") {
        StartRequest();
    } else if (command == "T" && Rkz()) {
        if (!RunActive()) {
            testKind_ = 3;
            currentA_ = SimMaxCurrent(options_.model);
            StartRun();
        }
    } else if (command == "Y") {
        Confirm();
    } else if (command == "G") {
        Go(Relay::Off);
    } else if (command == "U" || command == "D") {
        Relay relay = command == "U" ? Relay::Raise : Relay::Lower;
        if (phase_ == RunPhase::Measuring && relay_ != relay)
            tapOffset_ += relay == Relay::Raise ? 1 : -1;
        relay_ = relay;
        Go(relay);
    } else if (command == "O") {
        relay_ = Relay::Off;
    } else if (command == "S" && !Rkz()) {
        StopRun(true);
    } else if (command == "ESC") {
        StopRun(false);
    }
}

// --- Output -----------------------------------------------------------------

void SimInstrument::Queue(const std::vector<std::uint8_t>& bytes)
{
    if (dropWhenSent_ || linkDropped_ || muted_)
        return;
    out_.insert(out_.end(), bytes.begin(), bytes.end());
}

void SimInstrument::Inject(std::string_view bytes)
{
    Advance();
    Queue(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

// The probe is answered in every fault but silence, so that the program gets
// as far as the exchange the fault is meant for. Its four bytes are also a
// line, which is what the probe over USB waits for.
void SimInstrument::SendProbeReply()
{
    bool idle = outPos_ == out_.size();
    Queue(Bytes("OK\r\n"));
    if (idle)
        exemptEnd_ = out_.size();
}

void SimInstrument::SendLine(const std::string& text)
{
    if (options_.Has(SimFault::Garbage)) {
        std::vector<std::uint8_t> noise(text.size() + 2);
        for (std::uint8_t& b : noise) {
            do
                b = static_cast<std::uint8_t>(NextNoise());
            while (b == '\r');
        }
        Queue(noise);
    } else if (options_.Has(SimFault::NoCarriageReturn)) {
        Queue(Bytes(text + "\n"));
    } else {
        Queue(Bytes(text + kLineEnd));
    }
}

void SimInstrument::SendBulk(std::vector<std::uint8_t> bytes, bool withEndMarker)
{
    if (options_.Has(SimFault::Garbage)) {
        for (std::uint8_t& b : bytes)
            b = static_cast<std::uint8_t>(NextNoise());
        withEndMarker = false;
    }
    if (options_.Has(SimFault::CutStream) || options_.Has(SimFault::LinkDrop)) {
        bytes.resize(bytes.size() / 2);
        withEndMarker = false;
    }
    if (options_.Has(SimFault::NoEndMarker))
        withEndMarker = false;
    Queue(bytes);
    if (withEndMarker)
        Queue(Bytes(kStreamEnd));
    bulkEnd_ = out_.size();
    streaming_ = true;
    if (options_.Has(SimFault::LinkDrop))
        dropWhenSent_ = true;
}

void SimInstrument::DiscardBulk()
{
    if (!streaming_)
        return;
    streaming_ = false;
    abandoned_ = true;
    if (outPos_ >= bulkEnd_)
        return;
    out_.erase(out_.begin() + static_cast<std::ptrdiff_t>(outPos_),
               out_.begin() + static_cast<std::ptrdiff_t>(bulkEnd_));
    bulkEnd_ = outPos_;
    exemptEnd_ = std::min(exemptEnd_, outPos_);
}

std::vector<std::uint8_t> SimInstrument::TakeOutput(std::size_t maxBytes)
{
    if (linkDropped_)
        return {};
    Advance();

    std::size_t available = out_.size() - outPos_;
    std::size_t n = available;
    if (options_.Has(SimFault::Trickle) && available > 0) {
        if (exemptEnd_ > outPos_) {
            n = exemptEnd_ - outPos_;
        } else {
            std::int64_t now = clock_.NowMs();
            n = now >= nextTrickleMs_ ? 1 : 0;
            if (n)
                nextTrickleMs_ = now + kTrickleMs;
        }
    }
    n = std::min(n, maxBytes);

    std::vector<std::uint8_t> taken(out_.begin() + static_cast<std::ptrdiff_t>(outPos_),
                                    out_.begin() + static_cast<std::ptrdiff_t>(outPos_ + n));
    outPos_ += n;
    if (outPos_ == out_.size()) {
        out_.clear();
        outPos_ = bulkEnd_ = exemptEnd_ = 0;
        if (dropWhenSent_)
            linkDropped_ = true;
    } else if (outPos_ >= (1u << 20) && outPos_ * 2 >= out_.size()) {
        // A long stream is taken in small pieces; do not keep what is gone.
        out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(outPos_));
        bulkEnd_ -= std::min(bulkEnd_, outPos_);
        exemptEnd_ -= std::min(exemptEnd_, outPos_);
        outPos_ = 0;
    }
    return taken;
}

std::int64_t SimInstrument::NextRunEventMs() const
{
    switch (phase_) {
    case RunPhase::Charging:
    case RunPhase::Calibrating:
    case RunPhase::Measuring: return phaseDueMs_;
    case RunPhase::Recording: return runStartMs_ + static_cast<std::int64_t>(secondsReported_ + 1) * 1000;
    default: return -1;
    }
}

std::int64_t SimInstrument::MsUntilNextEvent()
{
    if (linkDropped_)
        return -1;
    Advance();
    if (outPos_ < out_.size()) {
        if (options_.Has(SimFault::Trickle) && exemptEnd_ <= outPos_)
            return std::max<std::int64_t>(0, nextTrickleMs_ - clock_.NowMs());
        return 0;
    }
    if (dropWhenSent_)
        return 0;
    std::int64_t due = NextRunEventMs();
    if (due < 0)
        return -1;
    double wait = std::ceil(static_cast<double>(due - InstrumentMs()) / options_.clockFactor);
    return std::max<std::int64_t>(0, static_cast<std::int64_t>(wait));
}

// --- Records ----------------------------------------------------------------

void SimInstrument::Load(int number)
{
    auto found =
        std::find_if(records_.begin(), records_.end(), [&](const SimStoredRecord& r) { return r.number == number; });
    if (found == records_.end() || options_.Has(SimFault::RefuseRecords)) {
        SendLine("Test NOT found");
        return;
    }
    selected_ = static_cast<std::size_t>(found - records_.begin());
    char text[32];
    std::snprintf(text, sizeof text, "LOADED TEST %03d", number);
    SendLine(text);
}

void SimInstrument::Stream()
{
    if (records_.empty() || options_.Has(SimFault::EmptyStream)) {
        SendBulk({}, true);
        return;
    }
    SendBulk(records_[std::min(selected_, records_.size() - 1)].bytes, true);
}

void SimInstrument::Directory()
{
    std::string listing;
    const std::string end = options_.Has(SimFault::NoCarriageReturn) ? "\n" : kLineEnd;
    auto line = [&](const std::string& text) { listing += text + end; };
    for (const SimStoredRecord& r : records_) {
        line("#" + std::to_string(r.number));
        line(r.dateText);
        line(r.typeText);
        AppendHeaderLines(listing, r.header, end);
    }
    // The closing DONE line is the listing's end marker.
    bool marker = !options_.Has(SimFault::NoEndMarker) && !options_.Has(SimFault::CutStream) &&
                  !options_.Has(SimFault::LinkDrop) && !options_.Has(SimFault::Garbage);
    if (marker)
        line("DONE");
    SendBulk(Bytes(listing), false);
}

// --- Test runs ----------------------------------------------------------------

void SimInstrument::SetCurrent(const std::string& digits)
{
    if (RunActive()) {
        SendLine("BUSY");
        return;
    }
    int amperes = digits.size() == 2 ? std::stoi(digits, nullptr, 16) : 0;
    if (amperes < 1 || amperes > SimMaxCurrent(options_.model)) {
        SendLine("BAD CURRENT");
        return;
    }
    currentA_ = amperes;
    SendLine("");
}

void SimInstrument::SetTestType(const std::string& digits)
{
    if (RunActive()) {
        SendLine("BUSY");
        return;
    }
    if (digits != "03" && digits != "04" && digits != "05") {
        SendLine("BAD TYPE");
        return;
    }
    testKind_ = digits[1] - '0';
    SendLine("");
}

void SimInstrument::StartRequest()
{
    if (RunActive()) {
        SendLine("BUSY");
        return;
    }
    phase_ = RunPhase::AwaitingConfirmation;
    SendLine("SURE?");
}

void SimInstrument::Confirm()
{
    if (phase_ == RunPhase::AwaitingConfirmation)
        StartRun();
}

void SimInstrument::StartRun()
{
    staticRun_ = testKind_ == 3;
    tapOffset_ = 0;
    readingsSent_ = false;
    secondsReported_ = 0;
    firstRelay_ = Relay::Off;
    phase_ = RunPhase::Charging;
    phaseDueMs_ = InstrumentMs() + kChargeMs;
    SendLine("CHRG");
}

void SimInstrument::Advance()
{
    if (linkDropped_)
        return;
    if (dropWhenSent_) {
        if (outPos_ == out_.size())
            linkDropped_ = true;
        return;
    }
    const std::int64_t now = InstrumentMs();
    for (;;) {
        std::int64_t due = NextRunEventMs();
        if (due < 0 || due > now || dropWhenSent_)
            return;
        switch (phase_) {
        case RunPhase::Charging:
            phase_ = RunPhase::Calibrating;
            phaseDueMs_ = due + kCalibrateMs;
            SendLine("CAL");
            break;
        case RunPhase::Calibrating:
            SendLine("READY");
            if (options_.Has(SimFault::LinkDrop)) {
                dropWhenSent_ = true;
                return;
            }
            if (staticRun_) {
                phase_ = RunPhase::Measuring;
                runStartMs_ = due;
                phaseDueMs_ = due + 1000;
                runParams_ = DemoParameters{};
                runParams_.testType = Rkz() ? 2 : 3;
                runParams_.readingCount = kMaxRunReadings;
                runParams_.setCurrentA = currentA_;
                runParams_.seed = NextNoise();
                runReadings_ = DemoStaticReadings(runParams_);
            } else {
                phase_ = RunPhase::Ready;
            }
            break;
        case RunPhase::Recording:
            ++secondsReported_;
            SendLine("T=" + std::to_string(std::max(0, countdownStart_ - secondsReported_)));
            if (secondsReported_ >= countdownStart_)
                FinishRun();
            break;
        case RunPhase::Measuring:
            StaticReadingLines();
            phaseDueMs_ = due + 1000;
            if (due - runStartMs_ >= kStaticTestLimitMs)
                FinishRun();
            break;
        default: return;
        }
    }
}

void SimInstrument::Go(Relay relay)
{
    if (phase_ != RunPhase::Ready)
        return;
    phase_ = RunPhase::Recording;
    runStartMs_ = InstrumentMs();
    countdownStart_ = testKind_ == 5 ? 240 : 120;
    secondsReported_ = 0;
    firstRelay_ = relay;
    SendLine("T=" + std::to_string(countdownStart_));
}

void SimInstrument::StaticReadingLines()
{
    const std::int64_t elapsed = phaseDueMs_ - runStartMs_;
    std::size_t index = std::min<std::size_t>(static_cast<std::size_t>(elapsed / 60000), runReadings_.size() - 1);
    const InstrumentReading& reading = runReadings_[index];
    // The reading settles as the winding's charge current dies away.
    const double settle = 1 + 0.04 * std::exp(-static_cast<double>(elapsed) / 4000.0);
    const double shift = tapOffset_ * kStaticTapStep;
    auto value = [&](double r) {
        double jitter = 1 + 0.0002 * (static_cast<double>(NextNoise() % 2001) / 1000.0 - 1);
        return static_cast<unsigned>(std::clamp(std::round((r + shift) * settle * jitter), 1.0, 2147483647.0));
    };
    SendLine("RES_1=" + Hex(value(reading.r1)));
    SendLine("RES_2=" + Hex(value(reading.r2)));
    if (!Rkz())
        SendLine("RES_3=" + Hex(value(reading.r3)));
    readingsSent_ = true;
}

void SimInstrument::StopRun(bool answer)
{
    if (phase_ == RunPhase::AwaitingConfirmation)
        phase_ = RunPhase::Idle;
    if (!RunActive())
        return;
    if (answer)
        SendLine("STOPPED");
    RecordRun();
    phase_ = RunPhase::Idle;
    relay_ = Relay::Off;
}

void SimInstrument::FinishRun()
{
    SendLine("DONE");
    RecordRun();
    phase_ = RunPhase::Idle;
    relay_ = Relay::Off;
}

void SimInstrument::RecordRun()
{
    const std::int64_t now = InstrumentMs();
    const SimDate when = options_.clockStart.Plus(runStartMs_ / 1000);
    DemoParameters p;
    std::vector<std::uint8_t> bytes;

    if (phase_ == RunPhase::Recording) {
        int seconds = static_cast<int>(std::min<std::int64_t>((now - runStartMs_) / 1000, countdownStart_));
        if (seconds < 1)
            return;
        p.testType = testKind_;
        p.seconds = seconds;
        p.setCurrentA = currentA_;
        p.tapChanges = std::clamp(seconds / 7, 1, 20);
        if (firstRelay_ == Relay::Lower)
            p.tapStep = -p.tapStep;
        p.seed = NextNoise();
    } else if (phase_ == RunPhase::Measuring && readingsSent_) {
        p = runParams_;
        p.readingCount =
            static_cast<int>(std::clamp<std::int64_t>(1 + (now - runStartMs_) / 60000, 1, kMaxRunReadings));
    } else {
        return;
    }
    p.date = when;

    if (phase_ == RunPhase::Recording) {
        bytes = BuildDynamicRecord(p);
    } else if (Rkz()) {
        std::string text = BuildKeyValueRecord(p);
        bytes.assign(text.begin(), text.end());
    } else {
        bytes = BuildStaticRecord(p);
    }

    int number = 1;
    for (const SimStoredRecord& r : records_)
        number = std::max(number, r.number + 1);
    records_.push_back(DescribeStoredRecord(number, std::move(bytes), Rkz()));
    selected_ = records_.size() - 1;
}

}  // namespace tkan
