#include "platform/qt/QSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/RecentFileList.h"
#include "settings/AppInfo.h"

namespace tkan {
namespace {

// Every case points the per-user settings at a temporary folder, so the
// operator's own settings are never read or touched.
class QSettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder_.path());
    }

    QString IniPath() const { return folder_.filePath(QStringLiteral("Brennix/TKAN.ini")); }

    QByteArray IniText() const
    {
        QFile file(IniPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

    QTemporaryDir folder_;
};

TEST_F(QSettingsStoreTest, LivesInTheUsersBrennixTkanFileAsPlainText)
{
    {
        QSettingsStore store;
        EXPECT_EQ(QDir::cleanPath(store.FileName()), QDir::cleanPath(IniPath()));
        store.WriteNumber("Settings", "ComPort", 3);
        store.WriteText("AppInfo", "ExportDir", "/data/xls");
        store.WriteNumber("ListCtrls", "SortColumn-1001", -1);
        store.Flush();
    }
    QByteArray text = IniText();
    for (const char* line : {"[Settings]", "ComPort=3", "[AppInfo]", "ExportDir=/data/xls", "SortColumn-1001=-1"})
        EXPECT_TRUE(text.contains(line)) << line << "\n" << text.constData();

    // Hand edits: a number that is not one, a padded one, a bare comma.
    QFile file(IniPath());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("\n[Hand]\nPort=COM3\nSpeed= 7 \nHex=0x1\nFolder=/data/Tests, old\n");
    file.close();

    QSettingsStore store;
    EXPECT_EQ(store.ReadNumber("Settings", "ComPort", 1), 3);
    EXPECT_EQ(store.ReadNumber("ListCtrls", "SortColumn-1001", 0), -1);
    EXPECT_EQ(store.ReadNumber("Settings", "USBEnable", 1), 1);
    EXPECT_EQ(store.ReadText("Settings", "LogoFile", "none"), "none");
    EXPECT_EQ(store.ReadNumber("Hand", "Port", 1), 1);
    EXPECT_EQ(store.ReadNumber("Hand", "Speed", 1), 7);
    EXPECT_EQ(store.ReadNumber("Hand", "Hex", 0), 0);
    EXPECT_EQ(store.ReadText("Hand", "Folder", ""), "/data/Tests, old");
}

TEST_F(QSettingsStoreTest, TextsSurviveTheIniFileByteForByte)
{
    std::string awkward[] = {
        "",
        "/data/a,b;c=d",
        " leading and trailing ",
        "@Variant(not really)",
        "C:\\Tests\\\"quoted\"",
        "caf\xe9 \x80 \x9f \x81\x8d\x8f\x90\x9d",
    };
    {
        QSettingsStore store;
        for (std::size_t i = 0; i < std::size(awkward); ++i)
            store.WriteText("Settings", "Text" + std::to_string(i), awkward[i]);
        store.Flush();
    }
    QSettingsStore reopened;
    for (std::size_t i = 0; i < std::size(awkward); ++i)
        EXPECT_EQ(reopened.ReadText("Settings", "Text" + std::to_string(i), "absent"), awkward[i]) << i;

    // The file itself is UTF-8 text a person can read and edit.
    EXPECT_TRUE(IniText().contains("caf\xc3\xa9 \xe2\x82\xac")) << IniText().constData();
}

TEST_F(QSettingsStoreTest, SettingsSavedAndLoadedBackAreEqual)
{
    CAppInfo info;
    {
        QSettingsStore store;
        info.Load(store, "/home/op/tests");
    }
    info.USBEnable = 0;
    info.ComPort = 12;
    info.Orientation = 1;
    info.FilePath = "/home/op/T\xe9sts, 2024";
    info.AutoExport = 1;
    info.crGraphBG = CanvasRgb(0, 0, 255);
    info.graphs[2].crR2S = CanvasRgb(10, 20, 30);
    info.graphs[1].DisplayR3 = 0;
    info.ComDevice = "/dev/ttyUSB0";
    {
        QSettingsStore store;
        info.Save(store);
    }
    EXPECT_TRUE(IniText().contains("crR2S3=0x1e140a")) << IniText().constData();
    EXPECT_TRUE(IniText().contains("crGraphBG=0xff0000")) << IniText().constData();

    QSettingsStore store;
    CAppInfo loaded;
    loaded.Load(store, "/somewhere/else");
    EXPECT_EQ(loaded, info);
}

TEST_F(QSettingsStoreTest, RemovedRecentFilesStayRemoved)
{
    {
        QSettingsStore store;
        RecentFileList list;
        list.Add("/t/1.test");
        list.Add("/t/2.test");
        list.Save(store);
        list.Remove(0);
        list.Save(store);
    }
    QSettingsStore store;
    RecentFileList loaded;
    loaded.Load(store);
    EXPECT_EQ(loaded.Files(), std::vector<std::string>{"/t/1.test"});
}

}  // namespace
}  // namespace tkan
