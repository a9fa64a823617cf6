#include "platform/SystemFolders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

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

}  // namespace
}  // namespace tkan
