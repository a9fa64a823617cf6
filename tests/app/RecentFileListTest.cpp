#include "app/RecentFileList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/MemorySettingsStore.h"

namespace tkan {
namespace {

using test::MemorySettingsStore;
using Files = std::vector<std::string>;

TEST(RecentFileListTest, AddKeepsTheNewestFirstOnceAndAtMostFour)
{
    RecentFileList list;
    for (const char* path : {"/t/a.test", "/t/b.test", "/t/c.test", "/t/d.test"})
        list.Add(path);
    EXPECT_EQ(list.Files(), (Files{"/t/d.test", "/t/c.test", "/t/b.test", "/t/a.test"}));

    list.Add("/t/b.test");
    EXPECT_EQ(list.Files(), (Files{"/t/b.test", "/t/d.test", "/t/c.test", "/t/a.test"}));

    list.Add("/t/e.test");
    EXPECT_EQ(list.Files(), (Files{"/t/e.test", "/t/b.test", "/t/d.test", "/t/c.test"}));

    list.Add("");
    list.Remove(1);
    list.Remove(10);
    EXPECT_EQ(list.Files(), (Files{"/t/e.test", "/t/d.test", "/t/c.test"}));
}

TEST(RecentFileListTest, StoredUnderFileNumbersWithoutGapsOrStaleEntries)
{
    MemorySettingsStore store;
    store.Set("Recent File List", "File1", "/t/a.test");
    store.Set("Recent File List", "File2", "");
    store.Set("Recent File List", "File3", "/t/a.test");
    store.Set("Recent File List", "File4", "/t/b.test");
    store.Set("Recent File List", "File5", "/t/beyond.test");

    RecentFileList list;
    list.Load(store);
    EXPECT_EQ(list.Files(), (Files{"/t/a.test", "/t/b.test"}));

    list.Add("/t/c.test");
    list.Save(store);
    EXPECT_EQ(store.Get("Recent File List", "File1"), "/t/c.test");
    EXPECT_EQ(store.Get("Recent File List", "File3"), "/t/b.test");

    // A shortened list must not bring the old tail back at the next start.
    list.Remove(0);
    list.Remove(0);
    list.Save(store);
    RecentFileList reloaded;
    reloaded.Load(store);
    EXPECT_EQ(reloaded.Files(), (Files{"/t/b.test"}));
    EXPECT_FALSE(store.Has("Recent File List", "File2"));
    EXPECT_FALSE(store.Has("Recent File List", "File4"));
}

}  // namespace
}  // namespace tkan
