#pragma once

#include <string>
#include <string_view>

namespace tkan {

// The program keeps texts as Windows-1252 bytes, as the instrument and the
// old files have them; these two convert at the edges where UTF-8 is needed
// (JSON, the Qt widgets).

// Every byte has a UTF-8 form. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same number,
// so a text survives the round trip unchanged whatever bytes it holds.
std::string Cp1252ToUtf8(std::string_view text);

// A character with no Windows-1252 form becomes "?", and so does every
// malformed UTF-8 sequence (one "?" per maximal ill-formed part, as Unicode
// recommends), so that hostile input can neither be dropped silently nor
// swallow the characters that follow it.
std::string Utf8ToCp1252(std::string_view text);

}  // namespace tkan
