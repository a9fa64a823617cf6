#include "device/hidapi/HidReportDescriptor.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tkan {

namespace {

// Item prefixes: size in the low two bits (3 meaning 4 bytes), type in the
// next two, tag in the high four.
constexpr std::uint8_t kLongItem = 0xFE;
constexpr unsigned kTypeMain = 0;
constexpr unsigned kTypeGlobal = 1;
constexpr unsigned kMainInput = 0x8;
constexpr unsigned kMainOutput = 0x9;
constexpr unsigned kGlobalReportSize = 0x7;
constexpr unsigned kGlobalReportId = 0x8;
constexpr unsigned kGlobalReportCount = 0x9;
constexpr unsigned kGlobalPush = 0xA;
constexpr unsigned kGlobalPop = 0xB;

// No report can be longer than the class lets a length say.
constexpr std::uint64_t kMaxReportBits = 0xFFFFull * 8;

struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

std::size_t LengthOf(const std::array<std::uint64_t, 256>& bits)
{
    std::uint64_t longest = *std::max_element(bits.begin(), bits.end());
    if (longest == 0)
        return 0;
    return static_cast<std::size_t>(std::min(longest, kMaxReportBits) + 7) / 8 + 1;
}

}  // namespace

bool ParseReportDescriptor(std::span<const std::uint8_t> descriptor, HidReportLengths& lengths)
{
    std::array<std::uint64_t, 256> inputBits{};
    std::array<std::uint64_t, 256> outputBits{};
    Globals globals;
    std::vector<Globals> stack;
    bool numbered = false;

    std::size_t at = 0;
    while (at < descriptor.size()) {
        std::uint8_t prefix = descriptor[at];
        if (prefix == kLongItem) {
            // Long items carry vendor data only; step over them.
            if (at + 2 >= descriptor.size())
                return false;
            std::size_t skip = 3 + std::size_t{descriptor[at + 1]};
            if (descriptor.size() - at < skip)
                return false;
            at += skip;
            continue;
        }
        std::size_t size = prefix & 0x3u;
        if (size == 3)
            size = 4;
        if (descriptor.size() - at - 1 < size)
            return false;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i)
            value |= static_cast<std::uint32_t>(descriptor[at + 1 + i]) << (8 * i);
        unsigned type = (prefix >> 2) & 0x3u;
        unsigned tag = prefix >> 4;
        at += 1 + size;

        if (type == kTypeMain) {
            std::uint64_t bits = std::uint64_t{globals.reportSize} * globals.reportCount;
            if (tag == kMainInput)
                inputBits[globals.reportId] = std::min(inputBits[globals.reportId] + bits, kMaxReportBits);
            else if (tag == kMainOutput)
                outputBits[globals.reportId] = std::min(outputBits[globals.reportId] + bits, kMaxReportBits);
        } else if (type == kTypeGlobal) {
            switch (tag) {
            case kGlobalReportSize: globals.reportSize = value; break;
            case kGlobalReportCount: globals.reportCount = value; break;
            case kGlobalReportId:
                globals.reportId = static_cast<std::uint8_t>(value);
                numbered = true;
                break;
            case kGlobalPush: stack.push_back(globals); break;
            case kGlobalPop:
                if (!stack.empty()) {
                    globals = stack.back();
                    stack.pop_back();
                }
                break;
            default: break;
            }
        }
    }

    lengths.input = LengthOf(inputBits);
    lengths.output = LengthOf(outputBits);
    lengths.numbered = numbered;
    return true;
}

}  // namespace tkan
