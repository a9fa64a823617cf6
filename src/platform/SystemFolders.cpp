#include "platform/SystemFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/Paths.h"

namespace tkan {

namespace {

bool IsPrivateFolderOfUser(const std::string& folder)
{
    struct stat info {};
    return lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid() &&
           (info.st_mode & 077) == 0;
}

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return home;
    const passwd* user = getpwuid(geteuid());
    return user && user->pw_dir && user->pw_dir[0] == '/' ? user->pw_dir : "";
}

}  // namespace

bool FolderCanBeWritten(const std::string& folder)
{
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string PrivateTempFolder()
{
    std::error_code error;
    const std::string system = std::filesystem::temp_directory_path(error).string();
    std::string folder = JoinPath(error ? "/tmp" : system, "tkan-" + std::to_string(geteuid()));
    mkdir(folder.c_str(), 0700);
    if (!IsPrivateFolderOfUser(folder)) {
        folder = JoinPath(error ? "/tmp" : system, "tkan-XXXXXX");
        if (!mkdtemp(folder.data()))
            return {};
    }
    return folder + kPathSeparator;
}

std::string ProgramCacheFolder()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return JoinPath(cache, "tkan");
    const std::string home = HomeFolder();
    return home.empty() ? home : JoinPath(JoinPath(home, ".cache"), "tkan");
}

bool MakePrivateFolders(const std::string& folder)
{
    if (folder.empty())
        return false;
    for (std::size_t cut = folder.find('/', 1);; cut = folder.find('/', cut + 1)) {
        const std::string part = folder.substr(0, cut);
        if (!part.empty() && part.back() != '/')
            mkdir(part.c_str(), 0700);
        if (cut == std::string::npos)
            break;
    }
    struct stat info {};
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace tkan
