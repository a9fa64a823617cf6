#include "testing/RetrieveRecords.h"

#include "device/RovaDevice.h"
#include "testing/TestDlg.h"
#include "testing/TestingContext.h"

namespace tkan {

std::optional<std::string> RetrieveRecords(TestingContext& context, ModalDialogs& dialogs)
{
    CTestDlg directory(context, dialogs);
    if (!context.device.ReadDirectory())
        return std::nullopt;
    if (dialogs.RunDirectory(directory) != 1 || directory.resultPath.empty())
        return std::nullopt;
    return directory.resultPath;
}

}  // namespace tkan
