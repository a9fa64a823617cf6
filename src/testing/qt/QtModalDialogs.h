#pragma once

#include <QPointer>
#include <QWidget>

#include "testing/TestingContext.h"

namespace tkan {

// Shows the retrieval dialogs as Qt windows over the controllers that the
// core hands it. Each window sits over whatever modal dialog is open at the
// time (the transfer over the directory or the Dynamic Test dialog), or over
// the given parent when none is.
class QtModalDialogs : public ModalDialogs {
public:
    explicit QtModalDialogs(QWidget* parent) : parent_(parent) {}

    int RunTransfer(CXferDlg& transfer) override;
    int RunDirectory(CTestDlg& directory) override;
    int RunTestCurrent(dlgTestCurrent& choice) override;

private:
    QWidget* Parent() const;

    QPointer<QWidget> parent_;
};

}  // namespace tkan
