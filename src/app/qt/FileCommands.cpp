#include "app/qt/FileCommands.h"

#include <optional>
#include <string>
#include <vector>

#include "app/AppServices.h"
#include "app/AppSetup.h"
#include "app/UlkDoc.h"
#include "app/qt/AppSetupDialog.h"
#include "app/qt/MainFrame.h"
#include "app/qt/PrintCommands.h"
#include "device/SerialPorts.h"
#include "display/qt/UlkView.h"
#include "platform/Paths.h"
#include "testlist/qt/OpenTestDialog.h"

namespace tkan {

void AfterSettingsApplied(CMainFrame& frame)
{
    frame.View().ReloadLogo();
    if (auto* printing = frame.findChild<CPrintCommands*>())
        printing->ApplyOrientationSetting();
    frame.UpdateAllViews();
}

void InstallFileCommands(CMainFrame& frame, CUlkDoc& doc, AppServices& services, bool simulated)
{
    CMainFrame* window = &frame;
    CUlkDoc* document = &doc;
    AppServices* s = &services;

    frame.SetCommandHandler(CommandId::RecallTest, [window, s] {
        std::optional<std::vector<std::string>> chosen =
            ChooseTestFiles(window, s->settings, s->store, s->prompter, "", false);
        if (chosen && !chosen->empty())
            window->OpenDocumentFile(chosen->front());
    });

    frame.SetCommandHandler(CommandId::OverlayTest, [window, document, s] {
        document->OverlayTests(
            [&] { return ChooseTestFiles(window, s->settings, s->store, s->prompter, kSelectTestsTitle, true); });
    });

    frame.SetCommandHandler(CommandId::ApplicationSetup, [window, s, simulated] {
        CAppSetup setup(SettingsForSetup(s->settings, s->store, simulated), ListSerialDevices());
        AppSetupDialog dialog(setup, s->prompter, window);
        if (dialog.exec() != QDialog::Accepted)
            return;
        SetupEffects effects;
        effects.changeFolder = SetCurrentFolder;
        effects.settingsApplied = [window] { AfterSettingsApplied(*window); };
        ApplySetup(setup.values, s->settings, s->store, s->serial, simulated, effects);
    });
}

}  // namespace tkan
