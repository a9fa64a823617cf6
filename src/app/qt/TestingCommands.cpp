#include "app/qt/TestingCommands.h"

#include <array>
#include <optional>
#include <string>

#include "app/qt/MainFrame.h"
#include "testing/RunTest.h"
#include "testing/TestingContext.h"
#include "testing/qt/DeviceDirectoryDialog.h"
#include "testing/qt/DynamicTestDialog.h"
#include "testing/qt/RunTestDialog.h"
#include "testing/qt/TestCurrentDialog.h"

namespace tkan {

namespace {

struct StaticItem {
    CommandId id;
    const char* testTypeName;
    bool regulator;
};

constexpr std::array<StaticItem, 6> kStaticItems{{
    {CommandId::StaticV1V2V3, "V1/V2/V3", false},
    {CommandId::StaticV1V2, "V1/V2", false},
    {CommandId::StaticV1, "V1 ONLY", false},
    {CommandId::RegulatorV1V2V3, "V1/V2/V3 STATIC LTC", true},
    {CommandId::RegulatorV1V2, "V1/V2 STATIC LTC", true},
    {CommandId::RegulatorV1, "V1 STATIC LTC", true},
}};

}  // namespace

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
    for (const StaticItem& item : kStaticItems) {
        frame.SetCommandHandler(item.id, [window, context, item] {
            RunTestParameters parameters;
            parameters.testTypeName = item.testTypeName;
            parameters.regulator = item.regulator;
            if (item.regulator) {
                std::optional<int> steps = AskNumberOfSteps(window);
                if (!steps)
                    return;
                parameters.steps = *steps;
            }
            if (std::optional<std::string> saved = RunStaticTestDialog(window, *context, parameters))
                window->OpenDocumentFile(*saved);
        });
    }
}

}  // namespace tkan
