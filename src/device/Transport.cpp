#include "device/Transport.h"

#include "device/InstrumentContract.h"

namespace tkan {

int Transport::ReadLine(std::string& text, std::size_t capacity, int timeoutMs)
{
    text.clear();
    for (;;) {
        // One place is kept for the terminator the callers' fixed-size
        // buffers need.
        if (text.size() + 1 >= capacity)
            return 0;
        std::uint8_t byte = 0;
        if (!ReadExact(std::span(&byte, 1), timeoutMs))
            return 0;
        if (byte == instrument::kCarriageReturn) {
            // Whether the line feed comes or not, the line is complete.
            if (std::optional<int> wait = LineFeedTimeout(timeoutMs)) {
                std::uint8_t lineFeed = 0;
                ReadExact(std::span(&lineFeed, 1), *wait);
            }
            return 1;
        }
        text.push_back(byte == 0 ? ' ' : static_cast<char>(byte));
    }
}

}  // namespace tkan
