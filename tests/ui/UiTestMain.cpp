#include <QApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

namespace {

// Application Setup and the retrievals make a folder the working one, as the
// program does, and a test's folder is gone when the test ends: every test
// starts in the folder the run started in, whatever ran before it.
class KeepWorkingFolder : public ::testing::EmptyTestEventListener {
public:
    explicit KeepWorkingFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    void OnTestEnd(const ::testing::TestInfo&) override
    {
        std::error_code ignored;
        std::filesystem::current_path(folder_, ignored);
    }

private:
    std::filesystem::path folder_;
};

}  // namespace

// Widget tests need one application object for the whole run; the offscreen
// platform lets them run without a display.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    std::error_code error;
    const std::filesystem::path start = std::filesystem::current_path(error);
    if (!error)
        ::testing::UnitTest::GetInstance()->listeners().Append(new KeepWorkingFolder(start));
    return RUN_ALL_TESTS();
}
