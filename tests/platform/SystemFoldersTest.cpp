#include "platform/SystemFolders.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "support/TempDir.h"

namespace tkan {
namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(SystemFoldersTest, TheCacheFolderFollowsXdgCacheHomeOnlyWhenItIsAbsolute)
{
    ScopedEnv home("HOME", "/home/field");
    {
        ScopedEnv cache("XDG_CACHE_HOME", "/var/cache/field/");
        EXPECT_EQ(ProgramCacheFolder(), "/var/cache/field/tkan");
    }
    {
        ScopedEnv cache("XDG_CACHE_HOME", "relative/cache");
        EXPECT_EQ(ProgramCacheFolder(), "/home/field/.cache/tkan");
    }
    ScopedEnv cache("XDG_CACHE_HOME", nullptr);
    EXPECT_EQ(ProgramCacheFolder(), "/home/field/.cache/tkan");
}

TEST(SystemFoldersTest, PrivateFoldersAreMadeForTheUserAloneAndOthersLeftAsTheyAre)
{
    test::TempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const std::string leaf = dir.File("cache//tkan");
    ASSERT_TRUE(MakePrivateFolders(leaf));
    EXPECT_TRUE(MakePrivateFolders(leaf));
    for (const std::string& folder : {dir.File("cache"), leaf}) {
        struct stat info {};
        ASSERT_EQ(::stat(folder.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }
    struct stat top {};
    ASSERT_EQ(::stat(dir.Path().c_str(), &top), 0);
    EXPECT_EQ(top.st_mode & 0777, 0755u);

    test::WriteFileText(dir.File("file"), "");
    EXPECT_FALSE(MakePrivateFolders(dir.File("file/tkan")));
}

}  // namespace
}  // namespace tkan
