// The program keeps files under the user's cache folder; a test run must not
// leave anything in the real one. Every run gets a fresh cache home of its
// own, removed when the run ends.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

class PrivateCacheHome : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tkan-cache-home-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        ::setenv("XDG_CACHE_HOME", folder_.c_str(), 1);
    }

    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

private:
    std::string folder_;
};

[[maybe_unused]] ::testing::Environment* const registered = ::testing::AddGlobalTestEnvironment(new PrivateCacheHome);

}  // namespace
