#include "platform/Codepage.h"

#include <array>
#include <cstdint>

namespace tkan {

namespace {

// 0x80 to 0x9F, the only part of Windows-1252 that differs from Latin-1.
// The undefined bytes map to the C1 control of the same value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        // Nothing in the table lies beyond the basic plane.
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

char ToCp1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

// Decodes one UTF-8 sequence at the front of `text`. Returns the number of
// bytes used; `c` is the code point, or -1 for an ill-formed part, in which
// case the count covers the longest prefix that could have started a valid
// sequence (at least one byte).
std::size_t DecodeOne(std::string_view text, long& c)
{
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    std::uint8_t lead = byte(0);
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    std::size_t length;
    std::uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
    char32_t value;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;  // overlong below U+0800
        else if (lead == 0xED)
            high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;  // overlong below U+10000
        else if (lead == 0xF4)
            high = 0x8F;  // beyond U+10FFFF
    } else {
        c = -1;  // continuation byte without a lead, C0, C1, F5-FF
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= text.size()) {
            c = -1;
            return i;
        }
        std::uint8_t b = byte(i);
        if (b < low || b > high) {
            c = -1;
            return i;
        }
        low = 0x80;
        high = 0xBF;
        value = (value << 6) | (b & 0x3F);
    }
    c = static_cast<long>(value);
    return length;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char ch : text) {
        auto b = static_cast<std::uint8_t>(ch);
        if (b >= 0x80 && b <= 0x9F)
            AppendUtf8(out, kHighControls[b - 0x80]);
        else
            AppendUtf8(out, b);
    }
    return out;
}

std::string Utf8ToCp1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        long c = 0;
        std::size_t used = DecodeOne(text, c);
        out.push_back(c < 0 ? '?' : ToCp1252(static_cast<char32_t>(c)));
        text.remove_prefix(used);
    }
    return out;
}

}  // namespace tkan
