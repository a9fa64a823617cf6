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

// The file name part without its extension: "C:\\tests\\T7.tst-tkan" is "T7".
std::string FileStem(std::string_view path);

// A name typed without an extension gets the chooser's default one, as the
// desktop's own save dialogs do; `extension` has its dot.
std::string WithDefaultExtension(const std::string& path, std::string_view extension);

// The process's current folder; empty when it cannot be told (it was
// removed, say).
std::string CurrentFolder();

// Makes a folder the process's current one; a folder that is not there
// leaves the current one as it was.
void SetCurrentFolder(const std::string& folder);

}  // namespace tkan
