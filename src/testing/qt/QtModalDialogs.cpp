#include "testing/qt/QtModalDialogs.h"

#include <QApplication>

#include "testing/qt/DeviceDirectoryDialog.h"
#include "testing/qt/TestCurrentDialog.h"
#include "testing/qt/TransferDialog.h"

namespace tkan {

QWidget* QtModalDialogs::Parent() const
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return parent_.data();
}

int QtModalDialogs::RunTransfer(CXferDlg& transfer)
{
    TransferDialog dialog(Parent(), transfer);
    return dialog.Run();
}

int QtModalDialogs::RunDirectory(CTestDlg& directory)
{
    DeviceDirectoryDialog dialog(Parent(), directory);
    return dialog.Run();
}

int QtModalDialogs::RunTestCurrent(dlgTestCurrent& choice)
{
    TestCurrentDialog dialog(Parent(), choice);
    return dialog.Run();
}

}  // namespace tkan
