#pragma once

#include <QDialog>

#include <string>

class QLineEdit;

namespace tkan {

// The About box: the program's version and the instrument's own version
// line, as it answered when the box opened (empty when it did not).
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    CAboutDlg(const std::string& versionReply, QWidget* parent = nullptr);

    QLineEdit* VersionField() const { return version_; }

private:
    QLineEdit* version_ = nullptr;
};

}  // namespace tkan
