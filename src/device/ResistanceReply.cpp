#include "device/ResistanceReply.h"

#include <charconv>
#include <string>

#include "device/InstrumentContract.h"

namespace tkan {

bool ParseResistanceReply(std::string_view line, ResistanceReply& reply)
{
    const std::string prefix(instrument::kStatusResultPrefix);
    int winding = 0;
    for (int n = 1; n <= 3 && winding == 0; ++n)
        if (line.find(prefix + std::to_string(n)) != std::string_view::npos)
            winding = n;
    const std::size_t equals = line.find('=');
    if (winding == 0 || equals == std::string_view::npos)
        return false;

    std::string_view value = line.substr(equals + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    if (value.size() >= 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X'))
        value.remove_prefix(2);
    std::uint64_t bits = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), bits, 16);
    (void)end;
    if (error != std::errc() || bits > 0xFFFFFFFFu)
        return false;
    const auto microOhms = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
    if (microOhms < 0)
        return false;
    reply = {winding, microOhms};
    return true;
}

}  // namespace tkan
