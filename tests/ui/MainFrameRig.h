#pragma once

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/AppServices.h"
#include "app/RecentFileList.h"
#include "app/UlkDoc.h"
#include "app/qt/MainFrame.h"
#include "device/RovaDevice.h"
#include "device/SerialCom.h"
#include "platform/MessagePump.h"
#include "platform/TickSource.h"
#include "settings/AppInfo.h"
#include "support/DemoFiles.h"
#include "support/MemorySettingsStore.h"
#include "support/RecordingPrompter.h"
#include "support/TempDir.h"

namespace tkan::test {

// The program's services as its start makes them, over a folder of the
// test's own and with no instrument anywhere: USB is off and the serial
// port names a device that is not there. The main window's fixtures derive
// from it.
class MainFrameRig {
protected:
    MainFrameRig()
    {
        settings.FilePath = dir.Path();
        settings.USBEnable = 0;
        serial.comDevice = dir.File("no-port-here");
    }

    CMainFrame& MakeFrame()
    {
        frame = std::make_unique<CMainFrame>(services, doc);
        return *frame;
    }

    // The window shown at the given size, as the active one.
    void ShowFrame(int width, int height)
    {
        frame->resize(width, height);
        frame->show();
        QApplication::setActiveWindow(frame.get());
        QApplication::processEvents();
    }

    // A demonstration test written into the folder.
    std::string Demo(const std::string& name, DemoKind kind)
    {
        std::string path = dir.File(name);
        EXPECT_EQ(WriteDemoTest(path, kind), 1);
        return path;
    }

    TempDir dir;
    RecordingPrompter prompter;
    MemorySettingsStore store;
    CAppInfo settings;
    RecentFileList recent;
    SteadyTickSource ticks;
    MessagePump pump;
    CSerialCom serial{prompter, ticks, pump};
    RovaDevice device{serial, nullptr, settings, prompter};
    AppServices services{settings, store, recent, prompter, device, serial, ticks, pump};
    CUlkDoc doc{settings, prompter, recent, store};
    std::unique_ptr<CMainFrame> frame;  // goes first: it uses all the above
};

}  // namespace tkan::test
