#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// What the program relies on the TKAN analyser and the RKZ meters to do. The
// instruments are not ours to change, so every number and text that the
// transports, the device connection and the test runs share with them is kept
// here, once.
namespace tkan::instrument {

// --- Serial line -----------------------------------------------------------

// The instrument's serial line is 8 data bits, no parity, 1 stop bit, no flow
// control; it cannot be told to use anything else.
inline constexpr int kDataBits = 8;
inline constexpr char kParity = 'N';
inline constexpr int kStopBits = 1;

// Instruments ship at either speed and cannot be asked which; detection tries
// them in this order, the faster first because newer units use it.
inline constexpr std::array<int, 2> kSerialSpeeds = {115200, 19200};
// The transport's speed before anything has been detected or configured.
inline constexpr int kInitialSerialSpeed = 19200;
// A serial speed of 0 means "not known yet: detect it at the next connection".
inline constexpr int kSpeedToDetect = 0;

// --- USB HID ---------------------------------------------------------------

inline constexpr std::uint16_t kUsbVendorId = 0x1666;
inline constexpr std::uint16_t kUsbFirstProductId = 0x8001;
inline constexpr std::uint16_t kUsbLastProductId = 0x8009;
// Reports carry no length: report ID 0, the payload, then zero fill.
inline constexpr std::uint8_t kUsbReportId = 0;

// --- Time-outs (milliseconds) ----------------------------------------------

// Passed where a caller wants the transport's own default.
inline constexpr int kDefaultTimeout = -1;
inline constexpr int kSerialDefaultTimeoutMs = 3000;
// The USB firmware is slower to answer a report than the serial firmware is
// to answer a byte.
inline constexpr int kUsbDefaultTimeoutMs = 8000;
// The probe reply must arrive within this time or the speed is wrong.
inline constexpr int kProbeTimeoutMs = 3000;
// Selecting a stored record makes the instrument search its memory first.
inline constexpr int kLoadTimeoutMs = 15000;
// After the stop command the instrument may keep talking; it is done when it
// has been silent this long.
inline constexpr int kStopSilenceMs = 2000;
// A record stream that falls silent this long has ended, marker or not.
inline constexpr int kStreamSilenceMs = 4000;

// --- Framing ---------------------------------------------------------------

inline constexpr std::uint8_t kCarriageReturn = 0x0D;
inline constexpr std::uint8_t kLineFeed = 0x0A;
// Every reply line ends with CR LF.
inline constexpr std::string_view kLineEnd = "\r\n";
// The end of a record stream and of a directory listing's data.
inline constexpr std::string_view kStreamEndMarker = "\r\nDONE\r\n";
inline constexpr std::string_view kDoneLine = "DONE";

// --- Commands and their replies --------------------------------------------

// Presence probe. On serial it carries a carriage return and is answered by
// exactly this many bytes of any content; over USB it is answered by a line.
inline constexpr std::string_view kSerialProbe = "B\r";
inline constexpr std::string_view kUsbProbe = "B";
inline constexpr int kProbeReplyLength = 4;

// Version query: one line of at most 18 characters naming the model.
inline constexpr std::string_view kVersionCommand = "W";
inline constexpr int kVersionLineCapacity = 20;
inline constexpr std::string_view kTkanModel = "TKAN";
inline constexpr std::string_view kFortyAmpMarker = "-40";
inline constexpr std::string_view kRkz10Model = "RKZ10P";
inline constexpr std::string_view kRkz40Model = "RKZ40P";

// Record directory: "#" lines, date, type and KEY=VALUE lines, then "DONE".
inline constexpr std::string_view kDirectoryCommand = "d";
inline constexpr std::string_view kDirectoryEntryStart = "#";
inline constexpr int kMaxDirectoryEntries = 100;
// Directory and load replies are read into path-sized lines.
inline constexpr int kLongLineCapacity = 260;

// Select stored record n for download; a reply containing "not" (any case)
// means there is no such record.
inline constexpr const char* kLoadCommandFormat = "L%03d";
inline constexpr std::string_view kLoadRefusedWord = "not";

// Stream the selected or last recorded test, ended by kStreamEndMarker.
inline constexpr std::string_view kDownloadCommand = "r";
inline constexpr std::string_view kRkzDownloadCommand = "R";

// Test start on a TKAN. Each of the first two is answered by an empty line
// when accepted; the start command by a line containing kStartConfirmation,
// after which the instrument waits for kAcknowledge.
inline constexpr const char* kTestCurrentFormat = "i%02x";
inline constexpr std::string_view kStaticTestType = "t03";
inline constexpr std::string_view kDynamicTest2000Type = "t04";
inline constexpr std::string_view kDynamicTest1000Type = "t05";
inline constexpr std::string_view kStartCommand = "T314";
inline constexpr std::string_view kStartConfirmation = "SURE";
inline constexpr std::string_view kAcknowledge = "Y";

// Commands without a reply line.
inline constexpr std::string_view kRkzStartCommand = "T";
inline constexpr std::string_view kGoCommand = "G";
inline constexpr std::string_view kRaiseCommand = "U";
inline constexpr std::string_view kLowerCommand = "D";
inline constexpr std::string_view kReleaseCommand = "O";
inline constexpr std::string_view kStopCommand = "S";
inline constexpr std::uint8_t kEscape = 0x1B;

// Status lines a running test sends.
inline constexpr std::string_view kStatusConfirm = "SURE?";
inline constexpr std::string_view kStatusReady = "READY";
inline constexpr std::string_view kStatusCharging = "CHRG";
inline constexpr std::string_view kStatusCalibrating = "CAL";
inline constexpr std::string_view kStatusSecondsLeft = "T=";
inline constexpr std::string_view kStatusDone = "DONE";
// "RES_1" to "RES_3", then "=" and a hexadecimal micro-ohm value.
inline constexpr std::string_view kStatusResultPrefix = "RES_";

}  // namespace tkan::instrument
