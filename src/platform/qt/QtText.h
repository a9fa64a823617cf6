#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace tkan {

// The Qt boundary of the program's texts: Windows-1252 bytes to Unicode and
// back. Every byte survives the trip; a character the code page lacks
// becomes "?".
QString FromWindows1252(std::string_view bytes);
std::string ToWindows1252(const QString& text);

// File names are bytes in the locale's encoding, not texts of the code page.
QString FromPath(const std::string& path);
std::string ToPath(const QString& path);

}  // namespace tkan
