#pragma once

#include <string>
#include <string_view>

namespace tkan {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Folder and name with one separator between them; an empty folder leaves the
// name as it is rather than making it absolute.
std::string JoinPath(std::string_view folder, std::string_view name);

// The file name part of a path: the text after its last "/" or "\".
std::string FileNamePart(std::string_view path);

}  // namespace tkan
