#include "platform/Codepage.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tkan {
namespace {

TEST(Codepage, EveryByteSurvivesTheRoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    std::string utf8 = Cp1252ToUtf8(all);
    EXPECT_EQ(Utf8ToCp1252(utf8), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80\x9F M\xFC"), "\xE2\x82\xAC\xC5\xB8 M\xC3\xBC");
    EXPECT_EQ(Cp1252ToUtf8("\x81\x9D"), "\xC2\x81\xC2\x9D");  // undefined bytes kept as C1 controls
}

TEST(Codepage, UnmappableAndMalformedInputBecomesQuestionMarks)
{
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"\xE2\x84\xA2 M\xC3\xBC", "\x99 M\xFC"},  // mapped: trade mark, u umlaut
        {"\xE4\xB8\xAD!", "?!"},                   // no Windows-1252 form
        {"\xF0\x9F\x98\x80!", "?!"},               // one mark per character, not per byte
        {"\xC2\x80", "?"},                         // U+0080: 0x80 is the euro sign
        {"\x80x", "?x"},                           // continuation without lead
        {"a\xC3", "a?"},                           // cut off at the end
        {"\xE2\x82x", "?x"},                       // cut short: one mark, next kept
        {"\xC0\xAF", "??"},                        // overlong
        {"\xED\xA0\x80", "???"},                   // surrogate
        {"\xF4\x90\x80\x80", "????"},              // beyond U+10FFFF
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utf8ToCp1252(c.in), c.out) << "input of " << c.in.size() << " bytes";
}

}  // namespace
}  // namespace tkan
