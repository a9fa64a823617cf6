#include "app/qt/TestingCommands.h"

#include <optional>
#include <string>

#include "app/qt/MainFrame.h"
#include "testing/TestingContext.h"
#include "testing/qt/DeviceDirectoryDialog.h"
#include "testing/qt/DynamicTestDialog.h"

namespace tkan {

void InstallTestingCommands(CMainFrame& frame, TestingContext& testing)
{
    CMainFrame* window = &frame;
    TestingContext* context = &testing;
    frame.SetCommandHandler(CommandId::DynamicTest, [window, context] {
        if (std::optional<std::string> saved = RunDynamicTestDialog(window, *context))
            window->OpenDocumentFile(*saved);
    });
    frame.SetCommandHandler(CommandId::RetrieveRecords, [window, context] {
        // The first record downloaded becomes the document; the others stay
        // in the folder for Recall Test.
        if (std::optional<std::string> first = RunRetrieveRecordsDialog(window, *context))
            window->OpenDocumentFile(*first);
    });
}

}  // namespace tkan
