#include "platform/SystemFolders.h"

#include <sys/stat.h>
#include <unistd.h>

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

}  // namespace tkan
