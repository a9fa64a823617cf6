#include "platform/FileFilter.h"

#include <gtest/gtest.h>

namespace tkan {
namespace {

using Filters = std::vector<std::string>;

TEST(FileFilterTest, WindowsListsBecomeQtNameFilters)
{
    EXPECT_EQ(QtNameFilters("Test (*.test) |*.test||"), Filters{"Test (*.test)"});
    EXPECT_EQ(QtNameFilters("Tests (*.tst-tkan)|*.tst-tkan;*.tst-rkz|All Files (*.*)|*.*||"),
              (Filters{"Tests (*.tst-tkan *.tst-rkz)", "All Files (*.*)"}));
    // The description's own parentheses do not decide what is listed.
    EXPECT_EQ(QtNameFilters("Test (*.txt)|*.test||"), Filters{"Test (*.test)"});
    EXPECT_EQ(QtNameFilters("Plain|*.a ; *.b|Dangling"), Filters{"Plain (*.a *.b)"});
    EXPECT_TRUE(QtNameFilters("").empty());
    EXPECT_TRUE(QtNameFilters("Only a description||").empty());
}

}  // namespace
}  // namespace tkan
