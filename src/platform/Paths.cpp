#include "platform/Paths.h"

#include <filesystem>
#include <system_error>

namespace tkan {

std::string JoinPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (path.empty())
        return std::string(name);
    char last = path.back();
#ifdef _WIN32
    bool endsWithSeparator = last == '\\' || last == '/';
#else
    bool endsWithSeparator = last == '/';
#endif
    if (!endsWithSeparator)
        path += kPathSeparator;
    path += name;
    return path;
}

std::string FileNamePart(std::string_view path)
{
    std::size_t cut = path.find_last_of("/\\");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string FileStem(std::string_view path)
{
    std::string name = FileNamePart(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string WithDefaultExtension(const std::string& path, std::string_view extension)
{
    if (FileNamePart(path).find('.') != std::string::npos)
        return path;
    return path + std::string(extension);
}

std::string CurrentFolder()
{
    std::error_code error;
    std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? std::string() : folder.string();
}

void SetCurrentFolder(const std::string& folder)
{
    std::error_code ignored;
    std::filesystem::current_path(folder, ignored);
}

}  // namespace tkan
